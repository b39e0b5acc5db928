#include "Core/WaveFiles/WaveFileInput.h"

#include "Platform/Text.h"
#include "System/Log.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace Core {

namespace {

constexpr std::uint64_t RiffHeaderBytes = 12;
constexpr std::uint32_t ChunkHeaderBytes = 8;
constexpr std::uint32_t FormatBytes = 16;
// The extensible form's extension: its size, valid bits, channel mask and sub-format GUID.
constexpr std::uint32_t ExtensionBytes = 24;
constexpr std::uint16_t ExtensibleTag = 0xFFFE;
// The GUIDs that stand for a format tag end in these 12 bytes (after the tag's 4).
constexpr unsigned char TagGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint32_t Little32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8
           | static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint16_t Little16(const unsigned char* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

bool IsChunk(const unsigned char* header, const char* id, bool anyCase)
{
    for (int i = 0; i < 4; ++i) {
        unsigned char c = header[i];
        if (anyCase && c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c - 'A' + 'a');
        if (c != static_cast<unsigned char>(id[i]))
            return false;
    }
    return true;
}

WaveFormatRecord FormatFrom(const unsigned char* bytes)
{
    WaveFormatRecord format;
    format.formatTag = Little16(bytes);
    format.channels = Little16(bytes + 2);
    format.samplesPerSecond = Little32(bytes + 4);
    format.averageBytesPerSecond = Little32(bytes + 8);
    format.blockAlign = Little16(bytes + 12);
    format.bitsPerSample = Little16(bytes + 14);
    format.extraSize = 0;
    return format;
}

std::uint32_t SubFormatFrom(const unsigned char* extension)
{
    const unsigned char* guid = extension + 8;
    const std::uint32_t first = Little32(guid);
    return first <= 0xFFFF && std::equal(guid + 4, guid + 16, TagGuidTail) ? first : OtherSubFormat;
}

WaveHeaderStep Malformed(const char16_t* path, const char* what)
{
    System::Log().Write(System::Error, "%s in the wave file %s", what, Platform::Text::Utf16ToUtf8(path).c_str());
    return WaveHeaderStep::Malformed;
}

} // namespace

Platform::UserFileStatus WaveFileInput::Open(const char16_t* path)
{
    return file_.Open(Platform::Text::Utf16ToPath(path), Platform::MaximumAudioFileBytes);
}

bool WaveFileInput::Seek(std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
        errno = EINVAL;
        return false;
    }
    return lseek(file_.Descriptor(), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool WaveFileInput::Read(void* buffer, std::uint32_t bytes, std::uint32_t& read)
{
    read = 0;
    auto* into = static_cast<unsigned char*>(buffer);
    while (read < bytes) {
        const ssize_t got = ::read(file_.Descriptor(), into + read, bytes - read);
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
    return stat(Platform::Text::Utf16ToPath(path).c_str(), &info) == 0;
}

FileStamp StampOf(const char16_t* path)
{
    struct stat info {};
    if (stat(Platform::Text::Utf16ToPath(path).c_str(), &info) != 0)
        return {};
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

WaveHeaderStep ReadWaveHeader(const char16_t* path, WaveFileInput& file, WaveFileHeader& header)
{
    header = {};
    const Platform::UserFileStatus status = file.Open(path);
    if (status != Platform::UserFileStatus::Opened) {
        if (status == Platform::UserFileStatus::OpenFailed)
            return WaveHeaderStep::Open;
        std::uint64_t size = 0;
        struct stat info {};
        if (stat(Platform::Text::Utf16ToPath(path).c_str(), &info) == 0)
            size = static_cast<std::uint64_t>(info.st_size);
        const std::string name = Platform::Text::Utf16ToPath(path);
        System::Log().Write(System::Error, "%s; refused",
                            Platform::DescribeRefusal(name, status, size, Platform::MaximumAudioFileBytes).c_str());
        return status == Platform::UserFileStatus::NotRegular ? WaveHeaderStep::NotRegular : WaveHeaderStep::TooLarge;
    }
    const std::uint64_t fileSize = header.fileSize = file.Size();
    if (fileSize == 0)
        return WaveHeaderStep::Empty;

    // Offsets are 64-bit and checked against the file's size, so no stored size can make the
    // walk seek or read past the end; every step moves on by at least a header.
    bool haveFormat = false;
    bool haveData = false;
    std::uint64_t next = RiffHeaderBytes;
    for (int chunks = 0; !(haveFormat && haveData) && chunks < MaximumChunks; ++chunks) {
        if (next + ChunkHeaderBytes > fileSize && chunks > 0)
            break;
        if (!file.Seek(next))
            return WaveHeaderStep::Seek;
        unsigned char chunk[ChunkHeaderBytes];
        if (!file.ReadExactly(chunk, sizeof chunk))
            return WaveHeaderStep::ReadChunkHeader;
        const std::uint32_t size = Little32(chunk + 4);
        const std::uint64_t body = next + ChunkHeaderBytes;
        if (!haveFormat && IsChunk(chunk, "fmt ", false)) {
            if (size < FormatBytes)
                return Malformed(path, "A format chunk of fewer than 16 bytes");
            unsigned char format[FormatBytes];
            if (!file.ReadExactly(format, sizeof format))
                return WaveHeaderStep::ReadFormat;
            header.format = FormatFrom(format);
            unsigned char extension[ExtensionBytes];
            if (header.format.formatTag == ExtensibleTag && size >= FormatBytes + ExtensionBytes
                && file.ReadExactly(extension, sizeof extension))
                header.format.subFormat = SubFormatFrom(extension);
            haveFormat = true;
        } else if (!haveData && IsChunk(chunk, "data", true)) {
            header.dataOffset = body;
            header.dataSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, fileSize - body));
            if (header.dataSize < size)
                System::Log().Write(System::Warn, "The data chunk of the wave file %s claims %u bytes; only %u follow",
                                    Platform::Text::Utf16ToUtf8(path).c_str(), size, header.dataSize);
            haveData = true;
        }
        next = body + size;
        // Writers pad an odd-sized chunk with a zero byte; some leave it out. A chunk id never
        // starts with a zero byte, so a zero there is the pad.
        unsigned char pad = 1;
        if (size % 2 != 0 && next < fileSize && file.Seek(next) && file.ReadExactly(&pad, 1) && pad == 0)
            ++next;
    }
    if (!haveFormat)
        return Malformed(path, "No format chunk found");
    if (!haveData)
        return Malformed(path, "No data chunk found");
    return WaveHeaderStep::Done;
}

} // namespace Core
