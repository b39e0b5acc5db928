#pragma once
#include "Configuration/IConfiguration.h"
#include "Configuration/PresetTree.h"

#include <string>

namespace Configuration {

/// The settings store kept in the configuration file "Tolvane.conf".
///
/// Saving writes the whole file to a temporary file of its own in the same folder and renames
/// it over the file (WriteReplacing), so a crash, a full disk or a second copy saving at the
/// same time leaves the previous file or the new one whole. When loading stopped at a line it
/// could not use, the settings and presets after that line were never read and the next save
/// would drop them: that save first keeps the file as it was loaded in "<file>.bak" and logs
/// that it did so (once per load that stopped early).
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

    bool Load() override;
    bool Save() override;
    ConfigurationData& GetData() override { return current_; }
    char16_t* GetLanguage() override { return language_; }
    bool PresetExists(const char16_t* name) override;
    bool AddPreset(const ConfigurationData& data) override;
    bool UpdatePreset(const ConfigurationData& data, const char16_t* name) override;
    bool LoadPreset(const char16_t* name) override;
    bool DeletePreset(const char16_t* name) override;
    void ForEachPreset(const std::function<void(const ConfigurationData&)>& visit) override;
    SaveRefusal SavingRefused() const override { return refusal_; }

    /// The configuration file's path.
    const std::string& Path() const { return path_; }
    /// Where the file is kept when loading stopped early: the path followed by ".bak".
    std::string BackupPath() const { return path_ + ".bak"; }
    /// The preset tree, for looking at its shape.
    const PresetTree& Presets() const { return presets_; }

private:
    static std::string DefaultPath();
    static ConfigurationData* NewRecord(const ConfigurationData& data, const char* operation);
    bool KeepBackup();

    ConfigurationData current_;
    char16_t language_[LanguageCapacity]{};
    PresetTree presets_;
    std::string path_;
    // The file as a load found it when that load stopped early; written to the backup
    // before the next save, then dropped.
    std::string unreadFile_;
    bool backupPending_ = false;
    SaveRefusal refusal_ = SaveRefusal::None;
};

} // namespace Configuration
