#include "Core/Control/ClockBeatIndicator.h"

#include "Configuration/ConfigurationData.h"
#include "Platform/Audio/MidiClock.h"
#include "Platform/Clock.h"
#include "Platform/FrameClock.h"

namespace Core {

void ClockBeatIndicator::StartDrawing(const Configuration::ConfigurationData& settings)
{
    bpm_ = settings.Bpm > 0 ? settings.Bpm : 120;
    lastFrame_ = -1;
    barOneSeen_ = false;
    if (inner_)
        inner_->StartDrawing(settings);
}

void ClockBeatIndicator::ShowBeat(std::int32_t voiceIndex, BeatLook look)
{
    const Platform::SoundStamp stamp = Platform::CurrentSoundStamp();
    // Only a stream's frames can carry a clock; a run on the steady clock has none.
    if (stamp.frameClock && stamp.frameClock->StartsSoundsOnFrames()) {
        const double framesPerBeat =
            lastFrame_ >= 0 ? stamp.frame - lastFrame_ : stamp.frameClock->FrameRate() * 60.0 / bpm_;
        const bool firstBar = look != BeatLook::CountIn && !barOneSeen_;
        barOneSeen_ = barOneSeen_ || firstBar;
        lastFrame_ = stamp.frame;
        Platform::Audio::MidiClockOut::Instance().Beat(stamp.frame, framesPerBeat, firstBar);
    }
    if (inner_)
        inner_->ShowBeat(voiceIndex, look);
}

void ClockBeatIndicator::ClearBeat()
{
    if (inner_)
        inner_->ClearBeat();
}

void ClockBeatIndicator::StopDrawing()
{
    Platform::Audio::MidiClockOut::Instance().Stop();
    if (inner_)
        inner_->StopDrawing();
}

} // namespace Core
