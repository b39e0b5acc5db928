#pragma once
#include "Configuration/IConfiguration.h"
#include "Configuration/Presets.h"

#include <string>

namespace Configuration {

/// The settings store kept in the configuration file "Tolvane.conf".
///
/// Saving writes the whole file to a temporary file of its own in the same folder and renames
/// it over the file (WriteReplacing), so a crash, a full disk or a second copy saving at the
/// same time leaves the previous file or the new one whole. Lines the load did not understand
/// are written back with their block. Before the first save after a load, the file as loaded
/// is kept in "<file>.bak": always when the load understood every line, and otherwise only
/// when the backup there is not itself such a complete file (the last good file is never
/// overwritten by one that was not read completely). A save whose file would be larger than
/// the load accepts (16 MiB) writes nothing, keeps the old file and logs why.
///
/// A file that exists but cannot be read (no permission, not a regular file, a link, larger
/// than 16 MB) is never replaced: the load logs why at level Error and this run saves nothing
/// (SavingRefused). The same holds when there is no private folder for the file at all.
///
/// GUI thread only. Owns its preset records and frees them when destroyed.
class FileConfiguration final : public IConfiguration {
public:
    /// The file "Tolvane.conf" in the program's data folder (Platform::DataFolder); none
    /// when there is no safe data folder.
    FileConfiguration();
    /// The file at path, for tests and special set-ups; an empty path names no file.
    explicit FileConfiguration(std::string path);
    FileConfiguration(const FileConfiguration&) = delete;
    FileConfiguration& operator=(const FileConfiguration&) = delete;

    /// Reads the file. When there is none yet (a first start), reads the shipped settings
    /// named by SetFirstSettings instead, if any: the user's file is made from them at the
    /// first save, and they are never written back where they came from.
    bool Load() override;
    bool Save() override;
    ConfigurationData& GetData() override { return current_; }
    char16_t* GetLanguage() override { return language_; }
    WindowPlacement& GetWindowPlacement() override { return window_; }
    ProgramSwitches& GetSwitches() override { return switches_; }
    ControlSettings& GetControlSettings() override { return control_; }
    bool PresetExists(std::u16string_view name) override;
    bool AddPreset(const ConfigurationData& data) override;
    bool UpdatePreset(const ConfigurationData& data, std::u16string_view name) override;
    bool LoadPreset(std::u16string_view name) override;
    bool DeletePreset(std::u16string_view name) override;
    void ForEachPreset(const std::function<void(const ConfigurationData&)>& visit) override;
    SaveRefusal SavingRefused() const override { return refusal_; }
    UnreadLines UnreadLine() const override { return unread_; }

    /// The shipped settings a first start begins with (Platform::FirstSettingsFile); empty,
    /// as by default, for the record's own defaults.
    void SetFirstSettings(std::string path) { firstSettings_ = std::move(path); }

    /// The configuration file's path.
    const std::string& Path() const { return path_; }
    /// Where the file as loaded is kept: the path followed by ".bak".
    std::string BackupPath() const { return path_ + ".bak"; }
    /// The presets by name.
    const Configuration::Presets& Presets() const { return presets_; }
    /// The most bytes a configuration file may have to be read (and so to be written).
    static constexpr std::size_t FileSizeLimit = 16 * 1024 * 1024;

private:
    static std::string DefaultPath();
    bool KeepBackup();
    bool LoadFirstSettings();

    ConfigurationData current_;
    char16_t language_[LanguageCapacity]{};
    WindowPlacement window_;
    ProgramSwitches switches_;
    ControlSettings control_;
    Configuration::Presets presets_;
    std::string path_;
    std::string firstSettings_;
    // The file as the load found it, written to the backup before the first save, then
    // dropped.
    std::string loadedFile_;
    bool backupPending_ = false;
    UnreadLines unread_;
    SaveRefusal refusal_ = SaveRefusal::None;
};

} // namespace Configuration
