#include "Configuration/FileConfiguration.h"

#include "Configuration/ConfigurationReader.h"
#include "Configuration/ConfigurationWriter.h"
#include "Platform/Files.h"
#include "Platform/Text.h"
#include "System/ErrorReport.h"
#include "System/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

namespace Configuration {

namespace {

constexpr const char16_t* SourceFile = u".\\Src\\Configuration\\FileConfiguration";

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    bytes.clear();
    char buffer[65536];
    bool complete = true;
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count == 0)
            break;
        if (count < 0) {
            complete = false;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(descriptor);
    return complete;
}

void ReportFileError(const char16_t* function, int line, const char* call, const std::string& path)
{
    System::ReportSystemError(SourceFile, function, line, u"Error calling %hs for %hs", call, path.c_str());
}

// Writes bytes to target in one step: a temporary file in the same folder is written,
// flushed to the disk and renamed over target. On failure target is untouched, the
// temporary file is removed and the failed call is logged at level Error.
bool WriteReplacing(const std::string& path, const std::string& bytes, const char16_t* function)
{
    // A file that is a symbolic link is replaced where the link points, so the link stays.
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const std::string temporary = target + ".tmp";
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) {
        ReportFileError(function, __LINE__, "open", temporary);
        return false;
    }
    // A file that was readable only by its owner stays so.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0)
        ::fchmod(descriptor, existing.st_mode & 07777);

    const auto fail = [&](const char* call, int line) {
        ReportFileError(function, line, call, temporary);
        ::close(descriptor);
        ::unlink(temporary.c_str());
        return false;
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return fail("write", __LINE__);
        done += static_cast<std::size_t>(written);
    }
    if (::fsync(descriptor) != 0)
        return fail("fsync", __LINE__);
    if (::close(descriptor) != 0) {
        ReportFileError(function, __LINE__, "close", temporary);
        ::unlink(temporary.c_str());
        return false;
    }
    if (!Platform::ReplaceFile(temporary, target)) {
        ReportFileError(function, __LINE__, "rename", target);
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable; the file is complete either way.
    const std::string folder = target.substr(0, Platform::FileNameStart(target));
    const int folderDescriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        ::fsync(folderDescriptor);
        ::close(folderDescriptor);
    }
    return true;
}

} // namespace

FileConfiguration::FileConfiguration()
    : FileConfiguration(Platform::DataFolder() + "Tolvane.conf")
{
}

FileConfiguration::FileConfiguration(std::string path)
    : path_(std::move(path))
{
}

bool FileConfiguration::Load()
{
    std::string bytes;
    if (!ReadWholeFile(path_, bytes))
        return false;
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

IConfiguration& Store()
{
    static FileConfiguration store;
    return store;
}

} // namespace Configuration
