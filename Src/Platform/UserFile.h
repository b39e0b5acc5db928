#pragma once
#include <cstdint>
#include <string>

namespace Platform {

/// Largest wave file the program reads.
constexpr std::uint64_t MaximumAudioFileBytes = 64ull << 20;

enum class UserFileStatus {
    Opened,
    OpenFailed, ///< open or fstat failed; errno holds the reason (EISDIR for a folder)
    NotRegular, ///< a named pipe, a device or a socket (or a link when links are refused):
                ///< refused rather than waited on
    TooLarge,   ///< larger than the limit given
};

/// Whether a symbolic link as the file itself is followed (folders on the way always are).
enum class Links { Follow, Refuse };

/// A file the user named, opened for reading without ever blocking (for readers that seek
/// and read parts of it; ReadRegularFile reads a whole file through it): the open itself
/// cannot wait (a named pipe without a writer), only regular files are taken, and a file
/// above sizeLimit bytes is refused. The descriptor is closed when the object goes. Any
/// thread; not shared between threads.
class UserFile {
public:
    UserFile() = default;
    ~UserFile();
    UserFile(const UserFile&) = delete;
    UserFile& operator=(const UserFile&) = delete;

    /// Opens path (UTF-8), closing any file open before. On failure nothing stays open.
    UserFileStatus Open(const std::string& path, std::uint64_t sizeLimit, Links links = Links::Follow);
    /// The descriptor, -1 when closed.
    int Descriptor() const noexcept { return descriptor_; }
    /// Gives the descriptor up to the caller, who closes it.
    int Release() noexcept;
    void Close() noexcept;
    /// The size fstat gave at Open (0 when closed).
    std::uint64_t Size() const noexcept { return size_; }

private:
    int descriptor_ = -1;
    std::uint64_t size_ = 0;
};

/// One sentence for the log on a refusal of path: "The file <path> is not a regular file" or
/// "The file <path> holds <size> bytes, more than the <limit> accepted"; empty otherwise.
std::string DescribeRefusal(const std::string& path, UserFileStatus status, std::uint64_t size,
                            std::uint64_t sizeLimit);

} // namespace Platform
