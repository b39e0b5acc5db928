#include "Configuration/ConfigurationWriter.h"

#include "Configuration/SettingKeys.h"
#include "Configuration/ValueText.h"
#include "Platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

namespace Configuration {

namespace {

constexpr std::size_t ValueCapacity = 772; // longest value a line may hold, plus terminator

// Text after a line break would be read as a line of its own.
std::string_view UpToLineBreak(std::string_view text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

// The text as its field holds it: at most capacity - 1 code units, no half surrogate pair.
std::u16string_view Fitted(const std::u16string& text, std::size_t capacity, std::vector<char16_t>& buffer)
{
    if (text.size() < capacity)
        return text;
    buffer.resize(capacity);
    Platform::Text::Copy(buffer.data(), capacity, text);
    return buffer.data();
}

// The lines of one block, without the "Key = " framing, one per setting in SettingKeys order.
std::vector<std::string> BlockValues(const ConfigurationData& data)
{
    std::vector<std::string> values;
    values.reserve(SettingKeys().size());
    std::vector<char16_t> buffer;
    char text[ValueCapacity];
    for (const SettingKey& setting : SettingKeys()) {
        const SettingField field = setting.Field(data);
        switch (setting.kind) {
        // A value outside what the file accepts would be lost at the next load (and by
        // older copies of the program): it is written as the nearest accepted value.
        case SettingKind::Integer: {
            char digits[16];
            const std::int32_t value
                = std::clamp(field.integer.Get(), setting.integerMinimum, setting.integerMaximum);
            values.emplace_back(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
            break;
        }
        case SettingKind::Real: {
            // Six decimals, as printf's %f gives them, whatever the locale.
            const float value = std::isnan(*field.real) ? setting.realMinimum
                                                        : std::clamp(*field.real, setting.realMinimum, setting.realMaximum);
            char digits[64]; // the largest float takes 47 characters
            const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                                              std::chars_format::fixed, 6);
            values.emplace_back(result.ec == std::errc() ? std::string(digits, result.ptr) : "0.000000");
            break;
        }
        case SettingKind::Path: {
            // Up to three bytes for each code unit: a path of non-ASCII characters is never cut.
            std::vector<char> bytes(3 * field.capacity + 1);
            Platform::Text::Utf16ToPath(Fitted(*field.text, field.capacity, buffer), bytes.data(), bytes.size());
            values.emplace_back(bytes.data());
            break;
        }
        case SettingKind::Utf8Text:
            Platform::Text::Utf16ToUtf8(Fitted(*field.text, field.capacity, buffer), text, sizeof text);
            values.emplace_back(text);
            break;
        case SettingKind::ByteText: {
            // One code unit per byte; a text holding a character above 255 cannot be written
            // so and is written empty. The rhythm's field holds more than other values.
            const std::u16string fitted(Fitted(*field.text, field.capacity, buffer));
            std::vector<char> bytes(field.capacity);
            Platform::Text::NarrowCodeUnits(fitted.c_str(), bytes.data(), bytes.size());
            values.emplace_back(bytes.data());
            break;
        }
        }
    }
    return values;
}

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}

    void Line(std::string_view key, std::string_view value)
    {
        out_ += key;
        out_ += " = ";
        out_ += ValueText::Escape(UpToLineBreak(value));
        out_ += "\r\n";
    }

    void Utf8(std::string_view key, const std::u16string& text, std::size_t capacity)
    {
        char encoded[ValueCapacity];
        std::vector<char16_t> buffer;
        Platform::Text::Utf16ToUtf8(Fitted(text, capacity, buffer), encoded, sizeof encoded);
        Line(key, encoded);
    }

    // Every setting, or (with defaults) only those whose line differs from the default's.
    void Block(const ConfigurationData& data, const std::vector<std::string>* defaults = nullptr)
    {
        const std::vector<std::string> values = BlockValues(data);
        const auto keys = SettingKeys();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (defaults == nullptr || values[i] != (*defaults)[i])
                Line(keys[i].name, values[i]);
        }
        for (const std::string& kept : data.KeptLines) {
            out_ += kept;
            out_ += "\r\n";
        }
    }

private:
    std::string& out_;
};

} // namespace

std::string WriteConfiguration(const ConfigurationData& current, const char16_t* language,
                               std::size_t languageCapacity, const Presets& presets,
                               const WindowPlacement* window, const ProgramSwitches* switches,
                               const ControlSettings* control)
{
    std::string out;
    out.reserve(4096 + presets.size() * 256);
    Writer writer(out);
    out += "\xEF\xBB\xBF# Metronome Configuration File\r\n";
    {
        char narrow[ValueCapacity];
        Platform::Text::NarrowCodeUnits(
            std::u16string(language, Platform::Text::Length(language, languageCapacity)).c_str(), narrow,
            std::min(languageCapacity, sizeof narrow));
        writer.Line("Language", narrow);
    }
    if (window && window->HasSize()) {
        for (const WindowKey& key : WindowKeys()) {
            const std::int32_t value = window->*key.field;
            if (value >= key.minimum && value <= key.maximum)
                writer.Line(key.name, std::to_string(value));
        }
    }
    if (switches) {
        const ProgramSwitches defaults;
        for (const SwitchKey& key : SwitchKeys()) {
            if (switches->*key.field != defaults.*key.field)
                writer.Line(key.name, std::to_string(switches->*key.field));
        }
        // A text that a line cannot hold whole is left out rather than kept cut.
        for (const SwitchTextKey& key : SwitchTextKeys()) {
            const std::string& text = switches->*key.field;
            if (!text.empty() && text.size() < ValueCapacity && text.find_first_of("\r\n") == std::string::npos)
                writer.Line(key.name, text);
        }
    }
    if (control) {
        const ControlSettings defaults;
        if (control->OscPort != defaults.OscPort)
            writer.Line("OscPort", std::to_string(control->OscPort));
        if (control->OscAddress != defaults.OscAddress)
            writer.Line("OscAddress", control->OscAddress);
        if (control->MidiMap != defaults.MidiMap)
            writer.Line("MidiMap", control->MidiMap);
        if (control->MidiClock != defaults.MidiClock)
            writer.Line("MidiClock", std::to_string(control->MidiClock));
        if (control->JackTransport != defaults.JackTransport)
            writer.Line("JackTransport", std::to_string(control->JackTransport));
        if (control->Link != defaults.Link)
            writer.Line("Link", std::to_string(control->Link));
    }
    writer.Block(current);

    const std::vector<std::string> defaults = BlockValues(ConfigurationData());
    std::size_t number = 0;
    for (const auto& [name, preset] : presets) {
        // Name and description go whole: even three bytes per code unit they stay within
        // the longest value a line may hold, so no two names can become one when read.
        writer.Utf8("Preset" + std::to_string(number++), name, NameCapacity);
        if (!preset.Description.empty())
            writer.Utf8("Description", preset.Description, DescriptionCapacity);
        writer.Block(preset, &defaults);
    }
    return out;
}

} // namespace Configuration
