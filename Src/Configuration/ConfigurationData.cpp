#include "Configuration/ConfigurationData.h"

#include "Platform/Text.h"

namespace Configuration {

ConfigurationData::ConfigurationData()
    : Name{},
      Description{},
      SoundEngineType(SoundSource::Midi),
      Bpm(120),
      GlobalVolume(100),
      BeatType(BeatKind::Simple),
      BeatsPerBar(4),
      CustomPattern{},
      CustomRhythm{},
      CrNumBars(1),
      CrBeatsPerBar(4),
      CrSubdivision(2),
      CrCompoundTime(0),
      DisplayedSubdiv(2),
      DisplayDistinct(1),
      Subdivision1(0),
      Subdivision2(0),
      CompoundTime(0),
      VisualIndicator(1),
      SpeedTrainer(TrainerMode::Off),
      DurationsInBars(0),
      Logarithmic(0),
      Beep(1),
      From(0.5f),
      To(1.0f),
      Step(0.1f),
      Duration(5.0f),
      Warmup(1.0f),
      Warmdown(1.0f),
      File{},
      Balance(0),
      Left(nullptr),
      Right(nullptr)
{
    for (int voice = 0; voice < VoiceCount; ++voice) {
        Instrument[voice] = 1;
        Volume[voice] = 127;
        Size[voice] = 7;
        Colour[voice] = 11;
    }
}

// A copy is a new record: it starts from the defaults (its links empty) and takes the
// settings.
ConfigurationData::ConfigurationData(const ConfigurationData& other)
    : ConfigurationData()
{
    *this = other;
}

ConfigurationData& ConfigurationData::operator=(const ConfigurationData& other)
{
    if (this == &other)
        return *this;
    using Platform::Text::Copy;
    Copy(Name, other.Name);
    Copy(Description, other.Description);
    SoundEngineType = other.SoundEngineType;
    Bpm = other.Bpm;
    GlobalVolume = other.GlobalVolume;
    BeatType = other.BeatType;
    BeatsPerBar = other.BeatsPerBar;
    Copy(CustomPattern, other.CustomPattern);
    Copy(CustomRhythm, other.CustomRhythm);
    CrNumBars = other.CrNumBars;
    CrBeatsPerBar = other.CrBeatsPerBar;
    CrSubdivision = other.CrSubdivision;
    CrCompoundTime = other.CrCompoundTime;
    DisplayedSubdiv = other.DisplayedSubdiv;
    DisplayDistinct = other.DisplayDistinct;
    Subdivision1 = other.Subdivision1;
    Subdivision2 = other.Subdivision2;
    CompoundTime = other.CompoundTime;
    VisualIndicator = other.VisualIndicator;
    SpeedTrainer = other.SpeedTrainer;
    DurationsInBars = other.DurationsInBars;
    Logarithmic = other.Logarithmic;
    Beep = other.Beep;
    From = other.From;
    To = other.To;
    Step = other.Step;
    Duration = other.Duration;
    Warmup = other.Warmup;
    Warmdown = other.Warmdown;
    for (int voice = 0; voice < VoiceCount; ++voice) {
        Instrument[voice] = other.Instrument[voice];
        Volume[voice] = other.Volume[voice];
        Size[voice] = other.Size[voice];
        Colour[voice] = other.Colour[voice];
        Copy(File[voice], other.File[voice]);
    }
    return *this;
}

} // namespace Configuration
