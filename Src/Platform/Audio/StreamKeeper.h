#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Platform::Audio {

/// Makes a fresh backend for each stream the mixer opens.
using BackendFactory = std::function<std::unique_ptr<IAudioBackend>()>;

/// The mixer's one output stream, kept so that a sound server that stops answering never holds
/// the caller: the backend's Open and Close run on a worker thread, and the caller waits for
/// them only up to a time-out. A stream whose Open or Close takes longer is given up: the
/// worker keeps the backend (and frees it if the call ever returns), the stream is cut off from
/// the renderer, and the next Open starts on a fresh backend from the factory.
///
/// The renderer is reached through a small port per stream that counts the stream's callbacks
/// and remembers its failure report, so that the health of the stream can be read without
/// touching the backend. Control calls on one thread at a time (the mixer holds its control
/// lock); Failed and LastCallbackTime from any thread that holds the same lock.
class StreamKeeper {
public:
    /// backend is not owned and must outlive the keeper; once a stream on it has been given
    /// up, every later Open fails.
    explicit StreamKeeper(IAudioBackend& backend);
    /// Each Open takes a fresh backend from factory.
    explicit StreamKeeper(BackendFactory factory);
    ~StreamKeeper();
    StreamKeeper(const StreamKeeper&) = delete;
    StreamKeeper& operator=(const StreamKeeper&) = delete;

    /// Opens a stream that renders into renderer (which must outlive the keeper). The
    /// backend's result; NoDriver when it has not answered within timeoutMs (the stream is
    /// then given up) or no backend is left.
    Result Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer, int timeoutMs);
    /// Closes the stream, waiting at most timeoutMs for the backend; after return renderer is
    /// never called by this stream again. Harmless when closed.
    void Close(int timeoutMs);

    bool IsOpen() const noexcept { return port_ != nullptr; }
    /// True once the open stream's backend has reported that it failed for good.
    bool Failed() const noexcept;
    /// The callback time of the open stream's last Render (its opening time before the first).
    std::int64_t LastCallbackTime() const noexcept;
    /// What the open stream's backend says (false and 0 while closed).
    bool RunsByItself() const;
    double DeviceLatencySeconds() const;
    double RewritableSeconds() const;
    /// The open stream's backend name, "none" while closed.
    std::string BackendName() const;
    /// The open stream's output (IAudioBackend::OutputIdentity); empty while closed.
    std::string OutputIdentity() const;
    /// Why the last Open failed, or what it passed over before it opened (the backend's
    /// account, or that it did not answer).
    const std::string& LastFailure() const noexcept { return lastFailure_; }
    /// Streams given up so far because their backend did not answer in time.
    std::uint64_t GivenUp() const noexcept { return givenUp_; }

private:
    class Port;

    IAudioBackend* borrowed_ = nullptr;
    BackendFactory factory_;
    // Shared with a worker that may outlive the wait for it.
    std::shared_ptr<IAudioBackend> backend_;
    std::shared_ptr<Port> port_;
    std::uint64_t givenUp_ = 0;
    std::string lastFailure_;
};

/// Runs job on a thread of its own and waits at most timeoutMs for it to end. True when it
/// ended in time. Otherwise the job runs on alone, and late runs on its thread after the job
/// if the waiting caller had given up by then (never when this returns true). The job must own
/// everything it touches. When no thread can be started, runs job here.
bool RunWithin(std::function<void()> job, std::function<void()> late, int timeoutMs);

} // namespace Platform::Audio
