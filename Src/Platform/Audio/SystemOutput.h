#pragma once
#include "Platform/Audio/IAudioBackend.h"

#include <memory>
#include <string>

namespace Platform::Audio {

/// The system's real output. Open tries JACK, PulseAudio (and PipeWire's PulseAudio server) and
/// ALSA in this order and keeps the first that starts a stream on its default device: JackOutput,
/// PulseOutput, AlsaOutput.
///
/// Each try has a deadline and runs on that output's own worker thread (DeadlineWorker), one per
/// output for the whole process: a server that does not answer (a JACK server that is stopped,
/// a stale lock) costs at most its deadline, and Open goes on to the next output. An output
/// whose earlier try still has not returned is passed over at once; its thread is reused once
/// that try returns (a stream that opens after its deadline is closed there), so no thread is
/// ever left behind per try. The whole Open ends within the sum of the deadlines.
///
/// The libraries' own messages about outputs that are not there (libjack's, ALSA's) are
/// silenced: the program reports which output it uses, and why each one failed, in its log.
/// Open and Close from one control thread at a time.
class SystemOutput final : public IAudioBackend {
public:
    SystemOutput();
    ~SystemOutput() override;

    Result Open(std::uint32_t sampleRate, std::uint32_t blockFrames, IRenderer& renderer) override;
    void Close() override;
    /// Through JACK our ports' playback latency; through PulseAudio what the server holds of
    /// this stream plus its sink's latency; through ALSA RtAudio's stream latency.
    double DeviceLatencySeconds() const override;
    /// Through PulseAudio the stream's queue on the server; 0 otherwise.
    double RewritableSeconds() const override;
    bool RunsByItself() const override { return true; }
    /// The output in use ("jack", "pulse", "alsa"), or "none" while closed.
    const char* Name() const override;
    /// The open stream's output (see IAudioBackend::OutputIdentity); empty while closed.
    std::string OutputIdentity() const override;
    /// Each output the last Open tried and passed over, and why ("jack: no server; pulse: ...").
    std::string LastFailure() const override { return lastFailure_; }

    class Stream; // one opened output

private:
    std::shared_ptr<Stream> stream_;
    std::string lastFailure_;
};

} // namespace Platform::Audio
