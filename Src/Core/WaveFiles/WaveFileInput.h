#pragma once
#include "Platform/UserFile.h"

#include <cstdint>

namespace Core {

/// A WaveFormatRecord's sub-format when the chunk holds none, or one that stands for no
/// format tag.
constexpr std::uint32_t NoSubFormat = 0x10000;
constexpr std::uint32_t OtherSubFormat = 0x10001;

/// The format of a wave file as its format chunk stores it (the first 16 bytes of the chunk,
/// in the file's order and widths); the extra size is always 0.
struct WaveFormatRecord {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
    /// For the extensible format tag (0xFFFE) with its 40-byte chunk: the format tag its
    /// sub-format GUID stands for (1 PCM, 3 float, ...), OtherSubFormat for another GUID;
    /// NoSubFormat otherwise.
    std::uint32_t subFormat = NoSubFormat;
};

/// A wave file opened for reading by the audio-file check and the wave reader: open (without
/// blocking, regular files of at most Platform::MaximumAudioFileBytes only), size, absolute
/// seek and whole reads, each setting errno on failure so that the caller's system error
/// report names the reason. The file is closed when the object goes. Not shared between
/// threads.
class WaveFileInput {
public:
    /// Opens an existing file by its UTF-16 path. A folder fails with EISDIR.
    Platform::UserFileStatus Open(const char16_t* path);
    /// The file's size in bytes when it was opened.
    std::uint32_t Size() const { return static_cast<std::uint32_t>(file_.Size()); }
    /// Moves to an absolute offset.
    bool Seek(std::uint64_t offset);
    /// Reads up to bytes into buffer, retrying interrupted and partial reads; read is what
    /// arrived (fewer only at the end of the file). False with errno on a read error.
    bool Read(void* buffer, std::uint32_t bytes, std::uint32_t& read);
    /// Reads exactly bytes; a file that ends first fails with ENODATA ("No data available").
    bool ReadExactly(void* buffer, std::uint32_t bytes);

private:
    Platform::UserFile file_;
};

/// True when the UTF-16 path names an existing file or folder.
bool PathExists(const char16_t* path);

/// Tells whether a file is still the one read before: which file, its size and its time of
/// last change.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

/// The stamp of the file at path; a stamp of size -1 when there is none.
FileStamp StampOf(const char16_t* path);

/// Where reading a wave file's header stopped. The steps that name a system call leave its
/// reason in errno for the caller's report; the others have been logged already.
enum class WaveHeaderStep {
    Done,
    Open,            ///< the file could not be opened (errno)
    NotRegular,      ///< a named pipe, device or socket: refused (logged)
    TooLarge,        ///< above Platform::MaximumAudioFileBytes: refused (logged)
    Empty,           ///< a file of 0 bytes (not logged)
    Seek,            ///< moving to a chunk failed (errno)
    ReadChunkHeader, ///< a chunk header could not be read (errno)
    ReadFormat,      ///< the 16 bytes of format could not be read (errno)
    Malformed,       ///< no format or data chunk, or a format chunk too short (logged)
};

/// What the header of a wave file says.
struct WaveFileHeader {
    std::uint32_t fileSize = 0;
    WaveFormatRecord format;      ///< from the first "fmt " chunk
    std::uint64_t dataOffset = 0; ///< where the first "data" chunk's bytes start
    std::uint32_t dataSize = 0;   ///< its bytes that the file holds (a larger stored size is cut, logged)
};

/// Opens path into file and walks the RIFF chunks after the 12-byte RIFF header, each by its
/// stored size (plus the zero pad byte that follows an odd-sized chunk when there is one), to
/// the "fmt " chunk and the "data" chunk (its id in any case) wherever they stand: JUNK, LIST
/// or bext chunks before them are passed over. Never seeks or reads past the end of the file,
/// and walks at most MaximumChunks chunks. On Done the file stays open for the data.
WaveHeaderStep ReadWaveHeader(const char16_t* path, WaveFileInput& file, WaveFileHeader& header);

constexpr int MaximumChunks = 1024;

} // namespace Core
