#include "Platform/Audio/MidiSynth.h"

#include <cmath>

namespace Platform::Audio {

namespace {
constexpr std::uint32_t percussionChannel = 9;
// A released note falls by 96 dB over these times: a Note Off's release, and a note cut by
// another of its exclusive class, as FluidSynth cuts it (-200 timecents).
constexpr double noteOffSeconds = 0.2;
constexpr double chokeSeconds = 0.891;
constexpr float inaudible = 1.6e-5f; // -96 dB

float FadeStep(double seconds, std::uint32_t sampleRate)
{
    return static_cast<float>(std::pow(10.0, -96.0 / 20.0 / (seconds * sampleRate)));
}
} // namespace

std::unique_ptr<MidiSynth> MidiSynth::Create(const std::string& soundFont, std::uint32_t sampleRate,
                                             const std::vector<PercussionKit::Note>& notes,
                                             PercussionKit::Outcome& outcome, const std::atomic<bool>& cancel)
{
    std::unique_ptr<PercussionKit> kit = PercussionKit::Create(soundFont, sampleRate, notes, outcome, cancel);
    if (!kit)
        return nullptr;
    std::unique_ptr<MidiSynth> synth(new MidiSynth);
    synth->kit_ = std::move(kit);
    synth->noteOffStep_ = FadeStep(noteOffSeconds, sampleRate);
    synth->chokeStep_ = FadeStep(chokeSeconds, sampleRate);
    return synth;
}

bool MidiSynth::Post(std::uint32_t message, const SoundStamp& stamp) noexcept
{
    Event event{message, stamp, {}};
    const auto key = static_cast<int>((message >> 8) & 0x7F);
    const auto velocity = static_cast<int>((message >> 16) & 0x7F);
    if ((message & 0xFF) == (0x90 | percussionChannel) && velocity > 0) {
        event.sound = kit_->Find(key, velocity);
        if (!event.sound.exact) {
            substituted_.fetch_add(1, std::memory_order_relaxed);
            kit_->Request(key, velocity);
        }
    }
    return events_.Push(event);
}

void MidiSynth::Reset() noexcept
{
    while (events_.Front())
        events_.Drop();
    playing_.fill(Playing{});
    sounding_ = 0;
}

void MidiSynth::ReleaseWhere(float fadeStep, int key, int exclusiveClass) noexcept
{
    for (Playing& note : playing_) {
        if (!note.hit || note.fadeStep < 1.0f)
            continue;
        if (exclusiveClass != 0 ? note.hit->exclusiveClass == exclusiveClass : note.key == key)
            note.fadeStep = fadeStep;
    }
}

void MidiSynth::Dispatch(const Event& event) noexcept
{
    const std::uint32_t status = event.message & 0xFF;
    const auto key = static_cast<int>((event.message >> 8) & 0x7F);
    const auto velocity = static_cast<int>((event.message >> 16) & 0x7F);
    const bool noteOn = status == (0x90 | percussionChannel) && velocity > 0;
    if (!noteOn) {
        if (status == (0x80 | percussionChannel) || status == (0x90 | percussionChannel))
            ReleaseWhere(noteOffStep_, key, 0);
        return;
    }
    const RenderedHit* hit = event.sound.hit;
    if (!hit || hit->frames == 0)
        return;
    // As the synthesizer does, a key struck again lets its earlier note go.
    ReleaseWhere(noteOffStep_, key, 0);
    if (hit->exclusiveClass != 0)
        ReleaseWhere(chokeStep_, key, hit->exclusiveClass);
    Playing* slot = nullptr;
    for (Playing& note : playing_) {
        if (!note.hit) {
            slot = &note;
            break;
        }
        if (!slot || note.position > slot->position)
            slot = &note;
    }
    if (!slot->hit)
        ++sounding_;
    *slot = Playing{hit, event.sound.gain, 0, 1.0f, 1.0f, key};
}

void MidiSynth::MixPlaying(float* output, std::uint32_t from, std::uint32_t to) noexcept
{
    if (sounding_ == 0 || to <= from)
        return;
    for (Playing& note : playing_) {
        if (!note.hit)
            continue;
        const std::uint32_t frames = std::min(to - from, note.hit->frames - note.position);
        const float* in = note.hit->samples.data() + 2 * std::size_t{note.position};
        float* out = output + 2 * std::size_t{from};
        if (note.fadeStep >= 1.0f) {
            for (std::uint32_t i = 0; i < 2 * frames; ++i)
                out[i] += note.gain * in[i];
        } else {
            float gain = note.gain * note.fade;
            for (std::uint32_t i = 0; i < frames; ++i) {
                out[2 * i] += gain * in[2 * i];
                out[2 * i + 1] += gain * in[2 * i + 1];
                gain *= note.fadeStep;
            }
            note.fade = gain / note.gain;
        }
        note.position += frames;
        if (note.position >= note.hit->frames || note.fade < inaudible) {
            note = Playing{};
            --sounding_;
        }
    }
}

void MidiSynth::Mix(float* output, const BlockClock& clock) noexcept
{
    const std::uint32_t frames = clock.Frames();
    std::uint32_t mixed = 0;
    while (const Event* event = events_.Front()) {
        const std::int64_t start = clock.StartFrame(event->stamp);
        if (start >= static_cast<std::int64_t>(clock.FirstFrame() + frames))
            break;
        std::uint32_t offset = clock.OffsetOf(start);
        if (offset < mixed) {
            // Stamped before a message that has already been played: it cannot go back.
            offset = mixed;
        }
        MixPlaying(output, mixed, offset);
        mixed = offset;
        Dispatch(*event);
        events_.Drop();
    }
    MixPlaying(output, mixed, frames);
}

} // namespace Platform::Audio
