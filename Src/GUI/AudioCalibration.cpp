#include "GUI/AudioCalibration.h"

#include "Platform/Audio/Mixer.h"
#include "Platform/Clock.h"
#include "System/Log.h"

namespace GUI {

namespace {
// From the calibration's start to its first click: the input's clock map settles meanwhile.
constexpr double leadSeconds = 1.4;
// How long after the last click is heard its sound may still come back.
constexpr std::int64_t returnNs = 1'000'000'000;
} // namespace

AudioCalibration::AudioCalibration(Platform::Audio::Mixer* mixer, QObject* parent) : QObject(parent), mixer_(mixer)
{
    poll_.setInterval(20);
    connect(&poll_, &QTimer::timeout, this, &AudioCalibration::Poll);
}

AudioCalibration::~AudioCalibration()
{
    if (Running()) {
        poll_.stop();
        Finish();
    }
}

bool AudioCalibration::Start(std::string& failure)
{
    if (Running())
        return true;
    if (mixer_ == nullptr || mixer_->Acquire() != Platform::Audio::NoError) {
        failure = "no output";
        return false;
    }
    acquired_ = true;
    if (!hits_.Start(*mixer_, {}, failure, true)) {
        mixer_->Release();
        acquired_ = false;
        return false;
    }
    pair_ = hits_.Pair();
    const double rate = mixer_->SampleRate();
    const double first = mixer_->AnchorFrame() + leadSeconds * rate;
    played_ = Core::Timing::CalibrationFrames(rate);
    for (double& frame : played_)
        frame += first;
    found_.clear();
    voice_ = std::make_unique<Core::Timing::CalibrationVoice>(*mixer_, played_);
    if (!mixer_->AddVoice(*voice_)) {
        failure = "no voice free";
        hits_.Stop();
        mixer_->Release();
        acquired_ = false;
        return false;
    }
    until_ = mixer_->HeardTime(played_.back()) + returnNs;
    poll_.start();
    return true;
}

void AudioCalibration::Poll()
{
    for (double frame = 0; hits_.Take(frame);)
        found_.push_back(frame);
    if (Platform::Clock::Now() < until_)
        return;
    poll_.stop();
    Finish();
}

void AudioCalibration::Finish()
{
    if (voice_) {
        mixer_->RemoveVoice(*voice_);
        voice_.reset();
    }
    hits_.Stop();
    for (double frame = 0; hits_.Take(frame);)
        found_.push_back(frame);
    if (acquired_) {
        mixer_->Release();
        acquired_ = false;
    }
    std::optional<double> ms;
    if (const auto frames = Core::Timing::EstimateRoundTrip(played_, found_, mixer_->SampleRate()))
        ms = *frames * 1000.0 / mixer_->SampleRate();
    System::Log().Write(System::Information, "Latency calibration of %s: %zu onsets found, %s", pair_.c_str(),
                        found_.size(), ms ? std::to_string(*ms).append(" ms beyond the reported latencies").c_str() : "no round trip");
    emit Finished(ms);
}

} // namespace GUI
