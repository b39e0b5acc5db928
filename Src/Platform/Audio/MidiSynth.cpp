#include "Platform/Audio/MidiSynth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <mutex>

namespace Platform::Audio {

namespace {
// FluidSynth's processing block; notes start only at its edges.
constexpr std::uint64_t synthBlock = 64;

void SilenceFluidSynthLog()
{
    // FluidSynth would otherwise print from the audio thread; our own layer reports failures.
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}
} // namespace

void MidiSynth::SettingsDeleter::operator()(fluid_settings_t* settings) const noexcept
{
    delete_fluid_settings(settings);
}

MidiSynth::Lane::~Lane()
{
    if (!synth)
        return;
    if (borrowedFont)
        fluid_synth_remove_sfont(synth, borrowedFont);
    delete_fluid_synth(synth);
}

std::unique_ptr<MidiSynth> MidiSynth::Create(const std::string& soundFont, std::uint32_t sampleRate, Result& result)
{
    SilenceFluidSynthLog();
    result = NoMemory;
    std::unique_ptr<MidiSynth> synth(new MidiSynth);
    synth->scratch_.assign(2 * std::size_t{MaxBlockFrames}, 0.0f);
    synth->settings_.reset(new_fluid_settings());
    fluid_settings_t* settings = synth->settings_.get();
    if (!settings)
        return nullptr;
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(settings, "synth.gain", 0.8);
    // Per lane: a click voice rarely needs more than two voices and the notes spread over
    // all lanes, so 32 each (512 in all) is ample; every voice costs memory in every lane.
    fluid_settings_setint(settings, "synth.polyphony", 32);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);

    for (Lane& lane : synth->lanes_) {
        lane.synth = new_fluid_synth(settings);
        if (!lane.synth)
            return nullptr;
    }
    // The first lane loads (and owns) the soundfont; the others share it.
    if (!fluid_is_soundfont(soundFont.c_str())) {
        result = NoDriver;
        return nullptr;
    }
    const int id = fluid_synth_sfload(synth->lanes_[0].synth, soundFont.c_str(), 1);
    if (id == FLUID_FAILED) {
        result = NoDriver;
        return nullptr;
    }
    fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth->lanes_[0].synth, id);
    for (std::size_t i = 1; i < synth->lanes_.size(); ++i) {
        Lane& lane = synth->lanes_[i];
        if (fluid_synth_add_sfont(lane.synth, font) == FLUID_FAILED)
            return nullptr;
        lane.borrowedFont = font;
        fluid_synth_program_reset(lane.synth);
    }
    result = NoError;
    return synth;
}

bool MidiSynth::Post(std::uint32_t message, const SoundStamp& stamp) noexcept
{
    return events_.Push(Event{message, stamp});
}

bool MidiSynth::IsSilent(const Lane& lane) const noexcept
{
    return !lane.noteStarted && fluid_synth_get_active_voice_count(lane.synth) == 0;
}

void MidiSynth::RenderLanes(float* output, std::uint32_t from, std::uint32_t to) noexcept
{
    if (to <= from)
        return;
    const auto frames = static_cast<int>(to - from);
    for (Lane& lane : lanes_) {
        // A silent lane is not rendered at all; it only falls out of step with the stream,
        // which does not matter until it gets a note and is put back in step.
        if (IsSilent(lane))
            continue;
        fluid_synth_write_float(lane.synth, frames, scratch_.data(), 0, 2, scratch_.data(), 1, 2);
        lane.pulled += static_cast<std::uint64_t>(frames);
        lane.noteStarted = false;
        float* out = output + 2 * std::size_t{from};
        for (int i = 0; i < 2 * frames; ++i)
            out[i] += scratch_[static_cast<std::size_t>(i)];
    }
}

MidiSynth::Lane& MidiSynth::LaneForNote() noexcept
{
    Lane* silentLane = nullptr;
    Lane* nearest = &lanes_[0];
    std::uint64_t nearestWait = synthBlock;
    for (Lane& lane : lanes_) {
        const std::uint64_t wait = (synthBlock - lane.pulled % synthBlock) % synthBlock;
        if (IsSilent(lane)) {
            if (!silentLane)
                silentLane = &lane;
        } else if (wait == 0) {
            return lane; // already in step: its next block starts here
        } else if (wait < nearestWait) {
            nearestWait = wait;
            nearest = &lane;
        }
    }
    if (silentLane) {
        // Throw away the silent rest of the lane's current block, so that its next block
        // starts exactly here.
        const std::uint64_t wait = (synthBlock - silentLane->pulled % synthBlock) % synthBlock;
        if (wait > 0) {
            fluid_synth_write_float(silentLane->synth, static_cast<int>(wait), scratch_.data(), 0, 2,
                                    scratch_.data(), 1, 2);
            silentLane->pulled += wait;
        }
        return *silentLane;
    }
    displaced_.fetch_add(1, std::memory_order_relaxed);
    return *nearest;
}

void MidiSynth::Dispatch(std::uint32_t message) noexcept
{
    const int status = static_cast<int>(message & 0xF0);
    const int channel = static_cast<int>(message & 0x0F);
    const int data1 = static_cast<int>((message >> 8) & 0x7F);
    const int data2 = static_cast<int>((message >> 16) & 0x7F);
    if (status == 0x90 && data2 > 0) {
        Lane& lane = LaneForNote();
        fluid_synth_noteon(lane.synth, channel, data1, data2);
        lane.noteStarted = true;
        return;
    }
    for (Lane& lane : lanes_) {
        switch (status) {
        case 0x80:
        case 0x90: // Note On with velocity 0 is a Note Off
            fluid_synth_noteoff(lane.synth, channel, data1);
            break;
        case 0xA0:
            fluid_synth_key_pressure(lane.synth, channel, data1, data2);
            break;
        case 0xB0:
            fluid_synth_cc(lane.synth, channel, data1, data2);
            break;
        case 0xC0:
            fluid_synth_program_change(lane.synth, channel, data1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(lane.synth, channel, data1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(lane.synth, channel, data1 | data2 << 7);
            break;
        default:
            break;
        }
    }
}

void MidiSynth::Mix(float* output, const BlockClock& clock) noexcept
{
    const std::uint32_t frames = clock.Frames();
    std::uint32_t rendered = 0;
    while (const Event* event = events_.Front()) {
        const std::int64_t start = clock.StartFrame(event->stamp);
        if (start >= static_cast<std::int64_t>(clock.FirstFrame() + frames))
            break;
        std::uint32_t offset = clock.OffsetOf(start);
        if (offset < rendered) {
            // Stamped before a message that has already been played: it cannot go back.
            offset = rendered;
        }
        RenderLanes(output, rendered, offset);
        rendered = offset;
        Dispatch(event->message);
        events_.Drop();
    }
    RenderLanes(output, rendered, frames);
}

} // namespace Platform::Audio
