#include "Core/WaveFile.h"

#include "Core/WaveFileInput.h"
#include "Platform/Text.h"
#include "System/ErrorReport.h"
#include "System/Log.h"

#include <algorithm>
#include <new>

namespace Core {

namespace {

constexpr char16_t SourceFile[] = u".\\Src\\Core\\WaveFile";
constexpr std::uint64_t RiffHeaderBytes = 12;
constexpr std::uint32_t ChunkHeaderBytes = 8;
constexpr std::uint32_t FormatBytes = 16;

std::uint32_t Little32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8
           | static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint16_t Little16(const unsigned char* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

bool IsDataChunk(const unsigned char* header)
{
    const char id[] = "data";
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = header[i];
        const unsigned char lower = c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
        if (lower != static_cast<unsigned char>(id[i]))
            return false;
    }
    return true;
}

void ReportFailure(const char16_t* function, int line, const char16_t* call)
{
    System::ReportSystemError(SourceFile, function, line, u"Error calling %s", call);
}

} // namespace

WaveFile::~WaveFile()
{
    // Every player's thread ends before the samples it reads are freed.
    players_.reset();
    sampleData_.reset();
}

bool WaveFile::ReadWaveData(const char16_t* path, std::uint32_t& fileSize, WaveFormatRecord& format,
                            std::uint32_t& dataSize)
{
    fileSize = 0;
    dataSize = 0;
    WaveFileInput file;
    if (!file.Open(path)) {
        ReportFailure(u"Core::WaveFile::OpenWaveFile", __LINE__, u"CreateFile");
        return false;
    }
    if (!file.Size(fileSize)) {
        ReportFailure(u"Core::WaveFile::GetWaveFileSize", __LINE__, u"GetFileSize");
        fileSize = 0;
    }
    if (fileSize == 0)
        return false;
    if (!file.Seek(RiffHeaderBytes)) {
        ReportFailure(u"Core::WaveFile::SetFilePointer", __LINE__, u"SetFilePointer");
        return false;
    }
    unsigned char header[ChunkHeaderBytes];
    if (!file.ReadExactly(header, sizeof header)) {
        ReportFailure(u"Core::WaveFile::ReadRiffChunk", __LINE__, u"ReadFile");
        return false;
    }
    unsigned char formatBytes[FormatBytes];
    if (!file.ReadExactly(formatBytes, sizeof formatBytes)) {
        ReportFailure(u"Core::WaveFile::ReadWaveFileHeader", __LINE__, u"ReadFile");
        return false;
    }
    format.formatTag = Little16(formatBytes);
    format.channels = Little16(formatBytes + 2);
    format.samplesPerSecond = Little32(formatBytes + 4);
    format.averageBytesPerSecond = Little32(formatBytes + 8);
    format.blockAlign = Little16(formatBytes + 12);
    format.bitsPerSample = Little16(formatBytes + 14);
    format.extraSize = 0;

    // Walk the chunks by their stored sizes. Offsets are 64-bit and checked against the file's
    // size, so no size can make the walk seek or read past the end; every step moves on by at
    // least a header, so the walk ends.
    std::uint64_t next = RiffHeaderBytes + ChunkHeaderBytes + Little32(header + 4);
    for (;;) {
        if (next + ChunkHeaderBytes > fileSize) {
            System::Log().Write(System::Error, "No data chunk found in the wave file %s",
                                Platform::Text::Utf16ToUtf8(path).c_str());
            return false;
        }
        if (!file.Seek(next)) {
            ReportFailure(u"Core::WaveFile::SetFilePointer", __LINE__, u"SetFilePointer");
            return false;
        }
        if (!file.ReadExactly(header, sizeof header)) {
            ReportFailure(u"Core::WaveFile::ReadRiffChunk", __LINE__, u"ReadFile");
            return false;
        }
        if (IsDataChunk(header))
            break;
        next += std::uint64_t{ChunkHeaderBytes} + Little32(header + 4);
    }

    const std::uint32_t stored = Little32(header + 4);
    const auto available = static_cast<std::uint32_t>(fileSize - (next + ChunkHeaderBytes));
    dataSize = std::min(stored, available);
    if (stored > available)
        System::Log().Write(System::Warn, "The data chunk of the wave file %s claims %u bytes; only %u follow",
                            Platform::Text::Utf16ToUtf8(path).c_str(), stored, available);
    if (!AllocateSampleData(dataSize)) {
        dataSize = 0;
        return false;
    }
    std::uint32_t read = 0;
    if (!file.Read(sampleData_.get(), dataSize, read)) {
        ReportFailure(u"Core::WaveFile::GetWaveFileData", __LINE__, u"ReadFile");
        return false;
    }
    // Only a file that shrank while being read ends early; play what arrived.
    dataSize = read;
    return true;
}

bool WaveFile::AllocateSampleData(std::uint32_t size)
{
    if (size <= sampleCapacity_)
        return true;
    sampleData_.reset();
    sampleCapacity_ = 0;
    sampleData_.reset(new (std::nothrow) std::uint8_t[size]);
    if (!sampleData_) {
        System::Log().Write(System::Error,
                            "Unable to allocate %u bytes of memory for the sample data in WaveFile::AllocateSampleDataMemory",
                            size);
        return false;
    }
    sampleCapacity_ = size;
    return true;
}

bool WaveFile::AllocatePlayers(std::int32_t count)
{
    players_.reset();
    playersAllocated_ = 0;
    players_.reset(new (std::nothrow) WavePlayer[static_cast<std::size_t>(count)]);
    if (!players_) {
        System::Log().Write(System::Error, "Unable to allocate memory for %d WavePlayers in WaveFile::AllocateWavePlayers",
                            count);
        return false;
    }
    playersAllocated_ = count;
    return true;
}

std::int32_t WaveFile::PlayerCount(std::uint32_t fileSize, std::int32_t extraPlayers) noexcept
{
    const std::int64_t count = static_cast<std::int64_t>(fileSize / BytesPerExtraPlayer) + extraPlayers;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, 1, MaximumPlayers));
}

bool WaveFile::LoadSound(const char16_t* path, std::int32_t extraPlayers, Platform::Audio::Mixer* mixer)
{
    if (path == nullptr || path[0] == 0)
        return true;
    // The players read the sample buffer, which the read may replace.
    for (std::int32_t i = 0; i < playersAllocated_; ++i)
        players_[static_cast<std::size_t>(i)].Close();

    std::uint32_t fileSize = 0;
    std::uint32_t dataSize = 0;
    WaveFormatRecord format;
    if (!ReadWaveData(path, fileSize, format, dataSize))
        return false;

    const std::int32_t count = PlayerCount(fileSize, extraPlayers);
    if (playersAllocated_ < count && !AllocatePlayers(count))
        return false;
    playerCount_ = count;
    for (std::int32_t i = 0; i < count; ++i) {
        nextPlayer_ = i;
        if (!players_[static_cast<std::size_t>(i)].Initialise(format, sampleData_.get(), dataSize, mixer))
            return false;
    }
    nextPlayer_ = -1;
    return true;
}

bool WaveFile::Play(std::uint32_t volume, const Platform::SoundStamp& stamp) noexcept
{
    WavePlayer* player = nullptr;
    if (players_ && playerCount_ > 0) {
        nextPlayer_ = nextPlayer_ + 1 >= playerCount_ || nextPlayer_ < 0 ? 0 : nextPlayer_ + 1;
        player = &players_[static_cast<std::size_t>(nextPlayer_)];
    }
    if (player == nullptr || !player->IsOpen()) {
        if (player != nullptr)
            player->RecordNoOutput();
        System::Log().Write(System::Warn, "Attempting to play sound when _waveOutHandle not initialised");
        return false;
    }
    player->Play(volume, stamp);
    return true;
}

void WaveFile::Close()
{
    for (std::int32_t i = 0; i < std::min(playerCount_, playersAllocated_); ++i)
        players_[static_cast<std::size_t>(i)].Close();
}

std::uint32_t WaveFile::LastResult() const noexcept
{
    if (!players_ || playerCount_ <= 0)
        return NoOpenOutput;
    if (nextPlayer_ < 0 || nextPlayer_ >= playersAllocated_)
        return 0;
    return players_[static_cast<std::size_t>(nextPlayer_)].LastResult();
}

const WavePlayer* WaveFile::Player(std::int32_t index) const noexcept
{
    return index >= 0 && index < playersAllocated_ ? &players_[static_cast<std::size_t>(index)] : nullptr;
}

} // namespace Core
