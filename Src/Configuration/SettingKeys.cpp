#include "Configuration/SettingKeys.h"

#include <array>
#include <cstdio>

namespace Configuration {

namespace {

constexpr int SettingCount = 115;

SettingKey Integer(const char* name, std::int32_t minimum, std::int32_t maximum,
                   SettingField (*locate)(ConfigurationData&, int), int voiceIndex = 0)
{
    SettingKey key{};
    std::snprintf(key.name, sizeof key.name, "%s", name);
    key.kind = SettingKind::Integer;
    key.integerMinimum = minimum;
    key.integerMaximum = maximum;
    key.locate = locate;
    key.voiceIndex = voiceIndex;
    return key;
}

SettingKey Real(const char* name, float minimum, float maximum, SettingField (*locate)(ConfigurationData&, int))
{
    SettingKey key{};
    std::snprintf(key.name, sizeof key.name, "%s", name);
    key.kind = SettingKind::Real;
    key.realMinimum = minimum;
    key.realMaximum = maximum;
    key.locate = locate;
    return key;
}

SettingKey Text(const char* name, SettingKind kind, SettingField (*locate)(ConfigurationData&, int), int voiceIndex = 0)
{
    SettingKey key{};
    std::snprintf(key.name, sizeof key.name, "%s", name);
    key.kind = kind;
    key.locate = locate;
    key.voiceIndex = voiceIndex;
    return key;
}

#define TOLVANE_INTEGER(field) [](ConfigurationData& d, int) { return SettingField{.integer = IntegerField(&d.field)}; }
#define TOLVANE_REAL(field) [](ConfigurationData& d, int) { return SettingField{.integer = {}, .real = &d.field}; }
#define TOLVANE_VOICE_INTEGER(field) [](ConfigurationData& d, int v) { return SettingField{.integer = IntegerField(&d.field[v])}; }

std::array<SettingKey, SettingCount> MakeSettingKeys()
{
    std::array<SettingKey, SettingCount> keys{};
    int next = 0;
    const auto add = [&](const SettingKey& key) { keys[static_cast<std::size_t>(next++)] = key; };

    add(Integer("SoundEngineType", 0, 1, TOLVANE_INTEGER(SoundEngineType)));
    add(Integer("Bpm", 10, 400, TOLVANE_INTEGER(Bpm)));
    add(Integer("GlobalVolume", 0, 100, TOLVANE_INTEGER(GlobalVolume)));
    add(Integer("BeatType", 0, 3, TOLVANE_INTEGER(BeatType)));
    add(Integer("BeatsPerBar", 2, 60, TOLVANE_INTEGER(BeatsPerBar)));
    add(Text("CustomPattern", SettingKind::Utf8Text, [](ConfigurationData& d, int) {
        return SettingField{.integer = {}, .text = &d.CustomPattern, .capacity = CustomPatternCapacity};
    }));
    add(Text("CustomRhythm", SettingKind::ByteText, [](ConfigurationData& d, int) {
        return SettingField{.integer = {}, .text = &d.CustomRhythm, .capacity = CustomRhythmCapacity};
    }));
    add(Integer("CrNumBars", 0, 4, TOLVANE_INTEGER(CrNumBars)));
    add(Integer("CrBeatsPerBar", 0, 16, TOLVANE_INTEGER(CrBeatsPerBar)));
    add(Integer("CrSubdivision", 0, 8, TOLVANE_INTEGER(CrSubdivision)));
    add(Integer("CrCompoundTime", 0, 1, TOLVANE_INTEGER(CrCompoundTime)));
    add(Integer("DisplayedSubdiv", 0, 8, TOLVANE_INTEGER(DisplayedSubdiv)));
    add(Integer("DisplayDistinct", 0, 1, TOLVANE_INTEGER(DisplayDistinct)));
    add(Integer("Subdivision1", 0, 8, TOLVANE_INTEGER(Subdivision1)));
    add(Integer("Subdivision2", 0, 8, TOLVANE_INTEGER(Subdivision2)));
    add(Integer("CompoundTime", 0, 1, TOLVANE_INTEGER(CompoundTime)));
    add(Integer("VisualIndicator", 0, 1, TOLVANE_INTEGER(VisualIndicator)));
    add(Integer("SpeedTrainer", 0, 1, TOLVANE_INTEGER(SpeedTrainer)));
    add(Integer("DurationsInBars", 0, 1, TOLVANE_INTEGER(DurationsInBars)));
    add(Integer("Logarithmic", 0, 1, TOLVANE_INTEGER(Logarithmic)));
    add(Integer("Beep", 0, 1, TOLVANE_INTEGER(Beep)));
    add(Real("From", 0.0f, 1.0f, TOLVANE_REAL(From)));
    add(Real("To", 0.0f, 1.0f, TOLVANE_REAL(To)));
    add(Real("Step", 0.0001f, 1.0f, TOLVANE_REAL(Step)));
    add(Real("Duration", 0.01f, 1000.0f, TOLVANE_REAL(Duration)));
    add(Real("Warmup", 0.0f, 1000.0f, TOLVANE_REAL(Warmup)));
    add(Real("Warmdown", 0.0f, 1000.0f, TOLVANE_REAL(Warmdown)));
    // The practice keys came later: a value out of range is clamped into it (and logged).
    const auto clamped = [](SettingKey key) {
        key.clamps = true;
        return key;
    };
    add(clamped(Integer("CountIn", 0, 5, TOLVANE_INTEGER(CountIn))));
    add(clamped(Integer("CountInInstrument", 0, 46, TOLVANE_INTEGER(CountInInstrument))));
    add(clamped(Integer("GapMode", 0, 2, TOLVANE_INTEGER(GapMode))));
    add(clamped(Integer("GapPlay", 1, 16, TOLVANE_INTEGER(GapPlay))));
    add(clamped(Integer("GapMute", 1, 16, TOLVANE_INTEGER(GapMute))));
    add(clamped(Integer("GapPercent", 5, 95, TOLVANE_INTEGER(GapPercent))));
    add(clamped(Integer("GapRamp", 0, 64, TOLVANE_INTEGER(GapRamp))));
    add(clamped(Integer("GapSeed", 0, 2147483647, TOLVANE_INTEGER(GapSeed))));
    add(clamped(Integer("GapDownbeat", 0, 1, TOLVANE_INTEGER(GapDownbeat))));
    add(clamped(Real("Swing", 50.0f, 75.0f, TOLVANE_REAL(Swing))));
    add(clamped(Integer("CountVoice", 0, 2, TOLVANE_INTEGER(CountVoice))));
    add(clamped(Integer("CountThrough", 0, 1, TOLVANE_INTEGER(CountThrough))));
    add(clamped(Integer("TrainerGate", 0, 1, TOLVANE_INTEGER(TrainerGate))));
    add(clamped(Integer("GateMean", 1, 100, TOLVANE_INTEGER(GateMean))));
    add(clamped(Integer("GateSpread", 1, 100, TOLVANE_INTEGER(GateSpread))));
    add(clamped(Integer("GateRepeats", 0, 20, TOLVANE_INTEGER(GateRepeats))));

    struct VoiceSetting {
        const char* name;
        std::int32_t maximum;
        SettingField (*locate)(ConfigurationData&, int);
    };
    const VoiceSetting voiceSettings[] = {
        {"Instrument", 46, TOLVANE_VOICE_INTEGER(Instrument)},
        {"Volume", 127, TOLVANE_VOICE_INTEGER(Volume)},
        {"Size", 7, TOLVANE_VOICE_INTEGER(Size)},
        {"Colour", 11, TOLVANE_VOICE_INTEGER(Colour)},
    };
    char name[sizeof SettingKey{}.name]; // every name composed here fits a key's name
    for (const VoiceSetting& setting : voiceSettings) {
        for (int voice = 0; voice < VoiceCount; ++voice) {
            std::snprintf(name, sizeof name, "%s%d", setting.name, voice + 1);
            add(Integer(name, 0, setting.maximum, setting.locate, voice));
        }
    }
    for (int voice = 0; voice < VoiceCount; ++voice) {
        std::snprintf(name, sizeof name, "File%d", voice + 1);
        add(Text(name, SettingKind::Path, [](ConfigurationData& d, int v) {
            return SettingField{.integer = {}, .text = &d.File[v], .capacity = PathCapacity};
        }, voice));
    }
    // After every key of earlier versions: a version that stopped reading at a line it did not
    // understand still read the whole record.
    for (int voice = 0; voice < VoiceCount; ++voice) {
        std::snprintf(name, sizeof name, "OtherInstrument%d", voice + 1);
        add(Integer(name, 0, 46, TOLVANE_VOICE_INTEGER(OtherInstrument), voice));
    }
    return keys;
}

#undef TOLVANE_INTEGER
#undef TOLVANE_REAL
#undef TOLVANE_VOICE_INTEGER

const std::array<SettingKey, SettingCount>& Keys()
{
    static const std::array<SettingKey, SettingCount> keys = MakeSettingKeys();
    return keys;
}

bool EqualIgnoringCase(const char* known, const char* key, std::size_t length)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < length; ++i) {
        if (known[i] == 0 || lower(known[i]) != lower(key[i]))
            return false;
    }
    return known[length] == 0;
}

} // namespace

std::span<const SettingKey> SettingKeys()
{
    return Keys();
}

const SettingKey* FindSettingKey(const char* key, std::size_t length)
{
    for (const SettingKey& setting : Keys()) {
        if (EqualIgnoringCase(setting.name, key, length))
            return &setting;
    }
    return nullptr;
}

std::span<const WindowKey> WindowKeys()
{
    // Positions within what any desktop of screens side by side reaches; sizes from one pixel.
    static constexpr WindowKey keys[] = {
        {"WindowLeft", &WindowPlacement::Left, -100000, 100000},
        {"WindowTop", &WindowPlacement::Top, -100000, 100000},
        {"WindowWidth", &WindowPlacement::Width, 1, 100000},
        {"WindowHeight", &WindowPlacement::Height, 1, 100000},
        {"WindowMaximised", &WindowPlacement::Maximised, 0, 1},
    };
    return keys;
}

std::span<const SwitchKey> SwitchKeys()
{
    static constexpr SwitchKey keys[] = {
        {"Diary", &ProgramSwitches::Diary, 0, 1},
        {"TimingFeedback", &ProgramSwitches::TimingFeedback, 0, 1},
        {"TimingInput", &ProgramSwitches::TimingInput, 0, 1},
        {"ExportFormat", &ProgramSwitches::ExportFormat, 0, 5},
        {"ExportRate", &ProgramSwitches::ExportRate, 8000, 192000},
        {"ExportUnit", &ProgramSwitches::ExportUnit, 0, 2},
        {"ExportLength", &ProgramSwitches::ExportLength, 1, 1080000},
        {"StrongFlashes", &ProgramSwitches::StrongFlashes, 0, 1},
        {"VisualOnly", &ProgramSwitches::VisualOnly, 0, 1},
    };
    return keys;
}

std::span<const SwitchTextKey> SwitchTextKeys()
{
    static const SwitchTextKey keys[] = {
        {"ExportWhat", &ProgramSwitches::ExportWhat},
        {"ExportFile", &ProgramSwitches::ExportFile},
        {"AudioRoundTrips", &ProgramSwitches::AudioRoundTrips},
        {"OutputOffsets", &ProgramSwitches::OutputOffsets},
        {"InputLatencies", &ProgramSwitches::InputLatencies},
    };
    return keys;
}

} // namespace Configuration
