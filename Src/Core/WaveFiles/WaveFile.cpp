#include "Core/WaveFiles/WaveFile.h"

#include "Core/Sound/MultimediaErrorReport.h"
#include "Core/WaveFiles/WaveFileInput.h"
#include "Core/WaveFiles/WaveFormat.h"
#include "System/ErrorReport.h"
#include "System/Log.h"

#include <algorithm>
#include <new>

namespace Core {

namespace {

constexpr char16_t SourceFile[] = u".\\Src\\Core\\WaveFile";
constexpr std::uint32_t FullVolume = 127;

bool ReportFailure(const char16_t* function, int line, const char16_t* call)
{
    System::ReportSystemError(SourceFile, function, line, u"Error calling %s", call);
    return false;
}

} // namespace

WaveFile::~WaveFile()
{
    // The voice stops playing before the sound and the bytes it reads are freed.
    voice_.Close();
}

bool WaveFile::ReadWaveData(const char16_t* path, std::uint32_t& fileSize, WaveFormatRecord& format,
                            std::uint32_t& dataSize)
{
    fileSize = 0;
    dataSize = 0;
    ForgetRead(); // the buffer's content changes
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
    if (size <= sampleCapacity_ && sampleData_)
        return true;
    sampleData_.reset();
    sampleCapacity_ = 0;
    sampleData_.reset(new (std::nothrow) std::uint8_t[std::max<std::uint32_t>(size, 1)]);
    if (!sampleData_) {
        System::Log().Write(System::Error,
                            "Unable to allocate %u bytes of memory for the sample data in WaveFile::AllocateSampleDataMemory",
                            size);
        return false;
    }
    sampleCapacity_ = size;
    return true;
}

void WaveFile::ForgetRead() noexcept
{
    readPath_.clear();
    ownSound_.Clear();
    if (sound_ == &ownSound_)
        sound_ = nullptr;
}

std::int32_t WaveFile::PlayerCount(std::uint32_t fileSize, std::int32_t extraPlayers) noexcept
{
    const std::int64_t count = static_cast<std::int64_t>(fileSize / BytesPerExtraPlayer) + extraPlayers;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, 1, MaximumPlayers));
}

bool WaveFile::ReadSound(const char16_t* path, std::uint32_t outputRate, const WaveFile* sameFile)
{
    if (sameFile != nullptr && sameFile->sound_ != nullptr) {
        // One copy of a file however many voices play it: this voice's own sound goes.
        ForgetRead();
        sampleData_.reset();
        sampleCapacity_ = 0;
        sound_ = sameFile->sound_;
        fileSize_ = sameFile->fileSize_;
        return true;
    }
    const FileStamp stamp = StampOf(path);
    if (readPath_ == path && stamp.size >= 0 && stamp == readStamp_ && ownSound_.Rate() == outputRate) {
        sound_ = &ownSound_;
        return true;
    }
    WaveFormatRecord format;
    std::uint32_t dataSize = 0;
    if (!ReadWaveData(path, fileSize_, format, dataSize)) {
        lastResult_.store(NoOpenOutput, std::memory_order_relaxed);
        return false;
    }
    // Compressed formats (ADPCM, A-law, ...) would be played as PCM noise.
    Platform::Audio::Result result = Platform::Audio::BadFormat;
    if (const FormatVerdict verdict = JudgeWaveFormat(format); verdict.fault == FormatFault::None)
        result = ownSound_.Make(verdict.pcm, sampleData_.get(), dataSize, outputRate);
    if (result != Platform::Audio::NoError) {
        lastResult_.store(result, std::memory_order_relaxed);
        return false;
    }
    if (!ownSound_.Streamed()) {
        // Held whole: the file's bytes are not needed any more.
        sampleData_.reset();
        sampleCapacity_ = 0;
    }
    readPath_ = path;
    readStamp_ = stamp;
    sound_ = &ownSound_;
    return true;
}

bool WaveFile::LoadSound(const char16_t* path, std::int32_t extraPlayers, Platform::Audio::Mixer& mixer,
                         Platform::Audio::SampleStreamer& streamer, const WaveFile* sameFile)
{
    if (path == nullptr || path[0] == 0) {
        sound_ = nullptr; // the voice stays closed; nothing may share what it played
        return true;
    }
    // The voice plays the sound, which the load may replace.
    voice_.Close();
    lastResult_.store(0, std::memory_order_relaxed);
    if (!ReadSound(path, mixer.SampleRate(), sameFile)) {
        if (lastResult_.load(std::memory_order_relaxed) != NoOpenOutput)
            ReportMultimediaError(SourceFile, u"Core::WaveFile::OpenAudioDevice", __LINE__, LastResult(),
                                  u"Error calling waveOutOpen");
        return false;
    }
    if (sound_->Streamed() && !streamer.Start()) {
        lastResult_.store(NoPlaybackThread, std::memory_order_relaxed);
        return System::ReportThreadCreationError();
    }
    playerCount_ = PlayerCount(fileSize_, extraPlayers);
    nextPlayer_ = -1;
    const Platform::Audio::Result result = voice_.Open(mixer, *sound_, playerCount_, streamer);
    if (result != Platform::Audio::NoError) {
        lastResult_.store(result, std::memory_order_relaxed);
        ReportMultimediaError(SourceFile, u"Core::WaveFile::OpenAudioDevice", __LINE__, result,
                              u"Error calling waveOutOpen");
        return false;
    }
    return true;
}

bool WaveFile::Play(std::uint32_t volume, const Platform::SoundStamp& stamp) noexcept
{
    if (!voice_.IsOpen() || playerCount_ <= 0) {
        lastResult_.store(NoOpenOutput, std::memory_order_relaxed);
        return false;
    }
    nextPlayer_ = nextPlayer_ + 1 >= playerCount_ || nextPlayer_ < 0 ? 0 : nextPlayer_ + 1;
    const float gain = static_cast<float>(std::min(volume, FullVolume)) / FullVolume;
    const Platform::Audio::Result result = voice_.Play(nextPlayer_, gain, stamp);
    lastResult_.store(result, std::memory_order_relaxed);
    return result == Platform::Audio::NoError;
}

void WaveFile::Close()
{
    voice_.Close();
}

} // namespace Core
