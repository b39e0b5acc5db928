#include "Core/Engine/BeatStrategies.h"

#include <algorithm>

namespace Core {

namespace {

namespace Flags = PatternFlags;

std::int32_t LimitedBeatsPerBar(const Configuration::ConfigurationData& settings)
{
    return std::clamp(settings.BeatsPerBar, 1, MaxBarBeats);
}

} // namespace

std::int32_t RhythmStepsPerBeat(const Configuration::ConfigurationData& settings)
{
    if (settings.CrCompoundTime == 1)
        return 3;
    return std::clamp(settings.CrSubdivision, 0, 8);
}

// --- Simple beat ---------------------------------------------------------------------------

std::int32_t SimpleBeatMetronomeStrategy::GetBeatsPerBar(const Configuration::ConfigurationData&)
{
    return 4;
}

std::uint32_t SimpleBeatMetronomeStrategy::Initialise(const Configuration::ConfigurationData& settings,
                                                      std::int32_t& ticksPerBeat, std::int32_t& secondary,
                                                      bool& compound)
{
    const Subdivisions subdivisions = ChooseSubdivisions(settings, false);
    ticksPerBeat = subdivisions.ticks;
    secondary = subdivisions.secondary;
    compound = false;
    patternLength_ = BuildStandardPattern(pattern_, ticksPerBeat, secondary, LampTicks());
    return StartResult::Playing;
}

std::int32_t SimpleBeatMetronomeStrategy::PlayBeat()
{
    return PlayVoice(0) ? 0 : -1;
}

// --- Beats per bar -------------------------------------------------------------------------

std::int32_t BeatsPerBarMetronomeStrategy::GetBeatsPerBar(const Configuration::ConfigurationData& settings)
{
    return LimitedBeatsPerBar(settings);
}

std::uint32_t BeatsPerBarMetronomeStrategy::Initialise(const Configuration::ConfigurationData& settings,
                                                       std::int32_t& ticksPerBeat, std::int32_t& secondary,
                                                       bool& compound)
{
    beatsPerBar_ = LimitedBeatsPerBar(settings);
    // Four beats or fewer never play compound.
    const Subdivisions subdivisions = ChooseSubdivisions(settings, settings.CompoundTime == 1 && beatsPerBar_ > 4);
    ticksPerBeat = subdivisions.ticks;
    secondary = subdivisions.secondary;
    compound = subdivisions.compound;
    const bool lamp = LampTicks();

    barVoices_[0] = 0;
    for (std::int32_t k = 1; k < beatsPerBar_; ++k) {
        const auto beat = static_cast<std::size_t>(k);
        if (!compound) {
            barVoices_[beat] = 1;
        } else if (k % 3 == 0) {
            barVoices_[beat] = 2;
            pattern_[beat] = Flags::PlayBeat | Flags::ShowBeat;
        } else {
            barVoices_[beat] = 3;
            const bool endsBeat = k + 1 == beatsPerBar_ || (k + 1) % 3 == 0;
            pattern_[beat] = lamp && endsBeat ? Flags::PlayBeat | Flags::ClearBeat : Flags::PlayBeat;
        }
    }
    if (compound) {
        pattern_[0] = Flags::PlayBeat | Flags::ShowBeat;
        patternLength_ = beatsPerBar_;
    } else {
        patternLength_ = BuildStandardPattern(pattern_, ticksPerBeat, secondary, lamp);
    }
    barPosition_ = 0;
    return StartResult::Playing;
}

std::int32_t BeatsPerBarMetronomeStrategy::PlayBeat()
{
    const std::int32_t voice = barVoices_[static_cast<std::size_t>(barPosition_)];
    if (++barPosition_ >= beatsPerBar_)
        barPosition_ = 0;
    return PlayVoice(voice) ? voice : -1;
}

// --- Custom pattern ------------------------------------------------------------------------

std::int32_t CustomPatternMetronomeStrategy::GetBeatsPerBar(const Configuration::ConfigurationData&)
{
    return beatTotal_;
}

std::uint32_t CustomPatternMetronomeStrategy::Initialise(const Configuration::ConfigurationData& settings,
                                                         std::int32_t& ticksPerBeat, std::int32_t& secondary,
                                                         bool& compound)
{
    const Subdivisions subdivisions = ChooseSubdivisions(settings, settings.CompoundTime == 1);
    ticksPerBeat = subdivisions.ticks;
    secondary = subdivisions.secondary;
    compound = subdivisions.compound;
    position_ = 0;

    const std::u16string_view text = FieldText(settings.CustomPattern);
    std::uint32_t result = StartResult::PatternMalformed;
    if (compound && text.empty())
        beatTotal_ = 0; // no eighth to play: refused
    else
        result = ParseCustomPattern(text, compound, LampTicks(), patternVoices_, pattern_, beatTotal_);

    if (compound)
        patternLength_ = std::clamp(beatTotal_, 1, MaxPatternLength);
    else
        patternLength_ = BuildStandardPattern(pattern_, ticksPerBeat, secondary, LampTicks());
    return result;
}

BarShape CustomPatternMetronomeStrategy::DescribeBar(const Configuration::ConfigurationData&, bool compound)
{
    if (beatTotal_ <= 0)
        return BarShape::Plain(4, false); // every beat a first beat: bars of four
    BarShape shape = BarShape::Plain(beatTotal_, compound);
    std::int32_t sinceGroup = 0;
    for (std::int32_t k = 0; k < shape.units; ++k) {
        const auto unit = static_cast<std::size_t>(k);
        const std::int32_t voice = patternVoices_[unit];
        if (voice != 2)
            sinceGroup = 0;
        if (sinceGroup % shape.unitsPerBeat != 0)
            shape.level[unit] = BarShape::Silent;
        else
            shape.level[unit] = voice == 0 ? BarShape::BarStart : voice == 1 ? BarShape::GroupStart : BarShape::Beat;
        ++sinceGroup;
    }
    return shape;
}

std::int32_t CustomPatternMetronomeStrategy::PlayBeat()
{
    // Without beats (the empty pattern) every beat is a first beat.
    const std::int32_t voice = beatTotal_ > 0 ? patternVoices_[static_cast<std::size_t>(position_)] : 0;
    if (++position_ >= beatTotal_)
        position_ = 0;
    return PlayVoice(voice) ? voice : -1;
}

// --- Custom rhythm -------------------------------------------------------------------------

std::int32_t CustomRhythmMetronomeStrategy::GetBeatsPerBar(const Configuration::ConfigurationData& settings)
{
    return settings.CrBeatsPerBar;
}

std::int32_t CustomRhythmMetronomeStrategy::GetTrainerTicksPerBar(const Configuration::ConfigurationData& settings)
{
    return settings.CrBeatsPerBar * std::max(RhythmStepsPerBeat(settings), 1);
}

std::uint32_t CustomRhythmMetronomeStrategy::Initialise(const Configuration::ConfigurationData& settings,
                                                        std::int32_t& ticksPerBeat, std::int32_t& secondary,
                                                        bool& compound)
{
    compound = settings.CrCompoundTime == 1;
    ticksPerBeat = RhythmStepsPerBeat(settings);
    secondary = 0;
    position_ = 0;
    const bool lamp = LampTicks();

    const std::u16string_view text = FieldText(settings.CustomRhythm);
    std::uint32_t result = ParseCustomRhythm(text, compound, lamp, rhythmSteps_, pattern_, stepCount_);
    if (compound) {
        // A compound rhythm is its own pattern; with no step there is nothing to tick.
        if (result == StartResult::Playing && stepCount_ == 0)
            result = StartResult::RhythmMalformed;
        patternLength_ = std::clamp(stepCount_, 1, MaxPatternLength);
        return result;
    }

    pattern_[0] = Flags::PlayBeat | Flags::ShowBeat;
    if (ticksPerBeat != 0) {
        const std::int32_t middle = (ticksPerBeat + 1) / 2;
        for (std::int32_t i = 1; i < ticksPerBeat; ++i)
            pattern_[static_cast<std::size_t>(i)] = lamp && i == middle ? Flags::PlayBeat | Flags::ClearBeat : Flags::PlayBeat;
        patternLength_ = ticksPerBeat;
    } else if (lamp) {
        pattern_[1] = Flags::ClearBeat;
        patternLength_ = 2;
    } else {
        patternLength_ = 1;
    }
    return result;
}

BarShape CustomRhythmMetronomeStrategy::DescribeBar(const Configuration::ConfigurationData& settings, bool compound)
{
    // A bar of CrBeatsPerBar beats; in compound time each beat is three steps.
    const std::int32_t beats = std::max(settings.CrBeatsPerBar, 1);
    return BarShape::Plain(compound ? 3 * beats : beats, compound);
}

std::int32_t CustomRhythmMetronomeStrategy::PlayBeat()
{
    if (stepCount_ == 0)
        return 0; // the empty rhythm rests
    const std::uint64_t step = rhythmSteps_[static_cast<std::size_t>(position_)];
    if (++position_ >= stepCount_)
        position_ = 0;

    // Voices are packed four bits each, the first in the highest nibble in use.
    std::int32_t shown = -1;
    for (int shift = 60; shift >= 0; shift -= 4) {
        const auto voice = static_cast<std::int32_t>((step >> shift) & 0xFu);
        if (voice == 0 || voice > Configuration::VoiceCount)
            continue;
        if (!PlayVoice(voice - 1))
            return -1;
        if (shown < 0 && voice != 1)
            shown = voice - 1;
    }
    return shown < 0 ? 0 : shown;
}

} // namespace Core
