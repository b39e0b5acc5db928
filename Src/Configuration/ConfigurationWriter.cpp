#include "Configuration/ConfigurationWriter.h"

#include "Configuration/SettingKeys.h"
#include "Platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace Configuration {

namespace {

constexpr std::size_t ValueCapacity = 772; // longest value a line may hold, plus terminator

// Text after a line break would be read as a line of its own and stop the reading there.
std::string_view UpToLineBreak(std::string_view text)
{
    return text.substr(0, text.find('\n'));
}

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}

    void Line(std::string_view key, std::string_view value)
    {
        out_ += key;
        out_ += " = ";
        out_ += UpToLineBreak(value);
        out_ += "\r\n";
    }

    void Integer(std::string_view key, std::int32_t value)
    {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        Line(key, std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }

    // Six decimals, as printf's %f gives them, whatever the locale.
    void Real(std::string_view key, float value)
    {
        char digits[64]; // the largest float takes 47 characters
        const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                                          std::chars_format::fixed, 6);
        if (result.ec != std::errc())
            return Line(key, "0.000000");
        Line(key, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    }

    void Path(std::string_view key, const char16_t* text, std::size_t capacity)
    {
        char encoded[ValueCapacity];
        Platform::Text::Utf16ToPath(std::u16string_view(text, Platform::Text::Length(text, capacity)), encoded,
                                    sizeof encoded);
        Line(key, encoded);
    }

    void Utf8(std::string_view key, const char16_t* text, std::size_t capacity)
    {
        char encoded[ValueCapacity];
        Platform::Text::Utf16ToUtf8(std::u16string_view(text, Platform::Text::Length(text, capacity)), encoded,
                                    sizeof encoded);
        Line(key, encoded);
    }

    // One code unit per byte; a text holding a character above 255 cannot be written so
    // and is written empty.
    void Bytes(std::string_view key, const char16_t* text, std::size_t capacity)
    {
        char narrow[ValueCapacity];
        if (capacity > sizeof narrow)
            capacity = sizeof narrow;
        Platform::Text::NarrowCodeUnits(text, narrow, capacity);
        Line(key, narrow);
    }

    void Block(const ConfigurationData& data)
    {
        for (const SettingKey& setting : SettingKeys()) {
            const SettingField field = setting.Field(data);
            switch (setting.kind) {
            // A value outside what the file accepts would be lost at the next load (and by
            // older copies of the program): it is written as the nearest accepted value.
            case SettingKind::Integer:
                Integer(setting.name, std::clamp(field.integer.Get(), setting.integerMinimum, setting.integerMaximum));
                break;
            case SettingKind::Real: {
                const float value = *field.real;
                Real(setting.name, std::isnan(value) ? setting.realMinimum
                                                     : std::clamp(value, setting.realMinimum, setting.realMaximum));
                break;
            }
            case SettingKind::Path:
                Path(setting.name, field.text, field.capacity);
                break;
            case SettingKind::Utf8Text:
                Utf8(setting.name, field.text, field.capacity);
                break;
            case SettingKind::ByteText:
                Bytes(setting.name, field.text, field.capacity);
                break;
            }
        }
    }

private:
    std::string& out_;
};

} // namespace

std::string WriteConfiguration(const ConfigurationData& current, const char16_t* language,
                               std::size_t languageCapacity, const PresetTree& presets)
{
    std::string out;
    out.reserve(4096 + static_cast<std::size_t>(presets.Count()) * 4096);
    Writer writer(out);
    out += "\xEF\xBB\xBF# Metronome Configuration File\r\n";
    writer.Bytes("Language", language, languageCapacity);
    writer.Block(current);

    int number = 0;
    presets.ForEach([&](const ConfigurationData& preset) {
        // Name and description go whole: even three bytes per code unit they stay within
        // the longest value a line may hold, so no two names can become one when read.
        writer.Utf8("Preset" + std::to_string(number++), preset.Name, NameCapacity);
        writer.Utf8("Description", preset.Description, DescriptionCapacity);
        writer.Block(preset);
    });
    return out;
}

} // namespace Configuration
