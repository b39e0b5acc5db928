#include "Core/WaveFileInput.h"

#include "Platform/Text.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Core {

WaveFileInput::~WaveFileInput()
{
    if (descriptor_ >= 0)
        close(descriptor_);
}

bool WaveFileInput::Open(const char16_t* path)
{
    const std::string name = Platform::Text::Utf16ToUtf8(path);
    const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat info {};
    if (fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int reason = S_ISDIR(info.st_mode) ? EISDIR : errno;
        close(descriptor);
        errno = reason;
        return false;
    }
    if (descriptor_ >= 0)
        close(descriptor_);
    descriptor_ = descriptor;
    return true;
}

bool WaveFileInput::Size(std::uint32_t& size) const
{
    struct stat info {};
    if (fstat(descriptor_, &info) != 0)
        return false;
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > UINT32_MAX) {
        errno = EFBIG;
        return false;
    }
    size = static_cast<std::uint32_t>(info.st_size);
    return true;
}

bool WaveFileInput::Seek(std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
        errno = EINVAL;
        return false;
    }
    return lseek(descriptor_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool WaveFileInput::Read(void* buffer, std::uint32_t bytes, std::uint32_t& read)
{
    read = 0;
    auto* into = static_cast<unsigned char*>(buffer);
    while (read < bytes) {
        const ssize_t got = ::read(descriptor_, into + read, bytes - read);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            break;
        read += static_cast<std::uint32_t>(got);
    }
    return true;
}

bool WaveFileInput::ReadExactly(void* buffer, std::uint32_t bytes)
{
    std::uint32_t read = 0;
    if (!Read(buffer, bytes, read))
        return false;
    if (read != bytes) {
        errno = ENODATA;
        return false;
    }
    return true;
}

bool PathExists(const char16_t* path)
{
    struct stat info {};
    return stat(Platform::Text::Utf16ToUtf8(path).c_str(), &info) == 0;
}

} // namespace Core
