#include "Core/VerifyAudioFile.h"

#include "Core/WaveFileInput.h"
#include "System/ErrorReport.h"


namespace Core {

namespace {

constexpr char16_t SourceFile[] = u".\\Src\\Core\\VerifyAudioFile";
constexpr char16_t Function[] = u"Core::VerifyAudioFile";
constexpr std::uint32_t RiffHeaderBytes = 12;
constexpr std::uint32_t ChunkHeaderBytes = 8;
constexpr std::uint32_t FormatBytes = 16;
constexpr std::uint32_t MaximumSampleRate = 44100;
constexpr std::uint32_t MaximumBitsPerSample = 16;

std::uint32_t Little32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8
           | static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint32_t Little16(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8;
}

} // namespace

std::int32_t VerifyAudioFile(const char16_t* path)
{
    using namespace AudioFileCheck;
    if (path == nullptr || !PathExists(path))
        return NotFound;

    WaveFileInput file;
    if (!file.Open(path)) {
        System::ReportSystemError(SourceFile, Function, __LINE__, u"Error calling CreateFile");
        return CannotOpen;
    }
    std::uint32_t size = 0;
    if (!file.Size(size)) {
        System::ReportSystemError(SourceFile, Function, __LINE__, u"Error calling GetFileSize");
        return CannotGetSize;
    }
    if (!file.Seek(RiffHeaderBytes)) {
        System::ReportSystemError(SourceFile, Function, __LINE__, u"Error calling SetFilePointer");
        return CannotSeek;
    }
    unsigned char chunkHeader[ChunkHeaderBytes];
    unsigned char format[FormatBytes];
    if (!file.ReadExactly(chunkHeader, sizeof chunkHeader) || !file.ReadExactly(format, sizeof format)) {
        System::ReportSystemError(SourceFile, Function, __LINE__, u"Error calling ReadFile");
        return CannotRead;
    }

    const std::uint32_t sampleRate = Little32(format + 4);
    const std::uint32_t bitsPerSample = Little16(format + 14);
    if (sampleRate > MaximumSampleRate || bitsPerSample > MaximumBitsPerSample)
        return InvalidFormat;
    if (size > LargeAudioFileBytes)
        return LargeFile;
    return Usable;
}

AudioFileCheckMessage MessageForAudioFileCheck(std::int32_t code) noexcept
{
    using Icon = AudioFileCheckMessage::Icon;
    switch (code) {
    case AudioFileCheck::NotFound:
        return {true, 9, 13, Icon::Warning, false};
    case AudioFileCheck::CannotOpen:
        return {true, 10, 14, Icon::Warning, false};
    case AudioFileCheck::CannotGetSize:
        return {true, 11, 15, Icon::Warning, false};
    case AudioFileCheck::CannotSeek:
    case AudioFileCheck::CannotRead:
        return {true, 12, 16, Icon::Warning, false};
    case AudioFileCheck::LargeFile:
        return {true, 14, 18, Icon::Information, true};
    case AudioFileCheck::InvalidFormat:
        return {true, 13, 17, Icon::Information, false};
    default:
        return {};
    }
}

} // namespace Core
