#include "Configuration/ConfigurationReader.h"

#include "Configuration/SettingKeys.h"
#include "Platform/Text.h"
#include "System/Log.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <memory>
#include <new>
#include <string>

namespace Configuration {

namespace {

constexpr std::size_t PieceLength = 899;  // longest piece of a physical line read at once
constexpr std::size_t LongestKey = 63;
constexpr std::size_t LongestValue = 771;
// The tempos the keys and the instance socket reach; a file may hold them from a version
// that saved them unchanged.
constexpr std::uint32_t StoredBpmNearestFrom = 4;
constexpr std::uint32_t StoredBpmNearestTo = 1000;

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
// whatever follows ignored, no number at all giving 0. The "C" locale keeps the decimal
// point a point whatever locale the program runs in.
std::int64_t ReadInteger(const std::string& value)
{
    const long long number = std::strtoll(value.c_str(), nullptr, 10);
    if (number > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (number < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return number;
}

float ReadReal(const std::string& value)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    const double number = cLocale != nullptr ? strtod_l(value.c_str(), nullptr, cLocale)
                                             : std::strtod(value.c_str(), nullptr);
    if (std::isfinite(number) && std::fabs(number) > FLT_MAX)
        return number > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(number);
}

enum class LineKind { Comment, Pair, Malformed };

struct Pair {
    std::string_view key;
    std::string_view value;
};

// Splits one line (without its line break) into key and value. A malformed line is logged.
LineKind SplitLine(std::string_view line, Pair& pair)
{
    std::size_t at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    if (at == line.size() || line[at] == '\n' || line[at] == '#')
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

    const std::size_t valueStart = at;
    while (at < line.size() && line[at] != '\n' && line[at] != '\t' && line[at] != '#')
        ++at;
    pair.value = line.substr(valueStart, at - valueStart);
    if (pair.value.size() > LongestValue) {
        System::Log().Write(System::Error, "Invalid length for key %s in configuration file", key.c_str());
        return LineKind::Malformed;
    }
    return LineKind::Pair;
}

// Takes the next piece of a physical line, as a text-mode stream gives it: CR LF reads as
// LF, at most PieceLength characters, the line break included when it fits. A zero byte
// ends the text of the piece, as it would end a C string.
std::string_view NextPiece(std::string_view bytes, std::size_t& position, std::string& piece)
{
    piece.clear();
    while (position < bytes.size() && piece.size() < PieceLength) {
        const char c = bytes[position];
        if (c == '\r' && position + 1 < bytes.size() && bytes[position + 1] == '\n') {
            piece += '\n';
            position += 2;
            break;
        }
        piece += c;
        ++position;
        if (c == '\n')
            break;
    }
    const std::size_t zero = piece.find('\0');
    return std::string_view(piece).substr(0, zero);
}

class Reader {
public:
    Reader(ConfigurationData& current, char16_t* language, std::size_t languageCapacity, PresetTree& presets)
        : language_(language), languageCapacity_(languageCapacity), presets_(presets), target_(&current)
    {
    }

    bool Apply(const Pair& pair);
    int Renamed() const { return renamed_; }

private:
    bool ApplySetting(const SettingKey& setting, std::string_view value);
    bool IsPreset(std::string_view key, std::string_view value);
    void GiveDistinctName(ConfigurationData& record);

    char16_t* language_;
    std::size_t languageCapacity_;
    PresetTree& presets_;
    ConfigurationData* target_;                  // the record the following lines fill
    int presetCounter_ = 0;
    int renamed_ = 0;
};

bool Reader::Apply(const Pair& pair)
{
    if (EqualsIgnoringCase(pair.key, "Language")) {
        if (!pair.value.empty())
            Platform::Text::WidenBytes(pair.value, language_, languageCapacity_);
        return true;
    }
    if (EqualsIgnoringCase(pair.key, "Description")) {
        if (!pair.value.empty())
            Platform::Text::Utf8ToUtf16(pair.value, target_->Description);
        return true;
    }
    if (const SettingKey* setting = FindSettingKey(pair.key.data(), pair.key.size()))
        return ApplySetting(*setting, pair.value);
    return IsPreset(pair.key, pair.value);
}

bool Reader::ApplySetting(const SettingKey& setting, std::string_view value)
{
    const SettingField field = setting.Field(*target_);
    switch (setting.kind) {
    case SettingKind::Integer: {
        // Compared as unsigned 32-bit values, so a negative number is out of every range.
        const auto number = static_cast<std::uint32_t>(ReadInteger(std::string(value)));
        if (number >= static_cast<std::uint32_t>(setting.integerMinimum)
            && number <= static_cast<std::uint32_t>(setting.integerMaximum))
            field.integer.Set(static_cast<std::int32_t>(number));
        else if (field.integer.Address() == &target_->Bpm && number >= StoredBpmNearestFrom && number <= StoredBpmNearestTo)
            // Tempos the keys reach, as earlier versions saved them: the nearest one the
            // slider shows rather than the default.
            field.integer.Set(std::clamp(static_cast<std::int32_t>(number), setting.integerMinimum, setting.integerMaximum));
        return true;
    }
    case SettingKind::Real: {
        const float number = ReadReal(std::string(value));
        if (number >= setting.realMinimum && number <= setting.realMaximum) // NaN fails both
            *field.real = number;
        return true;
    }
    case SettingKind::Utf8Text:
        if (!value.empty())
            Platform::Text::Utf8ToUtf16(value, field.text, field.capacity);
        return true;
    case SettingKind::ByteText:
        if (!value.empty())
            Platform::Text::WidenBytes(value, field.text, field.capacity);
        return true;
    case SettingKind::Path:
        if (!value.empty())
            Platform::Text::PathToUtf16(value, field.text, field.capacity);
        return true;
    }
    return false;
}

// A preset line must carry the next number in sequence, spelt exactly "Preset<n>".
bool Reader::IsPreset(std::string_view key, std::string_view value)
{
    if (key != "Preset" + std::to_string(presetCounter_)) {
        System::Log().Write(System::Error,
                            "Unknown key '%s' in configuration file; the lines after it were not read",
                            std::string(key).c_str());
        return false;
    }
    std::unique_ptr<ConfigurationData> record(new (std::nothrow) ConfigurationData);
    if (!record) {
        System::Log().Write(System::Error,
                            "Unable to allocate memory for ConfigurationData object in FileConfiguration::IsPreset");
        return false;
    }
    ++presetCounter_;
    Platform::Text::Utf8ToUtf16(value, record->Name);
    if (presets_.Find(record->Name) != nullptr)
        GiveDistinctName(*record);
    target_ = presets_.Insert(record);
    return target_ != nullptr;
}

// A later preset with the name of an earlier one keeps its settings under the name followed
// by " 2", " 3", ... (the name cut to make room): only a space and digits are added, so a name
// the Presets page accepts stays one it accepts (letters, digits and spaces, at most 79
// characters), and the user can update or rename the preset there. The file gives it back
// unchanged.
void Reader::GiveDistinctName(ConfigurationData& record)
{
    const std::u16string original(record.Name);
    for (int number = 2;; ++number) {
        const std::u16string suffix = Platform::Text::Utf8ToUtf16(" " + std::to_string(number));
        char16_t candidate[NameCapacity];
        Platform::Text::Copy(candidate, NameCapacity - suffix.size(), original);
        const std::u16string composed = std::u16string(candidate) + suffix;
        StoredName(composed.c_str(), candidate);
        if (presets_.Find(candidate) == nullptr) {
            Platform::Text::Copy(record.Name, candidate);
            break;
        }
    }
    ++renamed_;
    System::Log().Write(System::Warn,
                        "Preset '%s' in configuration file repeats the name of an earlier preset; it was kept as '%s'",
                        Platform::Text::Utf16ToUtf8(original).c_str(), Platform::Text::Utf16ToUtf8(record.Name).c_str());
}

} // namespace

ReadResult ReadConfiguration(std::string_view bytes, ConfigurationData& current, char16_t* language,
                             std::size_t languageCapacity, PresetTree& presets)
{
    ReadResult result;
    Reader reader(current, language, languageCapacity, presets);
    // The byte-order mark is skipped when it is there; a file written by hand may lack it.
    std::size_t position = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    std::string piece;
    while (position < bytes.size()) {
        Pair pair;
        switch (SplitLine(NextPiece(bytes, position, piece), pair)) {
        case LineKind::Comment:
            continue;
        case LineKind::Malformed:
            result.stoppedEarly = true;
            return result;
        case LineKind::Pair:
            if (!reader.Apply(pair)) {
                result.stoppedEarly = true;
                return result;
            }
            ++result.applied;
            break;
        }
    }
    result.loaded = result.applied > 0;
    result.renamedPresets = reader.Renamed();
    return result;
}

void StoredName(const char16_t* name, char16_t (&stored)[NameCapacity])
{
    std::string text = Platform::Text::Utf16ToUtf8(name != nullptr ? name : u"");
    const std::size_t start = text.find_first_not_of(" =");
    text.erase(0, start == std::string::npos ? text.size() : start);
    const std::size_t end = text.find_first_of("\t#\n");
    if (end != std::string::npos)
        text.resize(end);
    Platform::Text::Utf8ToUtf16(text, stored);
}

} // namespace Configuration
