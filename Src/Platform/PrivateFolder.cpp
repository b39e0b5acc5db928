#include "Platform/PrivateFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

std::string WithSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

} // namespace

std::string PrivateFolderProblem(const std::string& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return path + ": " + std::strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return path + " is not a folder";
    if (info.st_uid != geteuid())
        return path + " belongs to user " + std::to_string(info.st_uid);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return path + " may be written by other users";
    return {};
}

std::string MakePrivateFolder(const std::string& parent, const std::string& name, std::string& problem)
{
    const std::string path = WithSlash(parent) + name;
    // mkdir never follows a link planted at the name: an existing entry of any kind fails
    // with EEXIST and is then judged by lstat.
    if (mkdir(path.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
        problem = path + ": " + std::strerror(errno);
        return {};
    }
    problem = PrivateFolderProblem(path);
    return problem.empty() ? WithSlash(path) : std::string{};
}

std::string RuntimeFolderFor(const std::string& runtimeFolder, const std::string& tempFolder, std::string& problem)
{
    problem.clear();
    std::string runtimeProblem;
    if (!runtimeFolder.empty() && runtimeFolder.front() == '/') {
        runtimeProblem = PrivateFolderProblem(runtimeFolder);
        if (runtimeProblem.empty())
            return WithSlash(runtimeFolder);
    }
    const std::string folder = MakePrivateFolder(tempFolder.empty() ? "/tmp" : tempFolder,
                                                 "tolvane-" + std::to_string(geteuid()), problem);
    if (folder.empty() && !runtimeProblem.empty())
        problem = runtimeProblem + "; " + problem;
    return folder;
}

std::string RuntimeFolder(std::string& problem)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* temp = std::getenv("TMPDIR");
    return RuntimeFolderFor(runtime ? runtime : "", temp && temp[0] == '/' ? temp : "/tmp", problem);
}

} // namespace Platform
