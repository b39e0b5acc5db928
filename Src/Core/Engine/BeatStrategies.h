#pragma once
#include "Core/Engine/MetronomeStrategy.h"

namespace Core {

/// Every beat is voice 1, with the chosen subdivisions (BeatType 0).
class SimpleBeatMetronomeStrategy final : public MetronomeStrategy {
public:
    /// Always 4.
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) override;
    std::uint32_t Initialise(const Configuration::ConfigurationData& settings, std::int32_t& ticksPerBeat,
                             std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
};

/// Bars of BeatsPerBar beats: voice 1 on the first beat, voice 2 on the others (BeatType 1).
/// In compound time (CompoundTime set and 5 or more beats) the bar is counted in eighths,
/// three to a beat: voice 3 on the first eighth of each beat, voice 4 on the others.
/// BeatsPerBar is limited to 1..64.
class BeatsPerBarMetronomeStrategy final : public MetronomeStrategy {
public:
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) override;
    std::uint32_t Initialise(const Configuration::ConfigurationData& settings, std::int32_t& ticksPerBeat,
                             std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;

private:
    std::array<std::int32_t, MaxBarBeats> barVoices_{};
    std::int32_t barPosition_ = 0;
    std::int32_t beatsPerBar_ = 1;
};

/// Groups of beats such as "3+3+2" (BeatType 2): voice 1 on the first beat of the pattern,
/// voice 2 on the first beat of every later group, voice 3 on the other beats. In compound
/// time each beat of the pattern is an eighth, three to a beat. An empty pattern plays voice 1
/// on every beat; in compound time it is refused as malformed, since it holds no eighth.
class CustomPatternMetronomeStrategy final : public MetronomeStrategy {
public:
    /// The beat total of the pattern read by the last Initialise.
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) override;
    std::uint32_t Initialise(const Configuration::ConfigurationData& settings, std::int32_t& ticksPerBeat,
                             std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
    /// Its groups: their first beats accented, in compound time beats every third eighth.
    BarShape DescribeBar(const Configuration::ConfigurationData& settings, bool compound) override;

private:
    std::array<std::int32_t, MaxPatternLength> patternVoices_{};
    std::int32_t position_ = 0;
    std::int32_t beatTotal_ = 0;
};

/// Rhythm steps to a beat of a custom rhythm: CrSubdivision (0..8; 0 is one step), or three in
/// compound time. The rhythm's ticks per beat, and with them the step sequencer's frames per
/// step, follow from it.
std::int32_t RhythmStepsPerBeat(const Configuration::ConfigurationData& settings);

/// A drum rhythm from the step sequencer (BeatType 3): every tick plays the next step, whose
/// voices sound together; CrSubdivision steps to a beat, or three in compound time. An empty
/// rhythm rests on every step; in compound time it is refused as malformed.
class CustomRhythmMetronomeStrategy final : public MetronomeStrategy {
public:
    /// CrBeatsPerBar.
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) override;
    /// CrBeatsPerBar times the steps of one beat: every step is a counted tick.
    std::int32_t GetTrainerTicksPerBar(const Configuration::ConfigurationData& settings) override;
    std::uint32_t Initialise(const Configuration::ConfigurationData& settings, std::int32_t& ticksPerBeat,
                             std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
    BarShape DescribeBar(const Configuration::ConfigurationData& settings, bool compound) override;

private:
    std::array<std::uint64_t, MaxPatternLength> rhythmSteps_{};
    std::int32_t position_ = 0;
    std::int32_t stepCount_ = 0;
};

} // namespace Core
