#include "Platform/Audio/SampleSound.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstring>
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
    if ((format.channels != 1 && format.channels != 2) || !PlayableWidth(format.encoding, format.bitsPerSample)
        || format.sampleRate < LowestMaterialRate || format.sampleRate > HighestMaterialRate || outputRate == 0
        || format.sampleRate > std::uint64_t{outputRate} * MaximumRateRatio
        || outputRate > std::uint64_t{format.sampleRate} * MaximumRateRatio)
        return BadFormat;
    format_ = format;
    sampleBytes_ = format.bitsPerSample / 8u;
    bytes_ = bytes;
    frames_ = size / (format.channels * sampleBytes_);
    position_ = 0;
    outputRate_ = outputRate;
    ratio_ = static_cast<double>(outputRate) / format.sampleRate;
    input_.assign(std::size_t{Chunk} * format.channels, 0.0f);
    if (format.sampleRate != outputRate) {
        int error = 0;
        converter_.reset(src_callback_new(&PcmDecoder::ConverterInput, SRC_SINC_FASTEST, format.channels, &error, this));
        if (!converter_)
            return NoMemory;
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

float PcmDecoder::Sample(const std::uint8_t* at) const noexcept
{
    const auto word = [at](int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<std::uint32_t>(at[i]) << (8 * (4 - bytes + i));
        return static_cast<std::int32_t>(value); // the sample in the top bits
    };
    if (format_.encoding == SampleEncoding::Float) {
        double value = 0.0;
        if (sampleBytes_ == 4) {
            float single = 0.0f;
            std::memcpy(&single, at, sizeof single);
            value = single;
        } else {
            std::memcpy(&value, at, sizeof value);
        }
        return std::isfinite(value) ? static_cast<float>(std::clamp(value, -1.0, 1.0)) : 0.0f;
    }
    if (sampleBytes_ == 1)
        return (static_cast<float>(at[0]) - 128.0f) / 128.0f;
    return static_cast<float>(word(static_cast<int>(sampleBytes_))) / 2147483648.0f;
}

std::uint32_t PcmDecoder::ReadSource(float* destination, std::uint32_t frames) noexcept
{
    const std::uint32_t count = std::min(frames, frames_ - position_);
    const std::uint32_t samples = count * format_.channels;
    const std::uint8_t* in = bytes_ + std::size_t{position_} * format_.channels * sampleBytes_;
    for (std::uint32_t i = 0; i < samples; ++i, in += sampleBytes_)
        destination[i] = Sample(in);
    position_ += count;
    return count;
}

std::uint32_t PcmDecoder::ReadDirect(std::int16_t* out, std::uint32_t frames) noexcept
{
    std::uint32_t done = 0;
    while (done < frames) {
        const std::uint32_t got = ReadSource(input_.data(), std::min(Chunk, frames - done));
        if (got == 0)
            break;
        std::int16_t* to = out + std::size_t{done} * format_.channels;
        for (std::size_t i = 0; i < std::size_t{got} * format_.channels; ++i)
            to[i] = ToSample(input_[i]);
        done += got;
    }
    return done;
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
