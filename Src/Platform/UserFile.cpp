#include "Platform/UserFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

UserFile::~UserFile()
{
    Close();
}

UserFileStatus UserFile::Open(const std::string& path, std::uint64_t sizeLimit, Links links)
{
    Close();
    // O_NONBLOCK keeps a named pipe without a writer from holding the open forever; reads from
    // regular files do not care about it.
    int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (links == Links::Refuse)
        flags |= O_NOFOLLOW;
    const int descriptor = open(path.c_str(), flags);
    if (descriptor < 0) {
        // O_NOFOLLOW on a link gives ELOOP: that is a file of the wrong kind, not a fault.
        if (errno == ELOOP && links == Links::Refuse)
            return UserFileStatus::NotRegular;
        return UserFileStatus::OpenFailed;
    }
    struct stat info {};
    UserFileStatus status = UserFileStatus::Opened;
    int reason = 0;
    if (fstat(descriptor, &info) != 0) {
        status = UserFileStatus::OpenFailed;
        reason = errno;
    } else if (S_ISDIR(info.st_mode)) {
        status = UserFileStatus::OpenFailed;
        reason = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        status = UserFileStatus::NotRegular;
    } else if (static_cast<std::uint64_t>(info.st_size) > sizeLimit) {
        status = UserFileStatus::TooLarge;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    if (status != UserFileStatus::Opened) {
        close(descriptor);
        errno = reason;
        return status;
    }
    descriptor_ = descriptor;
    return status;
}

int UserFile::Release() noexcept
{
    const int descriptor = descriptor_;
    descriptor_ = -1;
    size_ = 0;
    return descriptor;
}

void UserFile::Close() noexcept
{
    if (descriptor_ >= 0)
        close(descriptor_);
    descriptor_ = -1;
    size_ = 0;
}

std::string DescribeRefusal(const std::string& path, UserFileStatus status, std::uint64_t size,
                            std::uint64_t sizeLimit)
{
    switch (status) {
    case UserFileStatus::NotRegular:
        return "The file " + path + " is not a regular file";
    case UserFileStatus::TooLarge:
        return "The file " + path + " holds " + std::to_string(size) + " bytes, more than the "
               + std::to_string(sizeLimit) + " accepted";
    default:
        return {};
    }
}

} // namespace Platform
