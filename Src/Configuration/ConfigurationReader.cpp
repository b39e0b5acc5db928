#include "Configuration/ConfigurationReader.h"

#include "Configuration/SettingKeys.h"
#include "Configuration/ValueText.h"
#include "Platform/Text.h"
#include "System/Log.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Configuration {

namespace {

constexpr std::size_t LongestKey = 63;
constexpr std::size_t LongestValue = 771;
// The tempos the keys and the instance socket reach; a file may hold them from a version
// that saved them unchanged.
constexpr std::uint32_t StoredBpmNearestFrom = 4;
constexpr std::uint32_t StoredBpmNearestTo = 1000;
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool IsKeyCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool EqualsIgnoringCase(std::string_view key, std::string_view known)
{
    if (key.size() != known.size())
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (lower(key[i]) != lower(known[i]))
            return false;
    }
    return true;
}

// Numbers are read as the C library reads them: leading white space, a sign, digits and
// whatever follows ignored. No number at all gives nothing. The "C" locale keeps the decimal
// point a point whatever locale the program runs in.
std::optional<std::int64_t> ReadInteger(const std::string& value)
{
    char* end = nullptr;
    const long long number = std::strtoll(value.c_str(), &end, 10);
    if (end == value.c_str())
        return std::nullopt;
    return std::clamp<long long>(number, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
}

std::optional<float> ReadReal(const std::string& value)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    char* end = nullptr;
    const double number = cLocale != nullptr ? strtod_l(value.c_str(), &end, cLocale) : std::strtod(value.c_str(), &end);
    if (end == value.c_str())
        return std::nullopt;
    if (std::isfinite(number) && std::fabs(number) > FLT_MAX)
        return number > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(number);
}

enum class LineKind { Comment, Pair, Malformed };

struct Pair {
    std::string_view key;
    std::string value;
};

// The longest value a key takes: a line's for most; the step sequencer's rhythm holds more,
// and a file path's characters may take up to three bytes each.
std::size_t LongestValueOf(std::string_view key)
{
    if (EqualsIgnoringCase(key, "CustomRhythm"))
        return CustomRhythmCapacity - 1;
    const SettingKey* setting = FindSettingKey(key.data(), key.size());
    return setting != nullptr && setting->kind == SettingKind::Path ? 3 * (PathCapacity - 1) : LongestValue;
}

// Splits one line (without its line break) into key and value. A malformed line is logged.
LineKind SplitLine(std::string_view line, Pair& pair)
{
    std::size_t at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    if (at == line.size() || line[at] == '#')
        return LineKind::Comment;

    const std::size_t keyStart = at;
    while (at < line.size() && IsKeyCharacter(line[at]))
        ++at;
    pair.key = line.substr(keyStart, at - keyStart);
    if (pair.key.size() > LongestKey) {
        System::Log().Write(System::Error, "Invalid length for key in configuration file");
        return LineKind::Malformed;
    }
    const std::string key(pair.key);

    bool equals = false;
    while (at < line.size() && (line[at] == ' ' || line[at] == '=')) {
        equals = equals || line[at] == '=';
        ++at;
    }
    if (!equals) {
        System::Log().Write(System::Error, "Expected equals sign after key '%s' in configuration file", key.c_str());
        return LineKind::Malformed;
    }

    std::size_t end = 0;
    pair.value = ValueText::Unescape(line.substr(at), end);
    if (pair.value.size() > LongestValueOf(pair.key)) {
        System::Log().Write(System::Error, "Invalid length for key %s in configuration file", key.c_str());
        return LineKind::Malformed;
    }
    return LineKind::Pair;
}

// Takes the next physical line: it ends at LF, CR LF or a lone CR, which are not part of it.
std::string_view NextLine(std::string_view bytes, std::size_t& position)
{
    const std::size_t start = position;
    const std::size_t end = std::min(bytes.find_first_of("\r\n", start), bytes.size());
    position = end;
    if (position < bytes.size() && bytes[position] == '\r')
        ++position;
    if (position < bytes.size() && bytes[position] == '\n' && (position == end || bytes[position - 1] == '\r'))
        ++position;
    return bytes.substr(start, end - start);
}

// A text decoded into a field of the given capacity, cut as it would be in a fixed field.
template <typename Decode>
void SetText(std::u16string& field, std::size_t capacity, const std::string& value, std::string_view key, Decode decode)
{
    if (value.empty())
        return; // an empty value leaves the field as it was
    std::vector<char16_t> buffer(capacity);
    if (!decode(value, buffer.data(), capacity))
        System::Log().Write(System::Warn, "Value of key %s in configuration file is longer than %d characters; it was cut",
                            std::string(key).c_str(), static_cast<int>(capacity - 1));
    field.assign(buffer.data());
}

bool Utf8(std::string_view value, char16_t* field, std::size_t capacity)
{
    return Platform::Text::Utf8ToUtf16(value, field, capacity);
}

class Reader {
public:
    Reader(ConfigurationData& current, char16_t* language, std::size_t languageCapacity, Presets& presets,
           WindowPlacement* window, ProgramSwitches* switches, ControlSettings* control)
        : language_(language), languageCapacity_(languageCapacity), presets_(presets),
          window_(window ? window : &droppedWindow_), switches_(switches ? switches : &droppedSwitches_),
          control_(control ? control : &droppedControl_),
          target_(&current)
    {
    }

    bool Apply(const Pair& pair);
    void Keep(std::string_view line) { target_->KeptLines.emplace_back(line); }
    int Renamed() const { return renamed_; }

private:
    void ApplySetting(const SettingKey& setting, const std::string& value);
    bool ApplyWindowKey(const Pair& pair);
    bool ApplyControlKey(const Pair& pair);
    bool IsPreset(std::string_view key, const std::string& value);
    std::u16string DistinctName(const std::u16string& name);

    char16_t* language_;
    std::size_t languageCapacity_;
    Presets& presets_;
    WindowPlacement droppedWindow_;
    WindowPlacement* window_;
    ProgramSwitches droppedSwitches_;
    ProgramSwitches* switches_;
    ControlSettings droppedControl_;
    ControlSettings* control_;
    ConfigurationData* target_; // the record the following lines fill
    int presetCounter_ = 0;
    int renamed_ = 0;
    // For each repeated name, the number its next repetition tries first.
    std::unordered_map<std::u16string, int> nextNumber_;
};

bool Reader::Apply(const Pair& pair)
{
    if (EqualsIgnoringCase(pair.key, "Language")) {
        if (!pair.value.empty() && !Platform::Text::WidenBytes(pair.value, language_, languageCapacity_))
            System::Log().Write(System::Warn, "Value of key Language in configuration file is longer than %d characters; it was cut",
                                static_cast<int>(languageCapacity_ - 1));
        return true;
    }
    if (EqualsIgnoringCase(pair.key, "Description")) {
        SetText(target_->Description, DescriptionCapacity, pair.value, pair.key, Utf8);
        return true;
    }
    if (const SettingKey* setting = FindSettingKey(pair.key.data(), pair.key.size())) {
        ApplySetting(*setting, pair.value);
        return true;
    }
    if (ApplyWindowKey(pair) || ApplyControlKey(pair))
        return true;
    return IsPreset(pair.key, pair.value);
}

bool Reader::ApplyWindowKey(const Pair& pair)
{
    for (const WindowKey& key : WindowKeys()) {
        if (!EqualsIgnoringCase(pair.key, key.name))
            continue;
        const auto read = ReadInteger(pair.value);
        if (read && *read >= key.minimum && *read <= key.maximum)
            window_->*key.field = static_cast<std::int32_t>(*read);
        else
            System::Log().Write(System::Warn, "Value '%s' of key %s in configuration file is out of range; it was ignored",
                                pair.value.c_str(), key.name);
        return true;
    }
    for (const SwitchKey& key : SwitchKeys()) {
        if (!EqualsIgnoringCase(pair.key, key.name))
            continue;
        const auto read = ReadInteger(pair.value);
        if (read && *read >= key.minimum && *read <= key.maximum)
            switches_->*key.field = static_cast<std::int32_t>(*read);
        else
            System::Log().Write(System::Warn, "Value '%s' of key %s in configuration file is out of range; it was ignored",
                                pair.value.c_str(), key.name);
        return true;
    }
    for (const SwitchTextKey& key : SwitchTextKeys()) {
        if (EqualsIgnoringCase(pair.key, key.name)) {
            switches_->*key.field = pair.value;
            return true;
        }
    }
    return false;
}

bool Reader::ApplyControlKey(const Pair& pair)
{
    if (EqualsIgnoringCase(pair.key, "OscPort")) {
        const auto read = ReadInteger(pair.value);
        if (read && *read >= 0 && *read <= 65535)
            control_->OscPort = static_cast<std::int32_t>(*read);
        else
            System::Log().Write(System::Warn, "Value '%s' of key OscPort in configuration file is out of range; it was ignored",
                                pair.value.c_str());
        return true;
    }
    if (EqualsIgnoringCase(pair.key, "OscAddress")) {
        control_->OscAddress = pair.value;
        return true;
    }
    if (EqualsIgnoringCase(pair.key, "MidiClock")) {
        const auto read = ReadInteger(pair.value);
        if (read && *read >= MidiClockOff && *read <= MidiClockFollow)
            control_->MidiClock = static_cast<std::int32_t>(*read);
        else
            System::Log().Write(System::Warn, "Value '%s' of key MidiClock in configuration file is out of range; it was ignored",
                                pair.value.c_str());
        return true;
    }
    if (EqualsIgnoringCase(pair.key, "MidiMap")) {
        control_->MidiMap = pair.value;
        return true;
    }
    if (EqualsIgnoringCase(pair.key, "JackTransport")) {
        const auto read = ReadInteger(pair.value);
        if (read && *read >= 0 && *read <= 2)
            control_->JackTransport = static_cast<std::int32_t>(*read);
        else
            System::Log().Write(System::Warn, "Value '%s' of key JackTransport in configuration file is out of range; it was ignored",
                                pair.value.c_str());
        return true;
    }
    if (EqualsIgnoringCase(pair.key, "Link")) {
        const auto read = ReadInteger(pair.value);
        if (read && (*read == 0 || *read == 1))
            control_->Link = static_cast<std::int32_t>(*read);
        else
            System::Log().Write(System::Warn, "Value '%s' of key Link in configuration file is out of range; it was ignored",
                                pair.value.c_str());
        return true;
    }
    return false;
}

void Reader::ApplySetting(const SettingKey& setting, const std::string& value)
{
    const SettingField field = setting.Field(*target_);
    switch (setting.kind) {
    case SettingKind::Integer: {
        const auto read = ReadInteger(value);
        if (!read) {
            System::Log().Write(System::Warn, "Value '%s' of key %s in configuration file is not a number; it was ignored",
                                value.c_str(), setting.name);
            return;
        }
        // Compared as unsigned 32-bit values, so a negative number is out of every range.
        const auto number = static_cast<std::uint32_t>(*read);
        if (number >= static_cast<std::uint32_t>(setting.integerMinimum)
            && number <= static_cast<std::uint32_t>(setting.integerMaximum))
            field.integer.Set(static_cast<std::int32_t>(number));
        else if (field.integer.Address() == &target_->Bpm && number >= StoredBpmNearestFrom && number <= StoredBpmNearestTo)
            // Tempos the keys reach, as earlier versions saved them: the nearest one the
            // slider shows rather than the default.
            field.integer.Set(std::clamp(static_cast<std::int32_t>(number), setting.integerMinimum, setting.integerMaximum));
        else if (setting.clamps) {
            const auto clamped = static_cast<std::int32_t>(
                std::clamp<long long>(*read, setting.integerMinimum, setting.integerMaximum));
            field.integer.Set(clamped);
            System::Log().Write(System::Warn, "Value '%s' of key %s in configuration file is out of range; %d is used",
                                value.c_str(), setting.name, clamped);
        }
        return;
    }
    case SettingKind::Real: {
        const auto number = ReadReal(value);
        if (!number) {
            System::Log().Write(System::Warn, "Value '%s' of key %s in configuration file is not a number; it was ignored",
                                value.c_str(), setting.name);
            return;
        }
        if (*number >= setting.realMinimum && *number <= setting.realMaximum) { // NaN fails both
            *field.real = *number;
        } else if (setting.clamps && !std::isnan(*number)) {
            *field.real = std::clamp(*number, setting.realMinimum, setting.realMaximum);
            System::Log().Write(System::Warn, "Value '%s' of key %s in configuration file is out of range; %g is used",
                                value.c_str(), setting.name, static_cast<double>(*field.real));
        }
        return;
    }
    case SettingKind::Utf8Text:
        return SetText(*field.text, field.capacity, value, setting.name, Utf8);
    case SettingKind::ByteText:
        return SetText(*field.text, field.capacity, value, setting.name,
                       [](std::string_view v, char16_t* f, std::size_t c) { return Platform::Text::WidenBytes(v, f, c); });
    case SettingKind::Path:
        return SetText(*field.text, field.capacity, value, setting.name,
                       [](std::string_view v, char16_t* f, std::size_t c) { return Platform::Text::PathToUtf16(v, f, c); });
    }
}

// A preset line is spelt exactly "Preset<n>"; the presets are numbered in sequence, and one
// out of sequence (a block removed by hand) is still a preset.
bool Reader::IsPreset(std::string_view key, const std::string& value)
{
    constexpr std::string_view prefix = "Preset";
    if (!key.starts_with(prefix) || key.size() == prefix.size()
        || key.substr(prefix.size()).find_first_not_of("0123456789") != std::string_view::npos) {
        System::Log().Write(System::Error, "Unknown key '%s' in configuration file; the line is kept as it is",
                            std::string(key).c_str());
        return false;
    }
    if (key != std::string(prefix) + std::to_string(presetCounter_))
        System::Log().Write(System::Warn, "Preset line '%s' in configuration file is out of sequence; it is read as the next preset",
                            std::string(key).c_str());
    ++presetCounter_;
    std::u16string name;
    SetText(name, NameCapacity, value, key, Utf8);
    if (presets_.contains(name))
        name = DistinctName(name);
    auto [place, inserted] = presets_.try_emplace(name);
    place->second.Name = name;
    target_ = &place->second;
    return inserted;
}

// A later preset with the name of an earlier one keeps its settings under the name followed
// by " 2", " 3", ... (the name cut to make room): only a space and digits are added, so a name
// the Presets page accepts stays one it accepts (at most 79 characters), and the user can
// update or rename the preset there. The file gives it back unchanged. The numbers tried for a name are remembered, so that many repetitions of one
// name cost no more than as many different names.
std::u16string Reader::DistinctName(const std::u16string& original)
{
    int& number = nextNumber_.try_emplace(original, 2).first->second;
    std::u16string candidate;
    for (;; ++number) {
        const std::u16string suffix = Platform::Text::Utf8ToUtf16(" " + std::to_string(number));
        candidate = StoredName(original.substr(0, NameCapacity - 1 - suffix.size()) + suffix);
        if (!presets_.contains(candidate))
            break;
    }
    ++number;
    ++renamed_;
    System::Log().Write(System::Warn,
                        "Preset '%s' in configuration file repeats the name of an earlier preset; it was kept as '%s'",
                        Platform::Text::Utf16ToUtf8(original).c_str(), Platform::Text::Utf16ToUtf8(candidate).c_str());
    return candidate;
}

} // namespace

ReadResult ReadConfiguration(std::string_view bytes, ConfigurationData& current, char16_t* language,
                             std::size_t languageCapacity, Presets& presets, WindowPlacement* window,
                             ProgramSwitches* switches, ControlSettings* control)
{
    ReadResult result;
    Reader reader(current, language, languageCapacity, presets, window, switches, control);
    std::size_t position = 0;
    int lineNumber = 0;
    while (position < bytes.size()) {
        const std::string_view whole = NextLine(bytes, position);
        ++lineNumber;
        std::string_view line = whole;
        // A byte-order mark is skipped where a file starts and where files were joined; a
        // zero byte ends the text of a line, as it would end a C string.
        if (line.starts_with(ByteOrderMark))
            line.remove_prefix(ByteOrderMark.size());
        line = line.substr(0, line.find('\0'));
        Pair pair;
        const LineKind kind = SplitLine(line, pair);
        if (kind == LineKind::Comment)
            continue;
        if (kind == LineKind::Pair && reader.Apply(pair)) {
            ++result.applied;
            continue;
        }
        reader.Keep(whole);
        if (result.keptLines++ == 0) {
            result.firstKeptLineNumber = lineNumber;
            result.firstKeptLine = std::string(whole);
        }
    }
    result.loaded = result.applied > 0;
    result.renamedPresets = reader.Renamed();
    return result;
}

std::u16string StoredName(std::u16string_view name)
{
    std::string text = Platform::Text::Utf16ToUtf8(name);
    text.resize(std::min(text.find_first_of("\r\n"), text.size()));
    char16_t stored[NameCapacity];
    Platform::Text::Utf8ToUtf16(text, stored);
    return stored;
}

} // namespace Configuration
