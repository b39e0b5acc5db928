#include "Core/WaveFiles/WavePlayer.h"

#include "Core/Sound/MultimediaErrorReport.h"
#include "Platform/Thread.h"
#include "System/ErrorReport.h"
#include "System/Log.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace Core {

namespace {

using Platform::Audio::WaveHeader;

constexpr char16_t SourceFile[] = u".\\Src\\Core\\WavePlayer";
constexpr std::uint32_t FullVolume = 127;
// Format tags the output can play: plain PCM, and the extensible form that 16-bit files
// written by many tools carry (its first 16 bytes describe the same PCM layout).
constexpr std::uint16_t PcmTag = 1;
constexpr std::uint16_t ExtensibleTag = 0xFFFE;

} // namespace

WavePlayer::~WavePlayer()
{
    Close();
}

bool WavePlayer::Initialise(const WaveFormatRecord& format, const std::uint8_t* samples, std::uint32_t dataSize,
                            Platform::Audio::Mixer& mixer)
{
    Close();

    // 1. The output. Compressed formats (ADPCM, A-law, ...) would be played as PCM noise.
    Platform::Audio::Result result = Platform::Audio::BadFormat;
    if (format.formatTag == PcmTag || format.formatTag == ExtensibleTag) {
        device_.reset(new (std::nothrow) Platform::Audio::WaveOut(mixer));
        result = device_ ? device_->Open(Platform::Audio::WaveFormat{format.channels, format.samplesPerSecond,
                                                                     format.bitsPerSample},
                                         &WavePlayer::OnBufferDone, this)
                         : Platform::Audio::NoMemory;
    }
    if (result != Platform::Audio::NoError) {
        lastResult_.store(result, std::memory_order_relaxed);
        ReportMultimediaError(SourceFile, u"Core::WavePlayer::OpenAudioDevice", __LINE__, result,
                              u"Error calling waveOutOpen");
        return false;
    }
    lastResult_.store(Platform::Audio::NoError, std::memory_order_relaxed);

    // 2. The events are futex words and cannot fail. 3. No scaled copy: each buffer is
    // scaled as it is filled, so the samples are held once however many players share them.
    source_ = samples;
    dataSize_ = dataSize;
    position_ = 0;
    bitsPerSample_ = format.bitsPerSample;

    // 4. and 5. The buffers, each marked done so that it counts as free.
    running_.store(true, std::memory_order_release);
    currentVolume_ = -1;
    for (std::size_t i = 0; i < BufferCount; ++i) {
        WaveHeader& header = headers_[i];
        header.flags.store(0, std::memory_order_relaxed);
        header.data = buffers_[i];
        header.length = BufferBytes;
        header.user = i;
        result = device_->Prepare(header);
        if (result != Platform::Audio::NoError) {
            lastResult_.store(result, std::memory_order_relaxed);
            ReportMultimediaError(SourceFile, u"Core::WavePlayer::InitialiseHeader", __LINE__, result,
                                  u"Error calling waveOutPrepareHeader");
            return false;
        }
        header.flags.fetch_or(WaveHeader::Done, std::memory_order_acq_rel);
    }

    // 6. The playback thread; requests from here on are its own.
    const std::uint32_t handled = playRequests_.load(std::memory_order_acquire);
    if (!Platform::StartThread(thread_, [this, handled] { Run(handled); })) {
        lastResult_.store(NoPlaybackThread, std::memory_order_relaxed);
        return System::ReportThreadCreationError();
    }
    ready_.store(true, std::memory_order_release);
    return true;
}

bool WavePlayer::Play(std::uint32_t volume, const Platform::SoundStamp& stamp) noexcept
{
    if (device_->IsLost()) {
        // The sound server went away: nothing written would ever play.
        lastResult_.store(Platform::Audio::NoDriver, std::memory_order_relaxed);
        ReportMultimediaError(SourceFile, u"Core::WavePlayer::WriteWave", __LINE__, Platform::Audio::NoDriver,
                              u"Error calling waveOutWrite");
        return false;
    }
    playVolume_.store(std::min(volume, FullVolume), std::memory_order_relaxed);
    playStamp_.store(stamp.time, std::memory_order_relaxed);
    playFrame_.store(stamp.frame, std::memory_order_relaxed);
    playClock_.store(stamp.frameClock, std::memory_order_relaxed);
    playRequests_.fetch_add(1, std::memory_order_release);
    Wake();
    return true;
}

void WavePlayer::Wake() noexcept
{
    wake_.fetch_add(1, std::memory_order_release);
    wake_.notify_one();
}

void WavePlayer::OnBufferDone(void* instance, WaveHeader&)
{
    static_cast<WavePlayer*>(instance)->Wake();
}

void WavePlayer::Close()
{
    ready_.store(false, std::memory_order_release);
    if (running_.exchange(false, std::memory_order_acq_rel))
        Wake();
    if (thread_.joinable())
        thread_.join();
    if (device_) {
        // Closing hands every queued buffer back, so each can be unprepared.
        device_->Close();
        for (WaveHeader& header : headers_) {
            if (header.Flags() & WaveHeader::Prepared)
                device_->Unprepare(header);
        }
        device_.reset();
    }
    source_ = nullptr;
    dataSize_ = 0;
    position_ = 0;
    currentVolume_ = -1;
}

void WavePlayer::Run(std::uint32_t handledRequests)
{
    bool queuing = false;
    bool firstOfPlay = false;
    Platform::SoundStamp stamp;
    for (;;) {
        // Read before looking at the work, so that a wake after the look ends the wait.
        const std::uint32_t seen = wake_.load(std::memory_order_acquire);
        if (!running_.load(std::memory_order_acquire))
            return;

        const std::uint32_t requests = playRequests_.load(std::memory_order_acquire);
        if (requests != handledRequests) {
            handledRequests = requests;
            // Cuts the previous sound; every buffer comes back done.
            device_->Reset();
            stamp = Platform::SoundStamp{playStamp_.load(std::memory_order_relaxed),
                                         playFrame_.load(std::memory_order_relaxed),
                                         playClock_.load(std::memory_order_relaxed)};
            currentVolume_ = static_cast<std::int32_t>(playVolume_.load(std::memory_order_relaxed));
            position_ = 0;
            queuing = dataSize_ > 0;
            firstOfPlay = true;
        }
        if (queuing) {
            if (!QueueFreeBuffers(firstOfPlay, stamp))
                return; // a failed write ends the thread; later requests stay silent
            if (position_ >= dataSize_) {
                queuing = false;
                position_ = 0;
            }
        }
        wake_.wait(seen, std::memory_order_acquire);
    }
}

bool WavePlayer::QueueFreeBuffers(bool& firstOfPlay, const Platform::SoundStamp& stamp)
{
    for (std::size_t i = 0; i < BufferCount && position_ < dataSize_; ++i) {
        WaveHeader& header = headers_[i];
        if (!(header.Flags() & WaveHeader::Done))
            continue;
        header.length = FillBuffer(source_, dataSize_, position_, buffers_[i]);
        if (currentVolume_ < static_cast<std::int32_t>(FullVolume))
            Rescale(buffers_[i], buffers_[i], header.length, bitsPerSample_, static_cast<std::uint32_t>(currentVolume_));
        const Platform::Audio::Result result = device_->Write(header, firstOfPlay ? stamp : Platform::SoundStamp{});
        if (result != Platform::Audio::NoError) {
            lastResult_.store(result, std::memory_order_relaxed);
            ReportMultimediaError(SourceFile, u"Core::WavePlayer::WriteWave", __LINE__, result,
                                  u"Error calling waveOutWrite");
            return false;
        }
        if (firstOfPlay) {
            firstOfPlay = false;
            startedPlays_.fetch_add(1, std::memory_order_acq_rel);
        }
    }
    return true;
}

void WavePlayer::Rescale(const std::uint8_t* source, std::uint8_t* scaled, std::uint32_t size,
                         std::uint16_t bitsPerSample, std::uint32_t volume) noexcept
{
    const double factor = static_cast<double>(std::min(volume, FullVolume)) / FullVolume;
    if (bitsPerSample == 8) {
        for (std::uint32_t i = 0; i < size; ++i) {
            const auto offset = static_cast<int>(source[i]) - 128;
            scaled[i] = static_cast<std::uint8_t>(128 + static_cast<int>(offset * factor));
        }
        return;
    }
    const std::uint32_t samples = size / 2;
    for (std::uint32_t i = 0; i < samples; ++i) {
        const auto sample = static_cast<std::int16_t>(source[2 * i] | source[2 * i + 1] << 8);
        const auto value = static_cast<std::int16_t>(static_cast<int>(sample * factor));
        scaled[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
        scaled[2 * i + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
    if (size % 2 != 0)
        scaled[size - 1] = source[size - 1];
}

std::uint32_t WavePlayer::FillBuffer(const std::uint8_t* samples, std::uint32_t dataSize, std::uint32_t& position,
                                     std::uint8_t* buffer) noexcept
{
    const std::uint32_t count = std::min(BufferBytes, dataSize - std::min(position, dataSize));
    if (count > 0)
        std::memcpy(buffer, samples + position, count);
    std::memset(buffer + count, 0, BufferBytes - count);
    position += count;
    return count;
}

} // namespace Core
