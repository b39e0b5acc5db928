#include "Platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace Platform {

// TOLVANE_DATA_FROM_BIN and TOLVANE_DOC_FROM_BIN: where an installed copy keeps its data and
// its manual, relative to its executable's folder, as the build's install layout puts them.

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

std::string DataFolderFor(const std::string& executableFolder)
{
    // An installed copy (its language files in the share folder, not beside it) never writes
    // beside its executable, even where it could (run by root from /usr/bin).
    const bool installed = ShippedFolderFor(executableFolder, "Lang", TOLVANE_DATA_FROM_BIN) != executableFolder;
    if (!executableFolder.empty() && !installed && access(executableFolder.c_str(), W_OK) == 0)
        return executableFolder;

    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    std::string folder = base + "/tolvane/";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
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

std::string ManualFolder()
{
    return ShippedFolderFor(ExecutableFolder(), "Tolvane.pdf", TOLVANE_DOC_FROM_BIN);
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

} // namespace Platform
