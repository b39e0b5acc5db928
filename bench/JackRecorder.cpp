// Records a JACK client's stereo output for the timing benchmarks: connects its two inputs to
// the first two output ports whose names start with a prefix as soon as they appear, and
// writes what it receives, from the first connected cycle on, as raw float32 stereo.
//
// Each cycle's frames go where the server's frame counter puts them, not after the previous
// cycle's: a cycle the server ran without this client (it did not finish in time) is a gap of
// silence in the recording, not a shift of everything after it (see FrameTimeFollower). Gaps
// are counted on stderr, so that a run with one can be told apart.
//
//   jack_recorder SECONDS OUT.raw PORT-PREFIX     e.g. jack_recorder 70 out.raw Tolvane:
#include "Platform/Audio/JackOutput.h"

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Recorder {
    jack_client_t* client = nullptr;
    jack_port_t* inputs[2] = {nullptr, nullptr};
    std::vector<float> frames; // interleaved stereo, allocated before the client runs
    std::atomic<std::size_t> recorded{0};
    std::atomic<bool> connected{false};
    Platform::Audio::FrameTimeFollower follower;
    std::atomic<std::size_t> gaps{0}, gapFrames{0};
};

int Process(jack_nframes_t count, void* self)
{
    auto& recorder = *static_cast<Recorder*>(self);
    if (!recorder.connected.load(std::memory_order_acquire))
        return 0;
    // Placed where the server's frame counter puts the cycle, as the player's own client does.
    const std::uint32_t missed = recorder.follower.Next(jack_last_frame_time(recorder.client), count);
    if (missed > 0) {
        ++recorder.gaps; // the buffer is zero-filled: the gap stays silent
        recorder.gapFrames += missed;
    }
    const auto* left = static_cast<const float*>(jack_port_get_buffer(recorder.inputs[0], count));
    const auto* right = static_cast<const float*>(jack_port_get_buffer(recorder.inputs[1], count));
    std::size_t at = recorder.recorded.load(std::memory_order_relaxed) + missed;
    for (jack_nframes_t i = 0; i < count && 2 * at + 1 < recorder.frames.size(); ++i, ++at) {
        recorder.frames[2 * at] = left[i];
        recorder.frames[2 * at + 1] = right[i];
    }
    recorder.recorded.store(at, std::memory_order_release);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SECONDS OUT.raw PORT-PREFIX\n", argv[0]);
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const std::string prefix = argv[3];
    jack_client_t* client = jack_client_open("tolvane_recorder", JackNoStartServer, nullptr);
    if (!client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    Recorder recorder;
    recorder.client = client;
    recorder.frames.assign(2 * static_cast<std::size_t>(seconds * jack_get_sample_rate(client) + 1), 0.0f);
    recorder.inputs[0] = jack_port_register(client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    recorder.inputs[1] = jack_port_register(client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, Process, &recorder);
    if (jack_activate(client) != 0)
        return 1;

    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (!recorder.connected.load()) {
            const char** ports = jack_get_ports(client, (prefix + ".*").c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
            // The player's ports can be listed before its client is active, and a connection
            // asked for then is refused: try again until both hold (EEXIST: already made).
            if (ports && ports[0] && ports[1]) {
                const int left = jack_connect(client, ports[0], jack_port_name(recorder.inputs[0]));
                const int right = jack_connect(client, ports[1], jack_port_name(recorder.inputs[1]));
                if ((left == 0 || left == EEXIST) && (right == 0 || right == EEXIST))
                    recorder.connected.store(true, std::memory_order_release);
            }
            jack_free(ports);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    jack_deactivate(client);
    jack_client_close(client);

    if (!recorder.connected.load()) {
        std::fprintf(stderr, "jack_recorder: no ports matching %s to record\n", prefix.c_str());
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out)
        return 1;
    std::fwrite(recorder.frames.data(), sizeof(float), 2 * recorder.recorded.load(), out);
    std::fclose(out);
    if (recorder.recorded.load() > 0 && (recorder.frames[0] != 0.0f || recorder.frames[1] != 0.0f))
        std::fprintf(stderr, "jack_recorder: the recording begins inside a sound (connected after the player began "
                             "to play): its first click is cut, and the analysis's template with it\n");
    std::fprintf(stderr, "jack_recorder: %zu gaps of cycles missed (%zu frames left silent)\n", recorder.gaps.load(),
                 recorder.gapFrames.load());
    return 0;
}
