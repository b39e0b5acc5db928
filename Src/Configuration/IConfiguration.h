#pragma once
#include "Configuration/ConfigurationData.h"

#include <functional>
#include <string>
#include <string_view>

namespace Configuration {

/// Capacity of the language name in UTF-16 code units, terminator included.
constexpr int LanguageCapacity = 32;

/// The program's settings store: the current settings, the chosen language and the named
/// presets. Every operation runs on the GUI thread; the store has no lock.
///
/// Preset names are compared code unit by code unit (ordinal, case-sensitive) and are unique.
/// A name is taken as the configuration file will give it back: it ends at a line break and
/// holds at most 79 code units, so a preset never changes its name through a save and load.
class IConfiguration {
public:
    /// Why this run will not save the settings (see SavingRefused).
    enum class SaveRefusal {
        None,
        NoPrivateFolder, ///< no folder that only this user can write was found
        UnreadableFile,  ///< the file exists but could not be read; it is kept as it is
    };

    virtual ~IConfiguration() = default;

    /// Reads the configuration file. False when it cannot be opened or holds no setting.
    /// Lines it does not understand are kept and written back (see UnreadLine).
    virtual bool Load() = 0;

    /// Writes the whole configuration file (the current settings' Name is emptied first).
    /// The file is replaced in one step, so a failure leaves the previous file as it was.
    /// False, with an Error line in the log, when it could not be written.
    virtual bool Save() = 0;

    /// The current settings; callers read and change the fields in place. Never a preset.
    virtual ConfigurationData& GetData() = 0;

    /// The language name buffer (LanguageCapacity code units, zero-terminated): the code of
    /// the chosen language file, empty for the built-in English texts. Writable.
    virtual char16_t* GetLanguage() = 0;

    /// Where the main window was and how large; nothing kept yet on a first start. Writable.
    virtual WindowPlacement& GetWindowPlacement() = 0;
    /// OSC and MIDI control, kept beside the window's place, outside every record.
    virtual ControlSettings& GetControlSettings() = 0;

    /// The program-wide switches (the practice diary on or off). Writable.
    virtual ProgramSwitches& GetSwitches() = 0;

    /// True when a preset of that name exists.
    virtual bool PresetExists(std::u16string_view name) = 0;

    /// Stores a copy of data as a new preset under data.Name. Nothing is stored (false) when
    /// a preset of that name exists already or memory runs out.
    virtual bool AddPreset(const ConfigurationData& data) = 0;

    /// Replaces the settings, name and description of the preset called name with data's.
    /// When data.Name differs, the preset is renamed and keeps its place in name order. When
    /// another preset already has data.Name, that preset is left alone: the settings and the
    /// description are still stored, under the old name, and the result is false. False
    /// also when no preset is called name (nothing changes then).
    virtual bool UpdatePreset(const ConfigurationData& data, std::u16string_view name) = 0;

    /// Copies the named preset (name and description included) into the current settings.
    /// False when there is no such preset.
    virtual bool LoadPreset(std::u16string_view name) = 0;

    /// Removes the named preset. False when there was none.
    virtual bool DeletePreset(std::u16string_view name) = 0;

    /// Calls visit once for every preset, in ascending name order. visit must not add,
    /// update or delete presets.
    virtual void ForEachPreset(const std::function<void(const ConfigurationData&)>& visit) = 0;

    /// Set by Load when saving would destroy what could not be read or there is nowhere safe
    /// to save; Save then writes nothing and returns false. The user is to be told once.
    virtual SaveRefusal SavingRefused() const { return SaveRefusal::None; }

    /// The first line the last Load did not understand, with its number in the file (from
    /// 1), and how many such lines there were; 0 when it understood every line. Those lines
    /// stay in the file. The user is to be told once.
    struct UnreadLines {
        int count = 0;
        int firstNumber = 0;
        std::string first;
    };
    virtual UnreadLines UnreadLine() const { return {}; }
};

} // namespace Configuration
