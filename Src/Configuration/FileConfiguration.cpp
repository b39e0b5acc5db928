#include "Configuration/FileConfiguration.h"

#include "Configuration/ConfigurationReader.h"
#include "Configuration/ConfigurationWriter.h"
#include "Configuration/ReplacingWrite.h"
#include "Platform/Files.h"
#include "Platform/RegularFile.h"
#include "Platform/Text.h"
#include "System/ErrorReport.h"
#include "System/Log.h"

#include <memory>
#include <new>

namespace Configuration {

namespace {

// Far more than any number of presets needs (a preset takes about 1.5 KB), far less than
// would hurt to hold in memory.
constexpr std::size_t FileSizeLimit = 16 * 1024 * 1024;

} // namespace

FileConfiguration::FileConfiguration()
    : FileConfiguration(DefaultPath())
{
}

std::string FileConfiguration::DefaultPath()
{
    const std::string folder = Platform::DataFolder();
    return folder.empty() ? std::string() : folder + "Tolvane.conf";
}

FileConfiguration::FileConfiguration(std::string path)
    : path_(std::move(path))
{
}

bool FileConfiguration::Load()
{
    if (path_.empty()) {
        refusal_ = SaveRefusal::NoPrivateFolder;
        System::Log().Write(System::Error,
                            "No folder that only this user can write was found for the configuration file; "
                            "settings will not be saved");
        return false;
    }
    std::string bytes;
    const Platform::ReadOutcome outcome = Platform::ReadRegularFile(path_, FileSizeLimit, bytes, Platform::Links::Refuse);
    if (!outcome.Ok()) {
        if (outcome.Missing())
            return false; // a first start: the file is made at the first save
        // Whatever is in it would be lost by a save: the file stays as it is.
        refusal_ = SaveRefusal::UnreadableFile;
        System::Log().Write(System::Error,
                            "Configuration file %s could not be read (%s); it is left as it is and settings will "
                            "not be saved",
                            path_.c_str(), Platform::DescribeReadProblem(outcome, FileSizeLimit).c_str());
        return false;
    }
    const ReadResult result = ReadConfiguration(bytes, current_, language_, LanguageCapacity, presets_);
    if (result.stoppedEarly) {
        unreadFile_ = std::move(bytes);
        backupPending_ = true;
    }
    return result.loaded;
}

bool FileConfiguration::KeepBackup()
{
    const std::string backup = BackupPath();
    if (!WriteReplacing(backup, unreadFile_, u"Configuration::FileConfiguration::KeepBackup"))
        return false;
    System::Log().Write(System::Warn,
                        "Configuration file %s could not be read completely; it was kept as %s before being saved",
                        path_.c_str(), backup.c_str());
    backupPending_ = false;
    unreadFile_.clear();
    unreadFile_.shrink_to_fit();
    return true;
}

bool FileConfiguration::Save()
{
    current_.Name[0] = 0;
    if (refusal_ != SaveRefusal::None)
        return false; // said at the load, in the log and to the user
    RemoveStaleTemporaries(path_);
    RemoveStaleTemporaries(BackupPath());
    // Without its backup the lines a load could not read would be gone for good: rather
    // keep the old file untouched.
    if (backupPending_ && !KeepBackup())
        return false;
    const std::string bytes = WriteConfiguration(current_, language_, LanguageCapacity, presets_);
    return WriteReplacing(path_, bytes, u"Configuration::FileConfiguration::Save");
}

ConfigurationData* FileConfiguration::NewRecord(const ConfigurationData& data, const char* operation)
{
    auto* record = new (std::nothrow) ConfigurationData(data);
    if (record == nullptr)
        System::Log().Write(System::Error,
                            "Unable to allocate memory for ConfigurationData object in FileConfiguration::%s",
                            operation);
    return record;
}

bool FileConfiguration::PresetExists(const char16_t* name)
{
    char16_t key[NameCapacity];
    StoredName(name, key);
    return presets_.Find(key) != nullptr;
}

bool FileConfiguration::AddPreset(const ConfigurationData& data)
{
    char16_t key[NameCapacity];
    StoredName(data.Name, key);
    if (presets_.Find(key) != nullptr)
        return false;
    std::unique_ptr<ConfigurationData> record(NewRecord(data, "AddPreset"));
    if (!record)
        return false;
    Platform::Text::Copy(record->Name, key);
    return presets_.Insert(record) != nullptr;
}

bool FileConfiguration::UpdatePreset(const ConfigurationData& data, const char16_t* name)
{
    char16_t oldName[NameCapacity];
    char16_t newName[NameCapacity];
    StoredName(name, oldName);
    StoredName(data.Name, newName);
    ConfigurationData* preset = presets_.Find(oldName);
    if (preset == nullptr)
        return false;

    const bool sameName = Platform::Text::CompareOrdinal(oldName, newName) == 0;
    if (sameName || presets_.Find(newName) != nullptr) {
        // Updated in place. A new name that another preset holds would merge two presets
        // into one; that other preset stays as it is and this one keeps its name.
        *preset = data;
        Platform::Text::Copy(preset->Name, oldName);
        return sameName;
    }

    // A new name moves the preset to its place in name order.
    std::unique_ptr<ConfigurationData> renamed(NewRecord(data, "UpdatePreset"));
    if (!renamed)
        return false;
    Platform::Text::Copy(renamed->Name, newName);
    presets_.Remove(oldName);
    presets_.Insert(renamed);
    return true;
}

bool FileConfiguration::LoadPreset(const char16_t* name)
{
    char16_t key[NameCapacity];
    StoredName(name, key);
    const ConfigurationData* preset = presets_.Find(key);
    if (preset == nullptr)
        return false;
    current_ = *preset;
    return true;
}

bool FileConfiguration::DeletePreset(const char16_t* name)
{
    char16_t key[NameCapacity];
    StoredName(name, key);
    return presets_.Remove(key);
}

void FileConfiguration::ForEachPreset(const std::function<void(const ConfigurationData&)>& visit)
{
    presets_.ForEach(visit);
}

} // namespace Configuration
