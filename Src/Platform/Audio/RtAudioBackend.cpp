#include "Platform/Audio/RtAudioBackend.h"

#include "Platform/Audio/JackOutput.h"
#include "Platform/Audio/PulseOutput.h"
#include "Platform/Clock.h"

#include <rtaudio/RtAudio.h>

#include <dirent.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace Platform::Audio {

namespace {
struct ApiChoice {
    RtAudio::Api api;
    const char* name;
};
constexpr ApiChoice apiOrder[] = {
    {RtAudio::UNIX_JACK, "jack"},
    {RtAudio::LINUX_PULSE, "pulse"},
    {RtAudio::LINUX_ALSA, "alsa"},
};

// RtAudio's error callback carries no user data. Errors of a running stream are raised on
// the stream's own thread right after our callback, and errors of starting one on the thread
// that opens it, so each of these names the backend an error on this thread belongs to.
thread_local RtAudioBackend* streamOfThisThread = nullptr;
thread_local RtAudioBackend* openingOnThisThread = nullptr;

// The real-time priority of the stream's threads, where the system allows it.
constexpr int streamPriority = 80;

// The PulseAudio client buffer unless PULSE_LATENCY_MSEC says otherwise (see Open).
constexpr double pulseBufferMs = 200.0;

// Our PulseAudio stream renders in libpulse's main-loop thread ("threaded-ml"), which runs at
// normal priority. On a busy machine that thread is starved for tens of milliseconds, the
// server's buffer runs dry, and PulseAudio then plays our stream later than its frames say:
// every click after the gap is heard late. The main-loop thread gets the stream's real-time
// priority; where the system refuses, nothing changes.
void RaiseMainLoopThreads()
{
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return;
    while (const dirent* entry = readdir(tasks)) {
        const int tid = std::atoi(entry->d_name);
        if (tid <= 0)
            continue;
        const std::string commPath = std::string("/proc/self/task/") + entry->d_name + "/comm";
        std::FILE* comm = std::fopen(commPath.c_str(), "r");
        if (comm == nullptr)
            continue;
        char name[32] = {};
        const bool read = std::fgets(name, sizeof name, comm) != nullptr;
        std::fclose(comm);
        if (!read || std::strncmp(name, "threaded-ml", 11) != 0)
            continue;
        sched_param parameter{};
        parameter.sched_priority = streamPriority;
        sched_setscheduler(tid, SCHED_FIFO, &parameter);
    }
    closedir(tasks);
}

bool IsCompiled(RtAudio::Api api)
{
    std::vector<RtAudio::Api> compiled;
    RtAudio::getCompiledApi(compiled);
    return std::find(compiled.begin(), compiled.end(), api) != compiled.end();
}
} // namespace

RtAudioBackend::RtAudioBackend() = default;

RtAudioBackend::~RtAudioBackend()
{
    Close();
}

Result RtAudioBackend::Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer)
{
    Close();
    lastFailure_.clear();
    renderer_ = &renderer;
    openingOnThisThread = this;
    for (const ApiChoice& choice : apiOrder) {
        if (choice.api == RtAudio::UNIX_JACK) {
            // Our own client rather than RtAudio's: it knows the server's frame counter, which
            // RtAudio hides, so a cycle the server ran without us cannot shift later clicks.
            auto jack = std::make_unique<JackOutput>();
            std::string why;
            if (!jack->Open(sampleRate, renderer, why)) {
                lastFailure_ += std::string(choice.name) + ": " + why + "; ";
                continue;
            }
            latencySeconds_ = jack->LatencySeconds();
            jack_ = std::move(jack);
            apiName_ = choice.name;
            openingOnThisThread = nullptr;
            return NoError;
        }
        if (choice.api != RtAudio::LINUX_PULSE && !IsCompiled(choice.api))
            continue;
        if (choice.api == RtAudio::LINUX_PULSE) {
            // PulseAudio's default client buffer is two seconds,
            // which a metronome cannot have between its start and its first click. A short
            // buffer is no better: with 30 or 100 ms, a busy machine let the server's buffer run
            // dry every few seconds and every click after the gap came late (a bare clicker
            // through RtAudio did the same); with 150 ms and more it never did. 200 ms keeps a
            // margin and costs a third of the wake-ups. The PulseAudio client reads the wanted
            // latency from here (a user's own value wins).
            static std::once_flag once;
            std::call_once(once, [] { setenv("PULSE_LATENCY_MSEC", "200", 0); });
            // Our own client rather than RtAudio's: it renders in libpulse's main-loop thread
            // when the server asks, instead of a thread of its own that hands each block to
            // that one (two wake-ups per block and a contended lock; several times the CPU).
            auto pulse = std::make_unique<PulseOutput>();
            std::string why;
            if (!pulse->Open(sampleRate, blockFrames, pulseBufferMs, renderer, why)) {
                lastFailure_ += std::string(choice.name) + ": " + why + "; ";
                continue;
            }
            RaiseMainLoopThreads();
            latencySeconds_ = pulse->LatencySeconds();
            rewritableSeconds_ = pulse->QueueSeconds();
            pulse_ = std::move(pulse);
            apiName_ = choice.name;
            openingOnThisThread = nullptr;
            return NoError;
        }
        try {
            auto audio = std::make_unique<RtAudio>(choice.api);
            audio->showWarnings(false);
            if (audio->getDeviceCount() == 0)
                continue;
            RtAudio::StreamParameters parameters;
            parameters.deviceId = audio->getDefaultOutputDevice();
            parameters.nChannels = 2;
            RtAudio::StreamOptions options;
            options.streamName = "Tolvane";
            // The callback thread at real-time priority where the system allows it (RtAudio
            // carries on at normal priority otherwise): a busy machine must not starve it.
            options.flags = RTAUDIO_SCHEDULE_REALTIME;
            options.priority = streamPriority;
            unsigned int frames = blockFrames;
            failed_.store(false);
            failureTold_ = false;
            // With an error callback RtAudio reports a failed start through it instead of
            // throwing (a failed open still throws).
            audio->openStream(&parameters, nullptr, RTAUDIO_FLOAT32, sampleRate, &frames, &Callback, this, &options,
                              [](RtAudioError::Type type, const std::string& text) { OnError(type, text); });
            sampleRate_ = sampleRate;
            audio->startStream();
            if (failed_.load()) {
                audio->closeStream();
                lastFailure_ += std::string(choice.name) + ": the stream did not start; ";
                continue;
            }
            latencySeconds_ = static_cast<double>(audio->getStreamLatency()) / sampleRate;
            audio_ = std::move(audio);
            apiName_ = choice.name;
            openingOnThisThread = nullptr;
            return NoError;
        } catch (const std::exception& error) {
            lastFailure_ += std::string(choice.name) + ": " + error.what() + "; ";
        } catch (...) {
            lastFailure_ += std::string(choice.name) + ": failed; ";
        }
    }
    if (lastFailure_.empty())
        lastFailure_ = "no audio output device";
    renderer_ = nullptr;
    openingOnThisThread = nullptr;
    return NoDriver;
}

void RtAudioBackend::Close()
{
    rewritableSeconds_ = 0;
    if (jack_) {
        jack_->Close();
        jack_.reset();
        renderer_ = nullptr;
        apiName_ = "none";
    }
    if (pulse_) {
        pulse_->Close();
        pulse_.reset();
        renderer_ = nullptr;
        apiName_ = "none";
    }
    if (!audio_)
        return;
    try {
        if (audio_->isStreamRunning())
            audio_->stopStream();
        if (audio_->isStreamOpen())
            audio_->closeStream();
    } catch (...) {
        // Closing never fails for the caller; the stream is gone either way.
    }
    audio_.reset();
    renderer_ = nullptr;
    apiName_ = "none";
}

void RtAudioBackend::OnError(int type, const std::string&)
{
    if (type == RtAudioError::DEBUG_WARNING)
        return;
    if (streamOfThisThread != nullptr)
        streamOfThisThread->failed_.store(true); // a write or read of the running stream failed
    else if (openingOnThisThread != nullptr && type != RtAudioError::WARNING)
        openingOnThisThread->failed_.store(true);
    // Anything else comes from stopping or closing, which cannot fail for the caller.
}

int RtAudioBackend::Callback(void* output, void*, unsigned int frames, double, unsigned int, void* self) noexcept
{
    auto& backend = *static_cast<RtAudioBackend*>(self);
    auto* out = static_cast<float*>(output);
    streamOfThisThread = &backend;
    if (backend.failed_.load(std::memory_order_relaxed)) {
        if (!backend.failureTold_) {
            backend.failureTold_ = true;
            backend.renderer_->StreamFailed();
        }
        std::memset(out, 0, sizeof(float) * 2 * frames);
        // Every write now fails at once: without this pause the stream's thread would spin
        // until the stream is closed. The stream is dead, so nothing waits for this block.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return 0;
    }
    std::int64_t time = Clock::Now();
    const double nanosecondsPerFrame = 1e9 / backend.sampleRate_;
    // A device that asks for more than one block at a time gets it in pieces; each piece
    // carries the time its first frame would have been asked for.
    unsigned int done = 0;
    while (done < frames) {
        const unsigned int piece = std::min(frames - done, MaxBlockFrames);
        backend.renderer_->Render(out + 2 * std::size_t{done}, piece, time);
        time += static_cast<std::int64_t>(piece * nanosecondsPerFrame);
        done += piece;
    }
    return 0;
}

} // namespace Platform::Audio
