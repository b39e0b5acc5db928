#include "Platform/Audio/JackOutput.h"

#include "Platform/Audio/JackTransport.h"
#include "Platform/Audio/MidiClock.h"
#include "Platform/Clock.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace Platform::Audio {

JackOutput::~JackOutput()
{
    Close();
}

bool JackOutput::Open(std::uint32_t sampleRate, IRenderer& renderer, std::string& failure)
{
    Close();
    jack_status_t status{};
    client_ = jack_client_open("Tolvane", JackNoStartServer, &status);
    if (client_ == nullptr) {
        failure = "no server";
        return false;
    }
    // The mixer runs at the server's rate (44.1, 48, 88.2, 96 kHz, ...): JACK converts nothing.
    sampleRate = jack_get_sample_rate(client_);
    if (sampleRate < MinimumRate || sampleRate > MaximumRate) {
        failure = "the server runs at " + std::to_string(sampleRate) + " Hz";
        Close();
        return false;
    }
    // Each cycle is stamped with the server's estimate of its start (Process), not with when
    // our callback ran.
    renderer.StreamRate(sampleRate, ClockMap::Times::ServerEstimate);
    renderer_ = &renderer;
    interleaved_.assign(2 * std::size_t{MaxBlockFrames}, 0.0f);
    nanosecondsPerFrame_ = 1e9 / sampleRate;
    follower_ = FrameTimeFollower{};
    const char* names[2] = {"out_1", "out_2"};
    for (int channel = 0; channel < 2; ++channel) {
        ports_[channel] = jack_port_register(client_, names[channel], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if (ports_[channel] == nullptr) {
            failure = "no output port";
            Close();
            return false;
        }
    }
    midiIn_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    midiOut_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    audioIn_ = jack_port_register(client_, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    // Made here, not on the process thread; from now on this client sends the clock, not the
    // ALSA sequencer's sender.
    MidiClockOut::Instance().SetStreamSends(midiOut_ != nullptr);
    jack_set_process_callback(client_, &Process, this);
    jack_on_shutdown(client_, &Shutdown, this);
    if (jack_activate(client_) != 0) {
        failure = "the client did not start";
        Close();
        return false;
    }
    // The transport: followed or led from now on, as the settings say.
    JackTransport::Instance().Attach(client_, sampleRate);
    // The clock goes where the command line said (--midi-clock-out); a port that is not there
    // leaves it unconnected.
    if (const std::string to = MidiClockOut::Instance().Destination(); midiOut_ != nullptr && !to.empty())
        jack_connect(client_, jack_port_name(midiOut_), to.c_str());
    // The default device's first two playback ports; a server without any still plays us to
    // whoever connects later.
    bool played = false;
    if (const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput)) {
        for (int channel = 0; channel < 2 && playback[channel] != nullptr; ++channel)
            played = jack_connect(client_, jack_port_name(ports_[channel]), playback[channel]) == 0 || played;
        jack_free(playback);
    }
    // The default device's first capture port: the microphone or line input live timing listens to.
    if (const char** capture = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsOutput)) {
        if (audioIn_ != nullptr && capture[0] != nullptr)
            jack_connect(client_, capture[0], jack_port_name(audioIn_));
        jack_free(capture);
    }
    // The server works out new connections' latencies after jack_connect has returned: read
    // at once, the device's latency was sometimes 0 and every heard time that much early.
    jack_latency_range_t range{};
    jack_port_get_latency_range(ports_[0], JackPlaybackLatency, &range);
    for (int tries = 0; played && range.max == 0 && tries < 50; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        jack_port_get_latency_range(ports_[0], JackPlaybackLatency, &range);
    }
    latencySeconds_ = static_cast<double>(range.max) / sampleRate;
    if (audioIn_ != nullptr) {
        jack_port_get_latency_range(audioIn_, JackCaptureLatency, &range);
        captureLatencyFrames_ = range.max;
    }
    return true;
}

void JackOutput::Close()
{
    if (client_ == nullptr)
        return;
    jack_deactivate(client_);
    JackTransport::Instance().Detach(client_);
    jack_client_close(client_);
    MidiClockOut::Instance().SetStreamSends(false);
    client_ = nullptr;
    ports_[0] = ports_[1] = nullptr;
    midiIn_ = midiOut_ = audioIn_ = nullptr;
    renderer_ = nullptr;
}

std::string JackOutput::PlaybackPorts() const
{
    std::vector<std::string> names;
    for (_jack_port* port : ports_) {
        if (port == nullptr)
            continue;
        if (const char** connections = jack_port_get_connections(port)) {
            for (const char** name = connections; *name != nullptr; ++name)
                names.emplace_back(*name);
            jack_free(connections);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

void JackOutput::Shutdown(void* self) noexcept
{
    static_cast<JackOutput*>(self)->renderer_->StreamFailed();
}

namespace {
// Initialised at compile time: the audio thread's first use takes no guard.
constinit DurationHistogram callbackTimes;
} // namespace

DurationHistogram& JackOutput::CallbackTimes() noexcept
{
    return callbackTimes;
}

int JackOutput::Process(std::uint32_t frames, void* self) noexcept
{
    const std::int64_t entered = Clock::Now();
    auto& output = *static_cast<JackOutput*>(self);
    // The cycle's first frame on the server's counter and the time it began, both from the
    // server's own estimate, so that the two always belong to the same cycle.
    jack_nframes_t cycleFrame = 0;
    jack_time_t cycleStart = 0;
    jack_time_t nextStart = 0;
    float periodUsecs = 0;
    std::int64_t time = entered;
    if (jack_get_cycle_times(output.client_, &cycleFrame, &cycleStart, &nextStart, &periodUsecs) == 0)
        time -= static_cast<std::int64_t>(jack_get_time() - cycleStart) * 1000;
    else
        cycleFrame = jack_last_frame_time(output.client_);
    // Cycles that passed without us: the device played them, so our frames move on with it.
    if (const std::uint32_t missed = output.follower_.Next(cycleFrame, frames); missed > 0)
        output.renderer_->FramesMissed(missed);
    // A block behind the counter read (a late callback) is stamped with its own cycle's time.
    time -= static_cast<std::int64_t>(static_cast<std::int32_t>(cycleFrame - output.follower_.BlockStart())
                                      * output.nanosecondsPerFrame_);

    // MIDI in: each message with its frame in this cycle, before the cycle renders.
    if (output.midiIn_ != nullptr) {
        void* midi = jack_port_get_buffer(output.midiIn_, frames);
        const std::uint32_t events = jack_midi_get_event_count(midi);
        jack_midi_event_t event{};
        for (std::uint32_t i = 0; i < events; ++i)
            if (jack_midi_event_get(&event, midi, i) == 0)
                output.renderer_->MidiIn(event.time, event.buffer, event.size);
    }
    // The transport: where a following run's beats are, or a leading run's start and stop.
    JackTransport::Instance().Cycle(output.renderer_->NextFrame(), output.follower_.BlockStart(), frames);
    if (output.audioIn_ != nullptr)
        output.renderer_->AudioIn(static_cast<const float*>(jack_port_get_buffer(output.audioIn_, frames)), frames,
                                  output.captureLatencyFrames_);
    // MIDI clock out: each message on its frame in this cycle.
    if (output.midiOut_ != nullptr) {
        void* buffer = jack_port_get_buffer(output.midiOut_, frames);
        jack_midi_clear_buffer(buffer);
        MidiClockOut::Instance().Render(output.renderer_->NextFrame(), frames,
                                        [buffer](std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t size) {
                                            jack_midi_event_write(buffer, offset, bytes, size);
                                        });
    }
    auto* left = static_cast<float*>(jack_port_get_buffer(output.ports_[0], frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(output.ports_[1], frames));
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t piece = std::min(frames - done, MaxBlockFrames);
        float* block = output.interleaved_.data();
        output.renderer_->Render(block, piece, time);
        for (std::uint32_t i = 0; i < piece; ++i) {
            left[done + i] = block[2 * i];
            right[done + i] = block[2 * i + 1];
        }
        time += static_cast<std::int64_t>(piece * output.nanosecondsPerFrame_);
        done += piece;
    }
    CallbackTimes().Record(Clock::Now() - entered);
    return 0;
}

} // namespace Platform::Audio
