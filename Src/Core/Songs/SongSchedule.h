#pragma once
#include "Core/Songs/Song.h"

#include <cstdint>
#include <vector>

namespace Core {

/// Where a song goes on from the bar (or beat) that plays.
enum class SongMove : std::uint8_t {
    None,
    NextPart,      ///< the next part from the end of this bar (after the last: the ending)
    PreviousPart,  ///< the previous part (the first part again from the first)
    End,           ///< the song ends with this bar
};

/// One tick of a song: when it sounds and what. Ticks fall on every beat, on every step of a
/// part's subdivision and, for the lamp, half-way through a beat that is not divided.
struct SongTick {
    double seconds = 0;       ///< from the start part's first bar line (the count-in before it is negative)
    std::int32_t part = 0;    ///< index among the song's parts
    std::int64_t bar = 0;     ///< bar within the part, from 0; the count-in's bars count up from -bars
    std::int32_t beat = 0;    ///< beat within the bar, from 0
    std::int32_t step = 0;    ///< tick within the beat, from 0
    std::int32_t voice = -1;  ///< voice index to play (0..11), -1 for none
    double volume = 1;        ///< the part's volume
    bool countIn = false;
    bool muted = false;       ///< a bar the part's muted-bar rule silences (the tick still counts)
    std::int64_t songBeat = 0; ///< beats from the song's first, its parts in order (an endless part counts none)
    bool moved = false;       ///< the first beat of a part the song did not reach by playing on (its start, a move, a loop)
};

/// A song's ticks in order, each placed from the map: a part's beats from its first bar line
/// by SongPart::SecondsTo (ramps integrated, nothing summed tick by tick), steps evenly within
/// their beat (swing moving each pair's second step), and each part's first bar line at the
/// previous part's last. Playing moves (SongMove) take effect at the end of the bar or, "at
/// once", at the next beat. Built on a control thread (it allocates); Advance and the rest never
/// allocate, so a timer thread or an offline render can step through it.
class SongCursor {
public:
    /// Starts at part fromPart's first bar line, after the song's count-in. scale multiplies
    /// every tempo (0.5..1.5); lampTicks adds a silent tick half-way through undivided beats.
    SongCursor(const Song& song, std::int32_t fromPart, double scale, bool lampTicks);

    const SongTick& Current() const { return tick_; }
    /// Steps to the next tick. False when the song is over (it ends with Stop or Next, or the
    /// End move came): Current() is then the song's end, the bar line after its last beat,
    /// silent (voice -1).
    bool Advance();
    /// Asks for a move at the end of the current bar, or at the next beat when atOnce. A later
    /// request replaces one not yet made.
    void Request(SongMove move, bool atOnce);
    /// Multiplies every tempo by scale (0.5..1.5) from the next beat on.
    void SetScale(double scale);

    std::int32_t PartCount() const { return static_cast<std::int32_t>(parts_.size()); }
    /// Bars of part, 0 for a part without end.
    std::int32_t BarsOf(std::int32_t part) const;
    std::int32_t BeatsOf(std::int32_t part) const;
    std::int32_t StartPart() const { return startPart_; }
    bool Empty() const { return parts_.empty(); }

private:
    struct Plan {
        SongPart part;
        std::vector<double> beatSeconds; ///< from the bar line to each beat, unscaled; empty when endless
        double beatLength = 0;           ///< an endless part's beat, unscaled
        std::int32_t steps = 1;          ///< ticks a beat
        double swingShift = 0;           ///< of a pair's second step, in steps
    };

    double BeatSeconds(const Plan& plan, std::int64_t beat) const;
    double StepSeconds(const Plan& plan, std::int64_t beat, std::int32_t step) const;
    void Describe();
    void EnterPart(std::int32_t part, double barLine, bool moved);
    bool End(double line);

    std::vector<Plan> parts_;
    std::vector<std::int64_t> partBeats_; ///< song beat of each part's first beat
    bool entered_ = false;                ///< a part entered by a move: its first beat is moved
    SongEnding ending_ = SongEnding::Stop;
    std::int32_t startPart_ = 0;
    double scale_ = 1;
    double nextScale_ = 1;
    bool lampTicks_ = false;
    std::int32_t countInBeats_ = 0; ///< beats of the count-in still to come, counting the current one
    std::int32_t countInBarBeats_ = 0;
    bool countInTwoBeats_ = false;
    double countInBeat_ = 0;        ///< seconds of one count-in beat
    double partOrigin_ = 0;         ///< seconds of the current part's first bar line
    std::int64_t beatInPart_ = 0;
    SongMove move_ = SongMove::None;
    bool moveAtOnce_ = false;
    bool ended_ = false;
    SongTick tick_;
};

} // namespace Core
