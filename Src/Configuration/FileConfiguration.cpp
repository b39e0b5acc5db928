#include "Configuration/FileConfiguration.h"

#include "Configuration/ConfigurationReader.h"
#include "Configuration/ConfigurationWriter.h"
#include "Configuration/ReplacingWrite.h"
#include "Platform/Files.h"
#include "Platform/RegularFile.h"
#include "Platform/Text.h"
#include "System/ErrorReport.h"
#include "System/Log.h"

#include <new>

namespace Configuration {

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
    // Out of memory, what was read is incomplete, and a save would replace the file with it.
    const auto refuseForMemory = [this] {
        presets_.clear();
        current_ = ConfigurationData();
        window_ = WindowPlacement();
        control_ = ControlSettings();
        refusal_ = SaveRefusal::UnreadableFile;
        System::Log().Write(System::Error, "Not enough memory to read configuration file %s; it is left as it is",
                            path_.c_str());
    };
    std::string bytes;
    Platform::ReadOutcome outcome;
    try {
        outcome = Platform::ReadRegularFile(path_, FileSizeLimit, bytes, Platform::Links::Refuse);
    } catch (const std::bad_alloc&) {
        refuseForMemory();
        throw;
    }
    if (!outcome.Ok()) {
        if (outcome.Missing())
            return LoadFirstSettings(); // a first start: the file is made at the first save
        // Whatever is in it would be lost by a save: the file stays as it is.
        refusal_ = SaveRefusal::UnreadableFile;
        System::Log().Write(System::Error,
                            "Configuration file %s could not be read (%s); it is left as it is and settings will "
                            "not be saved",
                            path_.c_str(), Platform::DescribeReadProblem(outcome, FileSizeLimit).c_str());
        return false;
    }
    ReadResult result;
    try {
        result = ReadConfiguration(bytes, current_, language_, LanguageCapacity, presets_, &window_, &switches_, &control_);
    } catch (const std::bad_alloc&) {
        refuseForMemory();
        throw;
    }
    unread_ = {result.keptLines, result.firstKeptLineNumber, result.firstKeptLine};
    if (result.keptLines > 0)
        System::Log().Write(System::Warn,
                            "Configuration file %s holds %d line(s) this version does not understand, the first "
                            "being line %d; they are kept and written back as they are",
                            path_.c_str(), result.keptLines, result.firstKeptLineNumber);
    loadedFile_ = std::move(bytes);
    backupPending_ = true;
    return result.loaded;
}

// The shipped settings are read as the user's file would be, but nothing of them is kept as
// a backup: there is no file of the user's to keep. Without them the record's defaults stay.
bool FileConfiguration::LoadFirstSettings()
{
    if (firstSettings_.empty())
        return false;
    std::string bytes;
    const Platform::ReadOutcome outcome = Platform::ReadRegularFile(firstSettings_, FileSizeLimit, bytes);
    if (!outcome.Ok()) {
        System::Log().Write(System::Warn, "The first settings %s could not be read (%s); the defaults are used",
                            firstSettings_.c_str(), Platform::DescribeReadProblem(outcome, FileSizeLimit).c_str());
        return false;
    }
    const ReadResult result = ReadConfiguration(bytes, current_, language_, LanguageCapacity, presets_);
    System::Log().Write(System::Information, "No configuration file yet: starting from the first settings %s",
                        firstSettings_.c_str());
    return result.loaded;
}

bool FileConfiguration::KeepBackup()
{
    const std::string backup = BackupPath();
    const bool complete = unread_.count == 0;
    if (!complete) {
        // The newest backup of a file that read completely stays: the lines this load did
        // not understand are in the saved file anyway.
        std::string earlier;
        if (Platform::ReadRegularFile(backup, FileSizeLimit, earlier, Platform::Links::Refuse).Ok()) {
            ConfigurationData current;
            char16_t language[LanguageCapacity]{};
            Configuration::Presets presets;
            if (ReadConfiguration(earlier, current, language, LanguageCapacity, presets).keptLines == 0) {
                System::Log().Write(System::Warn,
                                    "Configuration file %s could not be read completely; the backup %s of an "
                                    "earlier file that could is kept instead",
                                    path_.c_str(), backup.c_str());
                backupPending_ = false;
                loadedFile_ = std::string();
                return true;
            }
        }
    }
    if (!WriteReplacing(backup, loadedFile_, u"Configuration::FileConfiguration::KeepBackup"))
        return complete; // a file that read completely is saved whole without its backup too
    if (!complete)
        System::Log().Write(System::Warn,
                            "Configuration file %s could not be read completely; it was kept as %s before being saved",
                            path_.c_str(), backup.c_str());
    backupPending_ = false;
    loadedFile_ = std::string();
    return true;
}

bool FileConfiguration::Save()
{
    current_.Name.clear();
    if (refusal_ != SaveRefusal::None)
        return false; // said at the load, in the log and to the user
    const std::string bytes = WriteConfiguration(current_, language_, LanguageCapacity, presets_, &window_, &switches_, &control_);
    if (bytes.size() > FileSizeLimit) {
        // The next load would refuse the file, and nothing would be read or saved from then on.
        System::Log().Write(System::Error,
                            "The settings take %zu bytes, more than the %zu a configuration file may hold; %s was "
                            "not saved and is left as it was",
                            bytes.size(), FileSizeLimit, path_.c_str());
        return false;
    }
    RemoveStaleTemporaries(path_);
    RemoveStaleTemporaries(BackupPath());
    // Without its backup the lines a load could not read would be gone for good: rather
    // keep the old file untouched.
    if (backupPending_ && !KeepBackup())
        return false;
    return WriteReplacing(path_, bytes, u"Configuration::FileConfiguration::Save");
}

bool FileConfiguration::PresetExists(std::u16string_view name)
{
    return presets_.contains(StoredName(name));
}

bool FileConfiguration::AddPreset(const ConfigurationData& data)
{
    std::u16string key = StoredName(data.Name);
    if (presets_.contains(key))
        return false;
    ConfigurationData& record = presets_.try_emplace(key, data).first->second;
    record.Name = std::move(key);
    return true;
}

bool FileConfiguration::UpdatePreset(const ConfigurationData& data, std::u16string_view name)
{
    const std::u16string oldName = StoredName(name);
    std::u16string newName = StoredName(data.Name);
    const auto preset = presets_.find(oldName);
    if (preset == presets_.end())
        return false;

    const bool sameName = oldName == newName;
    if (sameName || presets_.contains(newName)) {
        // Updated in place. A new name that another preset holds would merge two presets
        // into one; that other preset stays as it is and this one keeps its name.
        preset->second = data;
        preset->second.Name = oldName;
        return sameName;
    }

    // A new name moves the preset to its place in name order.
    presets_.erase(preset);
    ConfigurationData& renamed = presets_.try_emplace(newName, data).first->second;
    renamed.Name = std::move(newName);
    return true;
}

bool FileConfiguration::LoadPreset(std::u16string_view name)
{
    const auto preset = presets_.find(StoredName(name));
    if (preset == presets_.end())
        return false;
    current_ = preset->second;
    return true;
}

bool FileConfiguration::DeletePreset(std::u16string_view name)
{
    return presets_.erase(StoredName(name)) > 0;
}

void FileConfiguration::ForEachPreset(const std::function<void(const ConfigurationData&)>& visit)
{
    for (const auto& [name, preset] : presets_)
        visit(preset);
}

} // namespace Configuration
