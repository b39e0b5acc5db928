#include "Core/WaveFiles/WaveFile.h"

#include "Core/WaveFiles/WaveFileInput.h"
#include "System/ErrorReport.h"
#include "System/Log.h"

#include <algorithm>
#include <new>

namespace Core {

namespace {

constexpr char16_t SourceFile[] = u".\\Src\\Core\\WaveFile";

bool ReportFailure(const char16_t* function, int line, const char16_t* call)
{
    System::ReportSystemError(SourceFile, function, line, u"Error calling %s", call);
    return false;
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
    readPath_.clear(); // the buffer's content changes
    WaveFileInput file;
    WaveFileHeader header;
    switch (ReadWaveHeader(path, file, header)) {
    case WaveHeaderStep::Done:
        break;
    case WaveHeaderStep::Open:
        return ReportFailure(u"Core::WaveFile::OpenWaveFile", __LINE__, u"CreateFile");
    case WaveHeaderStep::Seek:
        return ReportFailure(u"Core::WaveFile::SetFilePointer", __LINE__, u"SetFilePointer");
    case WaveHeaderStep::ReadChunkHeader:
        return ReportFailure(u"Core::WaveFile::ReadRiffChunk", __LINE__, u"ReadFile");
    case WaveHeaderStep::ReadFormat:
        return ReportFailure(u"Core::WaveFile::ReadWaveFileHeader", __LINE__, u"ReadFile");
    case WaveHeaderStep::NotRegular:
    case WaveHeaderStep::TooLarge:
    case WaveHeaderStep::Empty:
    case WaveHeaderStep::Malformed:
        return false; // logged by the header reader, or an empty file
    }
    fileSize = header.fileSize;
    format = header.format;
    if (!AllocateSampleData(header.dataSize))
        return false;
    if (!file.Seek(header.dataOffset))
        return ReportFailure(u"Core::WaveFile::SetFilePointer", __LINE__, u"SetFilePointer");
    std::uint32_t read = 0;
    if (!file.Read(sampleData_.get(), header.dataSize, read))
        return ReportFailure(u"Core::WaveFile::GetWaveFileData", __LINE__, u"ReadFile");
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

bool WaveFile::ReadSound(const char16_t* path, const WaveFile* sameFile)
{
    if (sameFile != nullptr && sameFile->samples_ != nullptr) {
        // One copy of a file however many voices play it: this voice's own buffer goes.
        sampleData_.reset();
        sampleCapacity_ = 0;
        readPath_.clear();
        samples_ = sameFile->samples_;
        format_ = sameFile->format_;
        fileSize_ = sameFile->fileSize_;
        dataSize_ = sameFile->dataSize_;
    } else {
        const FileStamp stamp = StampOf(path);
        if (readPath_ != path || stamp.size < 0 || !(stamp == readStamp_)) {
            readPath_.clear();
            samples_ = nullptr;
            if (!ReadWaveData(path, fileSize_, format_, dataSize_))
                return false;
            readPath_ = path;
            readStamp_ = stamp;
        }
        samples_ = sampleData_.get();
    }
    return true;
}

bool WaveFile::LoadSound(const char16_t* path, std::int32_t extraPlayers, Platform::Audio::Mixer& mixer,
                         const WaveFile* sameFile)
{
    if (path == nullptr || path[0] == 0) {
        samples_ = nullptr; // the pool stays closed; nothing may share what it played
        return true;
    }
    // The players read the samples, which the load may replace.
    for (std::int32_t i = 0; i < playersAllocated_; ++i)
        players_[static_cast<std::size_t>(i)].Close();
    if (!ReadSound(path, sameFile))
        return false;

    const std::int32_t count = PlayerCount(fileSize_, extraPlayers);
    if (playersAllocated_ < count && !AllocatePlayers(count))
        return false;
    playerCount_ = count;
    for (std::int32_t i = 0; i < count; ++i) {
        nextPlayer_ = i;
        if (!players_[static_cast<std::size_t>(i)].Initialise(format_, samples_, dataSize_, mixer))
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
    return player->Play(volume, stamp);
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
