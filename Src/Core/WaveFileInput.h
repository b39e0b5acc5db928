#pragma once
#include <cstdint>

namespace Core {

/// A wave file opened for reading by the audio-file check and the wave reader: open, 32-bit
/// size, absolute seek and whole reads, each setting errno on failure so that the caller's
/// system error report names the reason. The file is closed when the object goes. Not
/// shared between threads.
class WaveFileInput {
public:
    WaveFileInput() = default;
    ~WaveFileInput();
    WaveFileInput(const WaveFileInput&) = delete;
    WaveFileInput& operator=(const WaveFileInput&) = delete;

    /// Opens an existing file by its UTF-16 path. A folder is refused with EISDIR: only
    /// regular files (and what behaves like them, such as /proc/self/fd entries) are read.
    bool Open(const char16_t* path);
    /// The file's size in bytes. Fails with EFBIG for 4 GiB or more, which a 32-bit size
    /// cannot hold.
    bool Size(std::uint32_t& size) const;
    /// Moves to an absolute offset.
    bool Seek(std::uint64_t offset);
    /// Reads up to bytes into buffer, retrying interrupted and partial reads; read is what
    /// arrived (fewer only at the end of the file). False with errno on a read error.
    bool Read(void* buffer, std::uint32_t bytes, std::uint32_t& read);
    /// Reads exactly bytes; a file that ends first fails with ENODATA ("No data available").
    bool ReadExactly(void* buffer, std::uint32_t bytes);

private:
    int descriptor_ = -1;
};

/// True when the UTF-16 path names an existing file or folder.
bool PathExists(const char16_t* path);

} // namespace Core
