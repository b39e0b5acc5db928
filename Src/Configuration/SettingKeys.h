#pragma once
#include "Configuration/ConfigurationData.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>

namespace Configuration {

/// How a setting is written to and read from the configuration file.
enum class SettingKind {
    Integer,   ///< decimal integer, accepted within [IntegerMinimum, IntegerMaximum]
    Real,      ///< fixed point with six decimals, accepted within [RealMinimum, RealMaximum]
    Utf8Text,  ///< UTF-8 text
    ByteText,  ///< one code unit per byte (texts meant to hold ASCII only)
    Path,      ///< a file path: its bytes kept exactly, UTF-8 or not (Platform::Text::PathToUtf16)
};

/// An integer setting in a record: a plain 32-bit integer or one of the record's enums, which
/// the file holds as its number. Values outside the enum's names pass through unchanged.
class IntegerField {
public:
    IntegerField() = default;
    template <typename T>
        requires std::is_same_v<T, std::int32_t>
                 || (std::is_enum_v<T> && std::is_same_v<std::underlying_type_t<T>, std::int32_t>)
    explicit IntegerField(T* field) : address_(field)
    {
    }

    const void* Address() const { return address_; }
    std::int32_t Get() const
    {
        std::int32_t value = 0;
        std::memcpy(&value, address_, sizeof value);
        return value;
    }
    void Set(std::int32_t value) const { std::memcpy(address_, &value, sizeof value); }

private:
    void* address_ = nullptr;
};

/// Where a setting lives in a record.
struct SettingField {
    IntegerField integer;
    float* real = nullptr;
    std::u16string* text = nullptr;
    std::size_t capacity = 0; ///< of text in the file, in code units with room for a terminator
};

/// One setting line of a record block: its key, kind, accepted range and field.
struct SettingKey {
    char name[20];
    SettingKind kind;
    std::int32_t integerMinimum;
    std::int32_t integerMaximum;
    float realMinimum;
    float realMaximum;
    SettingField (*locate)(ConfigurationData& data, int voiceIndex);
    int voiceIndex; ///< 0..11 for the per-voice settings, else 0
    bool clamps;    ///< a number out of range is clamped into it (with a warning), not ignored

    SettingField Field(ConfigurationData& data) const { return locate(data, voiceIndex); }
    /// For reading only: the same field of a record that must not change.
    SettingField Field(const ConfigurationData& data) const
    {
        return locate(const_cast<ConfigurationData&>(data), voiceIndex);
    }
};

/// The settings of a record block, in the order they are written. Description and the
/// preset line, which only presets have, are not among them.
std::span<const SettingKey> SettingKeys();

/// The setting with this key, compared without regard to case; nullptr when there is none.
const SettingKey* FindSettingKey(const char* key, std::size_t length);

/// A line of the main window's placement (WindowPlacement): its key, accepted range and field.
struct WindowKey {
    const char* name;
    std::int32_t WindowPlacement::*field;
    std::int32_t minimum;
    std::int32_t maximum;
};

/// The main window's lines, in the order they are written.
std::span<const WindowKey> WindowKeys();

/// A program-wide switch (ProgramSwitches): its key, accepted range and field.
struct SwitchKey {
    const char* name;
    std::int32_t ProgramSwitches::*field;
    std::int32_t minimum;
    std::int32_t maximum;
};

/// The program-wide switches, in the order they are written.
std::span<const SwitchKey> SwitchKeys();

/// A program-wide text (ProgramSwitches), kept byte for byte; written only when not empty.
struct SwitchTextKey {
    const char* name;
    std::string ProgramSwitches::*field;
};
std::span<const SwitchTextKey> SwitchTextKeys();

} // namespace Configuration
