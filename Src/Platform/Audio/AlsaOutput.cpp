#include "Platform/Audio/AlsaOutput.h"

#include "Platform/Clock.h"

#include <rtaudio/RtAudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

namespace Platform::Audio {

namespace {
// RtAudio's error callback carries no user data. Errors of a running stream are raised on
// the stream's own thread right after our callback, and errors of starting one on the thread
// that opens it, so each of these names the output an error on this thread belongs to.
thread_local AlsaOutput* streamOfThisThread = nullptr;
thread_local AlsaOutput* openingOnThisThread = nullptr;

// The real-time priority of the stream's thread, where the system allows it.
constexpr int streamPriority = 80;
} // namespace

AlsaOutput::AlsaOutput() = default;

AlsaOutput::~AlsaOutput()
{
    Close();
}

bool AlsaOutput::Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer, std::string& failure)
{
    Close();
    std::vector<RtAudio::Api> compiled;
    RtAudio::getCompiledApi(compiled);
    if (std::find(compiled.begin(), compiled.end(), RtAudio::LINUX_ALSA) == compiled.end()) {
        failure = "not built in";
        return false;
    }
    renderer_ = &renderer;
    openingOnThisThread = this;
    try {
        auto audio = std::make_unique<RtAudio>(RtAudio::LINUX_ALSA);
        audio->showWarnings(false);
        if (audio->getDeviceCount() == 0) {
            failure = "no device";
            openingOnThisThread = nullptr;
            renderer_ = nullptr;
            return false;
        }
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
                          [](RtAudioError::Type type, const std::string&) { OnError(type); });
        // The device may have opened at a rate of its own; the mixer follows it.
        sampleRate_ = audio->getStreamSampleRate();
        if (sampleRate_ < MinimumRate || sampleRate_ > MaximumRate)
            sampleRate_ = sampleRate;
        renderer.StreamRate(sampleRate_);
        audio->startStream();
        if (failed_.load()) {
            audio->closeStream();
            failure = "the stream did not start";
        } else {
            latencySeconds_ = static_cast<double>(audio->getStreamLatency()) / sampleRate_;
            deviceName_ = audio->getDeviceInfo(parameters.deviceId).name;
            audio_ = std::move(audio);
        }
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "failed";
    }
    openingOnThisThread = nullptr;
    if (!audio_)
        renderer_ = nullptr;
    return audio_ != nullptr;
}

void AlsaOutput::Close()
{
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
}

void AlsaOutput::OnError(int type)
{
    if (type == RtAudioError::DEBUG_WARNING)
        return;
    if (streamOfThisThread != nullptr)
        streamOfThisThread->failed_.store(true); // a write or read of the running stream failed
    else if (openingOnThisThread != nullptr && type != RtAudioError::WARNING)
        openingOnThisThread->failed_.store(true);
    // Anything else comes from stopping or closing, which cannot fail for the caller.
}

int AlsaOutput::Callback(void* output, void*, unsigned int frames, double, unsigned int, void* self) noexcept
{
    auto& stream = *static_cast<AlsaOutput*>(self);
    auto* out = static_cast<float*>(output);
    streamOfThisThread = &stream;
    if (stream.failed_.load(std::memory_order_relaxed)) {
        if (!stream.failureTold_) {
            stream.failureTold_ = true;
            stream.renderer_->StreamFailed();
        }
        std::memset(out, 0, sizeof(float) * 2 * frames);
        // Every write now fails at once: without this pause the stream's thread would spin
        // until the stream is closed. The stream is dead, so nothing waits for this block.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return 0;
    }
    std::int64_t time = Clock::Now();
    const double nanosecondsPerFrame = 1e9 / stream.sampleRate_;
    // A device that asks for more than one block at a time gets it in pieces; each piece
    // carries the time its first frame would have been asked for.
    unsigned int done = 0;
    while (done < frames) {
        const unsigned int piece = std::min(frames - done, MaxBlockFrames);
        stream.renderer_->Render(out + 2 * std::size_t{done}, piece, time);
        time += static_cast<std::int64_t>(piece * nanosecondsPerFrame);
        done += piece;
    }
    return 0;
}

} // namespace Platform::Audio
