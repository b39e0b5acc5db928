#include "Platform/Audio/AlsaMidiInput.h"

#include "Platform/Clock.h"

#include <RtMidi.h>

#include <fcntl.h>
#include <unistd.h>

namespace Platform::Audio {

namespace {

// RtMidi reports through this instead of printing; what matters comes back as Open's answer.
void Quiet(RtMidiError::Type, const std::string&, void*) {}

void OnMessage(double, std::vector<unsigned char>* message, void* self)
{
    if (message != nullptr)
        static_cast<AlsaMidiInput*>(self)->Arrived(Clock::Now(), message->data(), message->size());
}

} // namespace

AlsaMidiInput::AlsaMidiInput() = default;

AlsaMidiInput::~AlsaMidiInput()
{
    Close();
}

bool AlsaMidiInput::Open(const IFrameClock& clock, std::string& failure)
{
    Close();
    // RtMidi prints its complaint about a missing sequencer before its error callback can be
    // installed: without the device it is not asked at all.
    clock_ = &clock;
    const int device = ::open("/dev/snd/seq", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (device < 0) {
        failure = "no ALSA sequencer";
        return false;
    }
    ::close(device);
    try {
        input_ = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "Tolvane", 1024);
        input_->setErrorCallback(&Quiet, nullptr);
        input_->ignoreTypes(true, false, true); // system exclusive and active sensing
        input_->setCallback(&OnMessage, this);
        input_->openVirtualPort("midi_in");
    } catch (const RtMidiError& error) {
        failure = error.getMessage();
        input_.reset();
        return false;
    }
    if (!input_->isPortOpen()) {
        failure = "the sequencer port could not be made";
        input_.reset();
        return false;
    }
    return true;
}

void AlsaMidiInput::Close()
{
    if (input_ == nullptr)
        return;
    input_->cancelCallback();
    input_->closePort();
    input_.reset();
}

void AlsaMidiInput::Arrived(std::int64_t time, const unsigned char* bytes, std::size_t size) noexcept
{
    if (clock_ == nullptr || size < 1 || size > 3)
        return;
    // The frame heard at the arrival: from any frame's heard time, on at the clock's rate.
    const double reference = clock_->AnchorFrame();
    const double frame = reference + static_cast<double>(time - clock_->HeardTime(reference)) * clock_->FrameRate() / 1e9;
    StampedMidi message;
    message.frame = frame > 0 ? static_cast<std::uint64_t>(frame + 0.5) : 0;
    message.size = static_cast<std::uint8_t>(size);
    message.heard = true;
    for (std::size_t i = 0; i < size; ++i)
        message.bytes[i] = bytes[i];
    queue_.Push(message);
}

} // namespace Platform::Audio
