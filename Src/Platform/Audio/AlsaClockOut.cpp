#include "Platform/Audio/AlsaClockOut.h"

#include "Platform/Clock.h"
#include "Platform/Thread.h"

#include <RtMidi.h>

#include <array>
#include <fcntl.h>
#include <unistd.h>

namespace Platform::Audio {

namespace {

// RtMidi reports through this instead of printing; what matters comes back as Open's answer.
void Quiet(RtMidiError::Type, const std::string&, void*) {}

class RtMidiPort final : public IMidiPort {
public:
    bool Open(std::string& failure) override
    {
        if (!SequencerPresent()) {
            failure = "no ALSA sequencer";
            return false;
        }
        try {
            output_ = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Tolvane");
            output_->setErrorCallback(&Quiet, nullptr);
            output_->openVirtualPort("midi_out");
        } catch (const RtMidiError& error) {
            failure = error.getMessage();
            output_.reset();
            return false;
        }
        if (!output_->isPortOpen()) {
            failure = "the sequencer port could not be made";
            output_.reset();
            return false;
        }
        return true;
    }
    void Close() override
    {
        if (output_ != nullptr)
            output_->closePort();
        output_.reset();
    }
    void Send(const std::uint8_t* bytes, std::size_t size) override
    {
        if (output_ != nullptr)
            output_->sendMessage(bytes, size);
    }

private:
    std::unique_ptr<RtMidiOut> output_;
};

} // namespace

bool SequencerPresent() noexcept
{
    const int device = ::open("/dev/snd/seq", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (device < 0)
        return false;
    ::close(device);
    return true;
}

std::unique_ptr<IMidiPort> MakeSequencerPort()
{
    return std::make_unique<RtMidiPort>();
}

AlsaClockOut::AlsaClockOut(MidiClockOut& out, std::unique_ptr<IMidiPort> port) : out_(out), port_(std::move(port)) {}

AlsaClockOut::~AlsaClockOut()
{
    Stop();
}

void AlsaClockOut::Start(const IFrameClock& clock, FailureHandler onFailure)
{
    Stop();
    running_.store(true, std::memory_order_release);
    if (!StartThread(thread_, [this, &clock, onFailure = std::move(onFailure)] { Run(clock, onFailure); }))
        running_.store(false, std::memory_order_release);
}

void AlsaClockOut::Stop()
{
    if (!thread_.joinable())
        return;
    running_.store(false, std::memory_order_release);
    wake_.Set();
    thread_.join();
}

void AlsaClockOut::Run(const IFrameClock& clock, const FailureHandler& onFailure)
{
    // The messages go out when their frames are heard, however busy the machine is: at the
    // timer's priority, above the window threads at the prompt priority (a few microseconds a
    // clock; a thread that may not raise itself keeps its normal priority).
    SystemThreadScheduling().RaiseToRealTimePriority();
    ClockTimes times(out_, clock);
    bool open = false;
    bool failed = false;
    struct Message {
        std::int64_t time;
        std::uint8_t bytes[3];
        std::uint8_t size;
    };
    std::array<Message, 64> due{};
    while (running_.load(std::memory_order_acquire)) {
        // JACK's client sends the clock itself, frame-exact; the sequencer's port is closed then,
        // so that a bridge (a2jmidid) does not show it twice.
        if (!out_.Sending() || out_.StreamSends()) {
            if (open)
                port_->Close();
            open = false;
            times.Restart();
            wake_.WaitUntil(Clock::Now() + IdleNs);
            continue;
        }
        if (!open && !failed) {
            std::string why;
            open = port_->Open(why);
            failed = !open;
            if (failed && onFailure)
                onFailure(why);
        }
        const std::int64_t now = Clock::Now();
        std::size_t count = 0;
        const bool streaming = times.Until(now + AheadNs, [&](std::int64_t time, const std::uint8_t* bytes, std::uint32_t size) {
            if (count < due.size() && size <= 3) {
                Message& message = due[count++];
                message.time = time;
                message.size = static_cast<std::uint8_t>(size);
                for (std::uint32_t i = 0; i < size; ++i)
                    message.bytes[i] = bytes[i];
            }
        });
        for (std::size_t i = 0; i < count && running_.load(std::memory_order_acquire); ++i) {
            while (Clock::Now() < due[i].time && running_.load(std::memory_order_acquire))
                wake_.WaitUntil(due[i].time);
            if (open)
                port_->Send(due[i].bytes, due[i].size);
        }
        // While no clock runs, a beat comes a lead before its frame is heard: time enough to
        // look again less often.
        wake_.WaitUntil(now + (open && streaming && out_.Running() ? AheadNs : IdleNs));
    }
    if (open)
        port_->Close();
}

} // namespace Platform::Audio
