// Reading arbitrary bytes as a configuration file must never crash, must keep every text
// within its field's capacity, and what it read must write out and read back to the same
// file.
#include "DiscardingLog.h"

#include "Configuration/ConfigurationReader.h"
#include "Configuration/ConfigurationWriter.h"
#include "Configuration/IConfiguration.h"
#include "Configuration/SettingKeys.h"
#include "Platform/Text.h"
#include "System/Log.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using Configuration::ConfigurationData;

template <std::size_t N>
void RequireTerminated(const char16_t (&field)[N])
{
    if (Platform::Text::Length(field, N) >= N)
        std::abort();
}

void RequireWithin(const std::u16string& text, int capacity)
{
    if (text.size() >= static_cast<std::size_t>(capacity))
        std::abort();
}

void RequireWithin(const ConfigurationData& data)
{
    RequireWithin(data.Name, Configuration::NameCapacity);
    RequireWithin(data.Description, Configuration::DescriptionCapacity);
    RequireWithin(data.CustomPattern, Configuration::CustomPatternCapacity);
    RequireWithin(data.CustomRhythm, Configuration::CustomRhythmCapacity);
    for (const auto& file : data.File)
        RequireWithin(file, Configuration::PathCapacity);
}

struct Parts {
    ConfigurationData current;
    char16_t language[Configuration::LanguageCapacity]{};
    Configuration::Presets presets;

    void Read(std::string_view bytes)
    {
        Configuration::ReadConfiguration(bytes, current, language, Configuration::LanguageCapacity, presets);
    }
    std::string Write() const
    {
        return Configuration::WriteConfiguration(current, language, Configuration::LanguageCapacity, presets);
    }
};

// Random bytes seldom spell a key. Inputs whose first byte is odd are taken as lines whose
// first byte picks a key (a setting, Language, Description or the next preset line, now and
// then out of sequence) and whose other bytes are the value.
std::string Structured(std::string_view input)
{
    const auto keys = Configuration::SettingKeys();
    std::string text = "\xEF\xBB\xBF# Metronome Configuration File\r\n";
    int preset = 0;
    std::size_t start = 0;
    while (start < input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos)
            end = input.size();
        const auto choice = static_cast<unsigned char>(input[start]);
        std::string value(input.substr(start + 1, end - start - (end > start ? 1 : 0)));
        // Some values are stretched to lengths around the longest value a line may hold.
        if (choice % 7 == 0 && !value.empty()) {
            const std::size_t length = 760 + static_cast<unsigned char>(value[0]) % 150;
            while (value.size() < length)
                value += value;
            value.resize(length);
        }
        if (choice < keys.size())
            text += keys[choice].name;
        else if (choice < keys.size() + 40)
            text += choice % 2 ? "Language" : "Description";
        else
            text += "Preset" + std::to_string(choice == 255 ? preset + 1 : preset++);
        text += choice % 3 ? " = " : "=";
        text += value;
        text += choice % 5 ? "\r\n" : "\n";
        start = end + 1;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzSupport::DiscardingLog log;
    System::SetLog(&log);

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Parts first;
    if (size > 0 && data[0] % 2 == 1)
        first.Read(Structured(input.substr(1)));
    else
        first.Read(input);
    RequireWithin(first.current);
    RequireTerminated(first.language);
    for (const auto& [name, preset] : first.presets)
        RequireWithin(preset);

    const std::string written = first.Write();
    Parts second;
    second.Read(written);
    if (second.Write() != written)
        std::abort();
    return 0;
}
