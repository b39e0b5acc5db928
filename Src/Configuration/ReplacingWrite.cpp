#include "Configuration/ReplacingWrite.h"

#include "Platform/Files.h"
#include "System/ErrorReport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>

namespace Configuration {

namespace {

constexpr const char16_t* SourceFile = u".\\Src\\Configuration\\FileConfiguration";
// A temporary younger than this may belong to a save that has not locked it yet.
constexpr std::time_t StaleAfterSeconds = 5;

void ReportFileError(const char16_t* function, int line, const char* call, const std::string& path, int error)
{
    errno = error;
    System::ReportSystemError(SourceFile, function, line, u"Error calling %hs for %hs", call, path.c_str());
}

bool WriteAll(int descriptor, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

bool WriteReplacing(const std::string& path, const std::string& bytes, const char16_t* function)
{
    std::string temporary = path + ".tmp-XXXXXX";
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        ReportFileError(function, __LINE__, "mkostemp", temporary, errno);
        return false;
    }
    // Held until the file has its final name: a later save of another copy sees that this
    // temporary is in use and leaves it alone.
    ::flock(descriptor, LOCK_EX | LOCK_NB);

    // Whatever failed, the temporary file goes before the failure is logged: on a full disk
    // its blocks are what the log line needs.
    const auto fail = [&](const char* call, int line, const std::string& named) {
        const int error = errno;
        ::close(descriptor);
        ::unlink(temporary.c_str());
        ReportFileError(function, line, call, named, error);
        return false;
    };
    if (!WriteAll(descriptor, bytes))
        return fail("write", __LINE__, temporary);
    if (::fsync(descriptor) != 0)
        return fail("fsync", __LINE__, temporary);
    if (!Platform::ReplaceFile(temporary, path))
        return fail("rename", __LINE__, path);
    ::close(descriptor);

    // Make the rename itself durable; the file is complete either way.
    const std::string folder = path.substr(0, Platform::FileNameStart(path));
    const int folderDescriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        ::fsync(folderDescriptor);
        ::close(folderDescriptor);
    }
    return true;
}

void RemoveStaleTemporaries(const std::string& path)
{
    const std::size_t nameStart = Platform::FileNameStart(path);
    const std::string folder = nameStart == 0 ? "." : path.substr(0, nameStart);
    const std::string prefix = path.substr(nameStart) + ".tmp";
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
    if (!listing)
        return;
    const int folderDescriptor = ::dirfd(listing.get());
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0 || (name.size() > prefix.size() && name[prefix.size()] != '-'))
            continue;
        struct stat info {};
        if (::fstatat(folderDescriptor, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(info.st_mode)) {
            ::unlinkat(folderDescriptor, name.c_str(), 0);
        } else if (S_ISDIR(info.st_mode)) {
            ::unlinkat(folderDescriptor, name.c_str(), AT_REMOVEDIR); // only when empty
        } else if (S_ISREG(info.st_mode) && now - info.st_mtime >= StaleAfterSeconds) {
            const int file = ::openat(folderDescriptor, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (file < 0)
                continue;
            if (::flock(file, LOCK_EX | LOCK_NB) == 0)
                ::unlinkat(folderDescriptor, name.c_str(), 0);
            ::close(file);
        }
    }
}

} // namespace Configuration
