#pragma once
#include "Configuration/IConfiguration.h"
#include "Configuration/PresetTree.h"

#include <string>

namespace Configuration {

/// The settings store kept in the configuration file "Tolvane.conf".
///
/// Saving writes the whole file to "<file>.tmp" in the same folder and renames it over the
/// file, so a crash or a full disk leaves the previous file whole. When loading stopped at a
/// line it could not use, the settings and presets after that line were never read and the
/// next save would drop them: that save first keeps the file as it was loaded in
/// "<file>.bak" and logs that it did so (once per load that stopped early).
///
/// GUI thread only. Owns its preset records and frees them when destroyed.
class FileConfiguration final : public IConfiguration {
public:
    /// The file "Tolvane.conf" in the program's data folder (the executable's folder when it
    /// is writable, else $XDG_CONFIG_HOME/tolvane/).
    FileConfiguration();
    /// The file at path (UTF-8), for tests and special set-ups.
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

    /// The configuration file's path.
    const std::string& Path() const { return path_; }
    /// Where the file is kept when loading stopped early: the path followed by ".bak".
    std::string BackupPath() const { return path_ + ".bak"; }
    /// The preset tree, for looking at its shape.
    const PresetTree& Presets() const { return presets_; }

private:
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
};

} // namespace Configuration
