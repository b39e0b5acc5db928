#include "Platform/Audio/SampleSound.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace Platform::Audio {

namespace {

std::int16_t ToSample(float value) noexcept
{
    return static_cast<std::int16_t>(std::clamp(std::lrint(value * 32768.0f), -32768L, 32767L));
}

} // namespace

PcmDecoder::~PcmDecoder() = default;

void PcmDecoder::ConverterDeleter::operator()(SRC_STATE* state) const noexcept
{
    src_delete(state);
}

Result PcmDecoder::Open(const PcmFormat& format, const std::uint8_t* bytes, std::uint32_t size, std::uint32_t outputRate)
{
    converter_.reset();
    if ((format.channels != 1 && format.channels != 2) || (format.bitsPerSample != 8 && format.bitsPerSample != 16)
        || format.sampleRate == 0 || format.sampleRate > 44100 || outputRate == 0
        || format.sampleRate < LowestInputRate(outputRate))
        return BadFormat; // below the lowest rate the converter would give silence
    format_ = format;
    bytes_ = bytes;
    frames_ = size / (format.channels * (format.bitsPerSample / 8u));
    position_ = 0;
    outputRate_ = outputRate;
    ratio_ = static_cast<double>(outputRate) / format.sampleRate;
    if (format.sampleRate != outputRate) {
        int error = 0;
        converter_.reset(src_callback_new(&PcmDecoder::ConverterInput, SRC_SINC_FASTEST, format.channels, &error, this));
        if (!converter_)
            return NoMemory;
        input_.assign(std::size_t{Chunk} * format.channels, 0.0f);
        converted_.assign(std::size_t{Chunk} * format.channels, 0.0f);
    }
    return NoError;
}

void PcmDecoder::Rewind() noexcept
{
    position_ = 0;
    if (converter_)
        src_reset(converter_.get());
}

std::uint64_t PcmDecoder::ExpectedFrames() const noexcept
{
    return static_cast<std::uint64_t>(std::ceil(frames_ * ratio_));
}

std::uint32_t PcmDecoder::ReadSource(float* destination, std::uint32_t frames) noexcept
{
    const std::uint32_t count = std::min(frames, frames_ - position_);
    const std::uint32_t samples = count * format_.channels;
    const std::size_t first = std::size_t{position_} * format_.channels;
    if (format_.bitsPerSample == 16) {
        const std::uint8_t* in = bytes_ + 2 * first;
        for (std::uint32_t i = 0; i < samples; ++i, in += 2)
            destination[i] = static_cast<float>(static_cast<std::int16_t>(in[0] | in[1] << 8)) / 32768.0f;
    } else {
        const std::uint8_t* in = bytes_ + first;
        for (std::uint32_t i = 0; i < samples; ++i)
            destination[i] = (static_cast<float>(in[i]) - 128.0f) / 128.0f;
    }
    position_ += count;
    return count;
}

std::uint32_t PcmDecoder::ReadDirect(std::int16_t* out, std::uint32_t frames) noexcept
{
    const std::uint32_t count = std::min(frames, frames_ - position_);
    const std::uint32_t samples = count * format_.channels;
    const std::size_t first = std::size_t{position_} * format_.channels;
    if (format_.bitsPerSample == 16) {
        const std::uint8_t* in = bytes_ + 2 * first;
        for (std::uint32_t i = 0; i < samples; ++i, in += 2)
            out[i] = static_cast<std::int16_t>(in[0] | in[1] << 8);
    } else {
        const std::uint8_t* in = bytes_ + first;
        for (std::uint32_t i = 0; i < samples; ++i)
            out[i] = static_cast<std::int16_t>((static_cast<int>(in[i]) - 128) * 256);
    }
    position_ += count;
    return count;
}

long PcmDecoder::ConverterInput(void* self, float** data)
{
    auto& decoder = *static_cast<PcmDecoder*>(self);
    *data = decoder.input_.data();
    return static_cast<long>(decoder.ReadSource(decoder.input_.data(), Chunk));
}

std::uint32_t PcmDecoder::Read(std::int16_t* out, std::uint32_t frames) noexcept
{
    if (!converter_)
        return ReadDirect(out, frames);
    std::uint32_t done = 0;
    while (done < frames) {
        const long got = src_callback_read(converter_.get(), ratio_, std::min(Chunk, frames - done), converted_.data());
        if (got <= 0)
            break;
        std::int16_t* to = out + std::size_t{done} * format_.channels;
        for (std::size_t i = 0; i < static_cast<std::size_t>(got) * format_.channels; ++i)
            to[i] = ToSample(converted_[i]);
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

void PcmDecoder::Skip(std::uint64_t frames) noexcept
{
    std::int16_t scratch[2 * Chunk];
    while (frames > 0) {
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, Chunk));
        const std::uint32_t got = Read(scratch, want);
        if (got == 0)
            return;
        frames -= got;
    }
}

void SampleSound::Clear() noexcept
{
    frames_.reset();
    frameCount_ = 0;
    rate_ = 0;
    streamed_ = false;
    ringFrames_ = 0;
    bytes_ = nullptr;
    size_ = 0;
}

Result SampleSound::Make(const PcmFormat& format, const std::uint8_t* bytes, std::uint32_t size,
                         std::uint32_t outputRate, const SoundLimits& limits)
{
    Clear();
    PcmDecoder decoder;
    if (const Result result = decoder.Open(format, bytes, size, outputRate); result != NoError)
        return result;
    const std::uint64_t expected = decoder.ExpectedFrames();
    const bool streamed = static_cast<double>(expected) > limits.wholeSeconds * outputRate;
    // A whole sound gets room for what the converter may give beyond the rounded length.
    const std::uint64_t capacity =
        streamed ? static_cast<std::uint64_t>(std::llround(limits.headSeconds * outputRate)) : expected + 64;
    frames_.reset(new (std::nothrow) std::int16_t[std::max<std::uint64_t>(capacity, 1) * format.channels]);
    if (!frames_)
        return NoMemory;
    frameCount_ = decoder.Read(frames_.get(), static_cast<std::uint32_t>(capacity));
    format_ = format;
    bytes_ = bytes;
    size_ = size;
    rate_ = outputRate;
    streamed_ = streamed && frameCount_ == capacity;
    ringFrames_ = streamed_ ? std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::llround(limits.ringSeconds * outputRate))) : 0;
    return NoError;
}

Result SampleSound::OpenDecoder(PcmDecoder& decoder) const
{
    return decoder.Open(format_, bytes_, size_, rate_);
}

} // namespace Platform::Audio
