#include "Core/Songs/SongSchedule.h"

#include <algorithm>

namespace Core {

SongCursor::SongCursor(const Song& song, std::int32_t fromPart, double scale, bool lampTicks)
    : ending_(song.ending)
    , scale_(std::clamp(scale, 0.5, 1.5))
    , nextScale_(scale_)
    , lampTicks_(lampTicks)
{
    std::int64_t songBeat = 0;
    for (const SongPart* part : song.Parts()) {
        partBeats_.push_back(songBeat);
        if (!part->endless)
            songBeat += static_cast<std::int64_t>(part->bars) * part->beats;
        Plan plan;
        plan.part = *part;
        const double perQuarterTempo = 240.0 / part->denominator;
        if (part->endless) {
            plan.beatLength = perQuarterTempo / part->tempo;
        } else {
            const auto beats = static_cast<std::size_t>(part->bars) * static_cast<std::size_t>(part->beats);
            plan.beatSeconds.resize(beats + 1);
            if (part->tempi.empty()) {
                for (std::size_t k = 0; k <= beats; ++k)
                    plan.beatSeconds[k] = part->SecondsTo(static_cast<std::int64_t>(k));
            } else {
                // One tempo a beat: each bar line is the sum of the beats before it.
                for (std::size_t k = 0; k < beats; ++k)
                    plan.beatSeconds[k + 1] = plan.beatSeconds[k] + perQuarterTempo / part->tempi[k];
            }
        }
        const bool divided = part->subdivision > 1 && !part->compound;
        plan.steps = divided ? part->subdivision : lampTicks ? 2 : 1;
        plan.swingShift = divided && (part->subdivision == 2 || part->subdivision == 4) ? part->swing / 100.0 : 0.5;
        parts_.push_back(std::move(plan));
    }
    if (parts_.empty()) {
        ended_ = true;
        return;
    }
    startPart_ = std::clamp(fromPart, 0, PartCount() - 1);
    const Plan& first = parts_[static_cast<std::size_t>(startPart_)];
    countInBarBeats_ = first.part.beats;
    countInTwoBeats_ = song.countIn == 5;
    countInBeats_ = countInTwoBeats_ ? 2 : std::clamp(song.countIn, 0, 4) * first.part.beats;
    countInBeat_ = 240.0 / first.part.denominator / first.part.TempoAt(0);
    EnterPart(startPart_, 0, true);
    Describe();
}

std::int32_t SongCursor::BarsOf(std::int32_t part) const
{
    const Plan& plan = parts_[static_cast<std::size_t>(part)];
    return plan.part.endless ? 0 : plan.part.bars;
}

std::int32_t SongCursor::BeatsOf(std::int32_t part) const
{
    return parts_[static_cast<std::size_t>(part)].part.beats;
}

double SongCursor::BeatSeconds(const Plan& plan, std::int64_t beat) const
{
    if (plan.beatSeconds.empty())
        return static_cast<double>(beat) * plan.beatLength / scale_;
    const auto last = static_cast<std::int64_t>(plan.beatSeconds.size()) - 1;
    return plan.beatSeconds[static_cast<std::size_t>(std::min(beat, last))] / scale_;
}

double SongCursor::StepSeconds(const Plan& plan, std::int64_t beat, std::int32_t step) const
{
    const double start = BeatSeconds(plan, beat);
    if (step == 0)
        return start;
    // Steps divide their own beat evenly; a swung pair's second step sounds at the swing
    // ratio of the pair's length from the pair's start.
    const double place = step % 2 == 1 ? (step - 1 + 2 * plan.swingShift) / plan.steps
                                        : static_cast<double>(step) / plan.steps;
    return start + (BeatSeconds(plan, beat + 1) - start) * place;
}

void SongCursor::EnterPart(std::int32_t part, double barLine, bool moved)
{
    entered_ = moved;
    tick_.part = part;
    partOrigin_ = barLine;
    beatInPart_ = 0;
    tick_.step = 0;
}

void SongCursor::Describe()
{
    const Plan& plan = parts_[static_cast<std::size_t>(tick_.part)];
    tick_.volume = plan.part.volume;
    if (countInBeats_ > 0) {
        const std::int32_t total = countInTwoBeats_ ? 2 : countInBarBeats_ * ((countInBeats_ + countInBarBeats_ - 1) / countInBarBeats_);
        const std::int32_t beat = countInTwoBeats_ ? 2 - countInBeats_ : (total - countInBeats_) % countInBarBeats_;
        tick_.countIn = true;
        tick_.muted = false;
        tick_.seconds = -countInBeats_ * countInBeat_ / scale_;
        tick_.bar = countInTwoBeats_ ? 0 : -((countInBeats_ + countInBarBeats_ - 1) / countInBarBeats_);
        tick_.beat = beat;
        tick_.step = 0;
        // The count-in plays the part's beats (in compound time only those of three eighths)
        // with its accents as levels; the voice field holds the level.
        BeatLevel level = plan.part.LevelOf(beat);
        if (beat == 0)
            level = BeatLevel::BarStart;
        else if (plan.part.compound && beat % 3 != 0)
            level = BeatLevel::Silent;
        else if (level != BeatLevel::Accent || countInTwoBeats_)
            level = BeatLevel::Plain;
        tick_.voice = static_cast<std::int32_t>(level);
        return;
    }
    const std::int32_t beats = plan.part.beats;
    tick_.countIn = false;
    tick_.songBeat = partBeats_[static_cast<std::size_t>(tick_.part)] + beatInPart_;
    tick_.moved = entered_;
    entered_ = false;
    tick_.bar = beatInPart_ / beats;
    tick_.beat = static_cast<std::int32_t>(beatInPart_ % beats);
    tick_.seconds = partOrigin_ + StepSeconds(plan, beatInPart_, tick_.step);
    tick_.muted = plan.part.gapPlay > 0 && tick_.bar > 0
                  && tick_.bar % (plan.part.gapPlay + plan.part.gapMute) >= plan.part.gapPlay;
    if (tick_.step == 0) {
        const BeatLevel level = plan.part.LevelOf(tick_.beat);
        tick_.voice = level == BeatLevel::Silent ? -1 : plan.part.VoiceOf(level);
    } else {
        const bool divided = plan.part.subdivision > 1 && !plan.part.compound;
        tick_.voice = divided ? 3 : -1; // voice 4 plays the subdivision; else the lamp's half-beat
    }
}

bool SongCursor::End(double line)
{
    ended_ = true;
    tick_.seconds = line;
    tick_.voice = -1;
    tick_.step = 0;
    tick_.countIn = false;
    return false;
}

void SongCursor::Request(SongMove move, bool atOnce)
{
    move_ = move;
    moveAtOnce_ = atOnce;
}

void SongCursor::SetScale(double scale)
{
    nextScale_ = std::clamp(scale, 0.5, 1.5);
}

bool SongCursor::Advance()
{
    if (ended_)
        return false;
    if (countInBeats_ > 0) {
        --countInBeats_;
        Describe();
        return true;
    }
    const Plan* plan = &parts_[static_cast<std::size_t>(tick_.part)];
    if (++tick_.step < plan->steps) {
        Describe();
        return true;
    }
    tick_.step = 0;
    ++beatInPart_;
    if (nextScale_ != scale_) {
        // The beat that comes keeps its place; the beats after it follow the new scale.
        const double beatTime = partOrigin_ + BeatSeconds(*plan, beatInPart_);
        scale_ = nextScale_;
        partOrigin_ = beatTime - BeatSeconds(*plan, beatInPart_);
    }
    const bool barEnd = beatInPart_ % plan->part.beats == 0;
    const bool partEnd = !plan->part.endless
                         && beatInPart_ == static_cast<std::int64_t>(plan->part.bars) * plan->part.beats;
    const double line = partOrigin_ + BeatSeconds(*plan, beatInPart_);
    std::int32_t target = -1;
    bool moved = false;
    if (move_ != SongMove::None && (barEnd || moveAtOnce_)) {
        const SongMove move = move_;
        move_ = SongMove::None;
        if (move == SongMove::End)
            return End(line);
        target = move == SongMove::NextPart ? tick_.part + 1 : std::max(tick_.part - 1, 0);
        moved = true;
    } else if (partEnd) {
        target = tick_.part + 1;
    }
    if (target >= PartCount()) {
        if (ending_ != SongEnding::Loop)
            return End(line);
        target = 0;
        moved = true;
    }
    if (target >= 0)
        EnterPart(target, line, moved);
    Describe();
    return true;
}

} // namespace Core
