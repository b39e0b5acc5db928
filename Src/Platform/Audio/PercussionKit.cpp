#include "Platform/Audio/PercussionKit.h"

#include "Platform/Clock.h"

#include <fluidsynth.h>
#include <malloc.h>
#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

namespace Platform::Audio {

namespace {
constexpr int percussionChannel = 9;
constexpr int renderChunk = 1024;
// A note that still sounds after this long is held (a whistle): it is let go here and its
// release rendered, as a metronome never holds a note longer.
constexpr double longestHeldSeconds = 2.0;
constexpr double longestReleaseSeconds = 2.0;
// Below this a rendering's tail is silence.
constexpr float silence = 1e-6f;
// The soundfont is let go once no note has been rendered for this long.
constexpr std::int64_t idleUnloadNs = 2'000'000'000;

void SilenceFluidSynthLog()
{
    // FluidSynth would otherwise print on its own; our own layer reports failures.
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}
} // namespace

void PercussionKit::SettingsDeleter::operator()(fluid_settings_t* settings) const noexcept
{
    delete_fluid_settings(settings);
}

std::unique_ptr<PercussionKit> PercussionKit::Create(const std::string& soundFont, std::uint32_t sampleRate,
                                                     Result& result)
{
    SilenceFluidSynthLog();
    result = NoMemory;
    std::unique_ptr<PercussionKit> kit(new PercussionKit);
    kit->sampleRate_ = sampleRate;
    kit->settings_.reset(new_fluid_settings());
    fluid_settings_t* settings = kit->settings_.get();
    if (!settings)
        return nullptr;
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(settings, "synth.gain", 0.8);
    // One note at a time is rendered; a drum note has a few layers at most.
    fluid_settings_setint(settings, "synth.polyphony", 16);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    // Not "synth.dynamic-sample-loading": it would hold only the drum kit's samples (~5.5 MiB
    // less), but FluidSynth 2.3 then plays a loud glitch near the end of some notes (the
    // snare's, about 0.19 s in).
    kit->soundFont_ = soundFont;
    if (const Result loaded = kit->Load(); loaded != NoError) {
        result = loaded;
        return nullptr;
    }
    sem_init(&kit->wake_, 0, 0);
    kit->renderer_ = std::thread([raw = kit.get()] { raw->RunRenderer(); });
    result = NoError;
    return kit;
}

PercussionKit::~PercussionKit()
{
    if (renderer_.joinable()) {
        running_.store(false, std::memory_order_release);
        sem_post(&wake_);
        renderer_.join();
        sem_destroy(&wake_);
    }
    if (synth_)
        delete_fluid_synth(synth_);
}

bool PercussionKit::Has(int note, int velocity) const noexcept
{
    if (note < 0 || note >= Keys || velocity < 1 || velocity >= Keys)
        return false;
    return hits_[Slot(note, velocity)].load(std::memory_order_acquire) != nullptr;
}

void PercussionKit::Request(int note, int velocity) noexcept
{
    if (note < 0 || note >= Keys || velocity < 1 || velocity >= Keys || Has(note, velocity))
        return;
    if (!wanted_[Slot(note, velocity)].exchange(true, std::memory_order_acq_rel))
        sem_post(&wake_);
}

Result PercussionKit::Load()
{
    if (synth_)
        return NoError;
    synth_ = new_fluid_synth(settings_.get());
    if (!synth_)
        return NoMemory;
    const int id = fluid_is_soundfont(soundFont_.c_str()) ? fluid_synth_sfload(synth_, soundFont_.c_str(), 1)
                                                          : FLUID_FAILED;
    if (id == FLUID_FAILED) {
        delete_fluid_synth(synth_);
        synth_ = nullptr;
        return NoDriver;
    }
    font_ = fluid_synth_get_sfont_by_id(synth_, id);
    lastUse_.store(Clock::Now(), std::memory_order_release);
    return NoError;
}

void PercussionKit::Unload()
{
    std::lock_guard lock(renderLock_);
    if (!synth_)
        return;
    delete_fluid_synth(synth_); // and with it the soundfont
    synth_ = nullptr;
    font_ = nullptr;
    malloc_trim(0); // its many small blocks, back to the system
}

void PercussionKit::RunRenderer()
{
    pthread_setname_np(pthread_self(), "tolvane-kit");
    while (running_.load(std::memory_order_acquire)) {
        if (Loaded()) {
            // A soundfont nobody has used for a while goes (it is most of the kit's memory);
            // the next note not yet rendered loads it again.
            const std::int64_t idleFor = Clock::Now() - lastUse_.load(std::memory_order_acquire);
            if (idleFor >= idleUnloadNs) {
                Unload();
                continue;
            }
            timespec until{};
            clock_gettime(CLOCK_REALTIME, &until);
            const std::int64_t wake = until.tv_nsec + (idleUnloadNs - idleFor);
            until.tv_sec += static_cast<time_t>(wake / 1'000'000'000);
            until.tv_nsec = static_cast<long>(wake % 1'000'000'000);
            int waited = 0;
            while ((waited = sem_timedwait(&wake_, &until)) != 0 && errno == EINTR) {
            }
            if (waited != 0)
                continue;
        } else {
            while (sem_wait(&wake_) != 0) {
            }
        }
        for (int note = 0; note < Keys && running_.load(std::memory_order_acquire); ++note) {
            for (int velocity = 1; velocity < Keys; ++velocity) {
                if (wanted_[Slot(note, velocity)].exchange(false, std::memory_order_acq_rel))
                    Render(note, velocity);
            }
        }
    }
}

void PercussionKit::Render(int note, int velocity)
{
    if (note < 0 || note >= Keys || velocity < 1 || velocity >= Keys)
        return;
    std::lock_guard lock(renderLock_);
    if (Has(note, velocity) || Load() != NoError)
        return;
    std::unique_ptr<RenderedHit> hit = RenderHit(note, velocity);
    lastUse_.store(Clock::Now(), std::memory_order_release);
    if (!hit)
        return;
    hits_[Slot(note, velocity)].store(hit.get(), std::memory_order_release);
    owned_.push_back(std::move(hit));
}

std::unique_ptr<RenderedHit> PercussionKit::RenderHit(int note, int velocity)
{
    // Each note is rendered by a synthesizer of its own, borrowing the loaded soundfont: one
    // that has played before renders the same note slightly differently.
    struct Renderer {
        fluid_synth_t* synth;
        fluid_sfont_t* font;
        ~Renderer()
        {
            if (!synth)
                return;
            fluid_synth_remove_sfont(synth, font);
            delete_fluid_synth(synth);
        }
    } renderer{new_fluid_synth(settings_.get()), font_};
    fluid_synth_t* const synth = renderer.synth;
    if (!synth)
        return nullptr;
    if (fluid_synth_add_sfont(synth, font_) == FLUID_FAILED) {
        delete_fluid_synth(synth);
        renderer.synth = nullptr;
        return nullptr;
    }
    fluid_synth_program_change(synth, percussionChannel, 0); // the standard kit, and no other preset
    auto hit = std::make_unique<RenderedHit>();
    fluid_synth_noteon(synth, percussionChannel, note, velocity);
    fluid_voice_t* voices[16] = {};
    fluid_synth_get_voicelist(synth, voices, 16, -1);
    for (fluid_voice_t* voice : voices) {
        if (voice)
            hit->exclusiveClass = std::max(hit->exclusiveClass, static_cast<int>(fluid_voice_gen_get(voice, GEN_EXCLUSIVECLASS)));
    }
    const auto heldFrames = static_cast<std::size_t>(longestHeldSeconds * sampleRate_);
    const auto lastFrames = heldFrames + static_cast<std::size_t>(longestReleaseSeconds * sampleRate_);
    std::vector<float>& samples = hit->samples;
    bool released = false;
    std::size_t frames = 0;
    while (fluid_synth_get_active_voice_count(synth) > 0 && frames < lastFrames) {
        if (!released && frames >= heldFrames) {
            fluid_synth_noteoff(synth, percussionChannel, note);
            released = true;
        }
        samples.resize(2 * (frames + renderChunk));
        float* out = samples.data() + 2 * frames;
        fluid_synth_write_float(synth, renderChunk, out, 0, 2, out, 1, 2);
        frames += renderChunk;
    }
    // Only the sounding part is kept.
    std::size_t end = samples.size();
    while (end > 0 && std::fabs(samples[end - 1]) < silence)
        --end;
    hit->frames = static_cast<std::uint32_t>((end + 1) / 2);
    samples.resize(2 * std::size_t{hit->frames});
    samples.shrink_to_fit();
    return hit;
}

PercussionKit::Choice PercussionKit::Find(int note, int velocity) const noexcept
{
    Choice choice;
    if (note < 0 || note >= Keys || velocity < 1 || velocity >= Keys)
        return choice;
    if ((choice.hit = hits_[Slot(note, velocity)].load(std::memory_order_acquire))) {
        choice.exact = true;
        return choice;
    }
    for (int distance = 1; distance < Keys; ++distance) {
        for (const int other : {velocity - distance, velocity + distance}) {
            if (other < 1 || other >= Keys)
                continue;
            if (const RenderedHit* hit = hits_[Slot(note, other)].load(std::memory_order_acquire)) {
                // The synthesizer's loudness goes with the square of the velocity.
                const float ratio = static_cast<float>(velocity) / static_cast<float>(other);
                choice.hit = hit;
                choice.gain = ratio * ratio;
                return choice;
            }
        }
    }
    return choice;
}

} // namespace Platform::Audio
