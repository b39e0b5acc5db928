#include "Core/Control/ClockBeatIndicator.h"

#include "Configuration/ConfigurationData.h"
#include "Platform/Clock.h"
#include "Platform/FrameClock.h"

namespace Core {

void ClockBeatIndicator::StartDrawing(const Configuration::ConfigurationData& settings)
{
    bpm_ = settings.Bpm > 0 ? settings.Bpm : 120;
    lastFrame_ = -1;
    barOneSeen_ = false;
    lastLength_ = 0;
    beatsPlayed_ = 0;
    resuming_ = false;
    movedTo_ = -1;
    if (inner_)
        inner_->StartDrawing(settings);
}

void ClockBeatIndicator::ShowBeat(std::int32_t voiceIndex, BeatLook look)
{
    const Platform::SoundStamp stamp = Platform::CurrentSoundStamp();
    // Only a stream's frames can carry a clock; a run on the steady clock has none.
    if (stamp.frameClock && stamp.frameClock->StartsSoundsOnFrames()) {
        using Cue = Platform::Audio::MidiClockOut::Cue;
        const double framesPerBeat = resuming_ && lastLength_ > 0 ? lastLength_
                                     : lastFrame_ >= 0 && !resuming_
                                         ? stamp.frame - lastFrame_
                                         : stamp.frameClock->FrameRate() * 60.0 / bpm_;
        const bool firstBar = look != BeatLook::CountIn && !barOneSeen_;
        bool moved = false;
        if (look != BeatLook::CountIn && movedTo_ >= 0) {
            moved = movedTo_ != beatsPlayed_;
            beatsPlayed_ = movedTo_;
            movedTo_ = -1;
        }
        const Cue cue = firstBar ? (moved ? Cue::Continue : Cue::Start)
                        : (resuming_ || moved) && barOneSeen_ ? Cue::Continue
                                                               : Cue::None;
        barOneSeen_ = barOneSeen_ || firstBar;
        resuming_ = false;
        lastFrame_ = stamp.frame;
        lastLength_ = framesPerBeat;
        out_.Beat(stamp.frame, framesPerBeat, cue, beatsPlayed_ * 4);
        if (barOneSeen_)
            ++beatsPlayed_;
    }
    if (inner_)
        inner_->ShowBeat(voiceIndex, look);
}

void ClockBeatIndicator::ClearBeat()
{
    if (inner_)
        inner_->ClearBeat();
}

void ClockBeatIndicator::PauseDrawing(bool paused)
{
    if (paused)
        out_.Stop();
    else
        resuming_ = true;
    if (inner_)
        inner_->PauseDrawing(paused);
}

void ClockBeatIndicator::MoveTo(std::int64_t beat)
{
    movedTo_ = beat;
    if (inner_)
        inner_->MoveTo(beat);
}

void ClockBeatIndicator::StopDrawing()
{
    out_.Stop();
    if (inner_)
        inner_->StopDrawing();
}

} // namespace Core
