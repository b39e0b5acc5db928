#include "Platform/Files.h"

#include "Platform/PrivateFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace Platform {

// TOLVANE_DATA_FROM_BIN, TOLVANE_DOC_FROM_BIN and TOLVANE_HELPER_FROM_BIN: where an installed
// copy keeps its data, its manual and its helper programs, relative to its executable's
// folder, as the build's install layout puts them.

std::string ExecutableFolder()
{
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return {};
    path.resize(static_cast<std::size_t>(length));
    path.resize(FileNameStart(path));
    return path;
}

namespace {

// Creates folder's missing parents for this user only (existing ones are left as they are),
// then the folder itself, which must end up private.
bool MakeDataFolder(const std::string& folder)
{
    const std::size_t nameStart = FileNameStart(folder);
    for (std::size_t at = folder.find('/', 1); at != std::string::npos && at < nameStart;
         at = folder.find('/', at + 1)) {
        if (::mkdir(folder.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    std::string problem;
    return !MakePrivateFolder(folder.substr(0, nameStart), folder.substr(nameStart), problem).empty();
}

} // namespace

std::string DataFolderFor(const std::string& executableFolder)
{
    // Beside the executable only when that folder is this user's alone (settings written
    // where others may write could be swapped or read by them), and never for an installed
    // copy (its language files in the share folder, not beside it), even where it could
    // write there (run by root from /usr/bin).
    const bool installed = ShippedFolderFor(executableFolder, "Lang", TOLVANE_DATA_FROM_BIN) != executableFolder;
    if (!executableFolder.empty() && !installed && ::access(executableFolder.c_str(), W_OK) == 0
        && PrivateFolderProblem(executableFolder.substr(0, executableFolder.size() - 1)).empty())
        return executableFolder;

    std::string candidates[2];
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        candidates[0] = std::string(xdg) + "/tolvane";
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        candidates[0] = std::string(home) + "/.config/tolvane";
    // Without a home the shared temporary folder is the last resort, in a folder of this
    // user's own that nobody else may have made first.
    const char* temporary = std::getenv("TMPDIR");
    candidates[1] = std::string(temporary && *temporary == '/' ? temporary : "/tmp") + "/tolvane-"
                    + std::to_string(::geteuid());
    for (const std::string& folder : candidates) {
        if (!folder.empty() && MakeDataFolder(folder))
            return folder + '/';
    }
    return {};
}

std::string DataFolder()
{
    return DataFolderFor(ExecutableFolder());
}

std::string ShippedFolderFor(const std::string& executableFolder, const std::string& entry,
                             const std::string& installedFolder)
{
    std::error_code ignored;
    if (std::filesystem::exists(executableFolder + entry, ignored))
        return executableFolder;
    const std::string installed = executableFolder + installedFolder;
    if (std::filesystem::exists(installed + entry, ignored))
        return installed;
    return executableFolder;
}


std::string LanguageFolder()
{
    return ShippedFolderFor(ExecutableFolder(), "Lang", TOLVANE_DATA_FROM_BIN) + "Lang/";
}

std::string VoiceFolder()
{
    return ShippedFolderFor(ExecutableFolder(), "voices", TOLVANE_DATA_FROM_BIN) + "voices/";
}

std::string FirstSettingsFile()
{
    constexpr const char* name = "FirstSettings.conf";
    return ShippedFolderFor(ExecutableFolder(), name, TOLVANE_DATA_FROM_BIN) + name;
}

std::string ManualFolder()
{
    return ShippedFolderFor(ExecutableFolder(), "Tolvane.pdf", TOLVANE_DOC_FROM_BIN);
}

std::string HelperProgram(const std::string& name)
{
    return ShippedFolderFor(ExecutableFolder(), name, TOLVANE_HELPER_FROM_BIN) + name;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the no-replace flag: a hard link fails on an existing target.
    if (link(from.c_str(), to.c_str()) != 0)
        return false;
    unlink(from.c_str());
    return true;
}

bool ReplaceFile(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::size_t FileNameStart(const std::string& path)
{
    const auto separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

std::size_t FileNameStart(std::u16string_view path)
{
    const auto separator = path.find_last_of(u"/\\");
    return separator == std::u16string_view::npos ? 0 : separator + 1;
}

std::u16string_view FileName(std::u16string_view path)
{
    return path.substr(FileNameStart(path));
}

bool WriteAll(int descriptor, const void* data, std::size_t bytes)
{
    const auto* at = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t written = ::write(descriptor, at, bytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace Platform
