#pragma once
#include "Platform/Audio/ResultCodes.h"

#include <cstdint>
#include <memory>
#include <vector>

typedef struct SRC_STATE_tag SRC_STATE;

namespace Platform::Audio {

/// How a sample is stored.
enum class SampleEncoding : std::uint8_t {
    Integer, ///< 8 bits unsigned around 128; 16, 24 or 32 bits signed, little-endian
    Float,   ///< IEEE float of 32 or 64 bits, little-endian, full scale at 1.0
};

/// PCM material as a wave file holds it.
struct PcmFormat {
    std::uint16_t channels = 2;       ///< 1 or 2
    std::uint32_t sampleRate = 44100; ///< LowestMaterialRate .. HighestMaterialRate frames per second
    std::uint16_t bitsPerSample = 16; ///< the bits each sample takes in the file (see SampleEncoding)
    SampleEncoding encoding = SampleEncoding::Integer;
};

/// The material rates played, each converted to the output's rate.
constexpr std::uint32_t LowestMaterialRate = 8000;
constexpr std::uint32_t HighestMaterialRate = 192000;

/// The converter changes rates by at most this factor.
constexpr std::uint32_t MaximumRateRatio = 256;

/// True for the sample widths an encoding is played in.
constexpr bool PlayableWidth(SampleEncoding encoding, std::uint32_t bits) noexcept
{
    return encoding == SampleEncoding::Float ? bits == 32 || bits == 64
                                             : bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

/// Turns PCM bytes into 16-bit frames at an output rate, from the start on, piece by piece:
/// each sample is read as a float of full scale 1 (a float sample beyond it is clipped, one
/// that is no number is silence), material at another rate goes through libsamplerate.
/// The same material always gives the same frames, however it is read in pieces. The bytes
/// are not owned and must outlive the decoder.
///
/// Open on a control thread; then one thread at a time reads (a control thread decoding a
/// sound, or the streamer thread); Read never allocates.
class PcmDecoder {
public:
    PcmDecoder() = default;
    ~PcmDecoder();
    PcmDecoder(const PcmDecoder&) = delete;
    PcmDecoder& operator=(const PcmDecoder&) = delete;

    /// Decodes bytes of format to outputRate. BadFormat for material it cannot play (other
    /// channel counts or sample widths, a rate outside LowestMaterialRate..HighestMaterialRate
    /// or more than 256 times from the output's), NoMemory.
    Result Open(const PcmFormat& format, const std::uint8_t* bytes, std::uint32_t size, std::uint32_t outputRate);
    /// Back to the first frame.
    void Rewind() noexcept;
    /// Up to frames frames (channels samples each) into out; fewer only at the end.
    std::uint32_t Read(std::int16_t* out, std::uint32_t frames) noexcept;
    /// Reads and drops frames frames.
    void Skip(std::uint64_t frames) noexcept;

    std::uint16_t Channels() const noexcept { return format_.channels; }
    /// The frames the whole material gives at the output rate, give or take the converter's
    /// rounding at the end.
    std::uint64_t ExpectedFrames() const noexcept;

private:
    static constexpr std::uint32_t Chunk = 256;
    struct ConverterDeleter {
        void operator()(SRC_STATE* state) const noexcept;
    };

    std::uint32_t ReadSource(float* destination, std::uint32_t frames) noexcept;
    float Sample(const std::uint8_t* at) const noexcept;
    std::uint32_t ReadDirect(std::int16_t* out, std::uint32_t frames) noexcept;
    static long ConverterInput(void* self, float** data);

    PcmFormat format_{};
    std::uint32_t sampleBytes_ = 2;
    const std::uint8_t* bytes_ = nullptr;
    std::uint32_t frames_ = 0;   // source frames
    std::uint32_t position_ = 0; // source frames read
    std::uint32_t outputRate_ = 0;
    double ratio_ = 1.0;
    std::unique_ptr<SRC_STATE, ConverterDeleter> converter_;
    std::vector<float> input_;     // converter input (or the samples read directly), Chunk frames
    std::vector<float> converted_; // converter output, Chunk frames
};

/// How a sound is held: whole when it lasts at most wholeSeconds at the output rate;
/// otherwise its first headSeconds are held and the rest is decoded while it plays, into a
/// ring of ringSeconds for each play (SampleStreamer).
struct SoundLimits {
    double wholeSeconds = 10.0;
    double headSeconds = 1.0;
    double ringSeconds = 0.5;
};

/// A sound ready to be played by SampleVoice: a wave file's samples decoded once at the
/// mixer's rate, held whole, or only its head when it is long (the rest is streamed from
/// the source bytes, which must then outlive every voice that plays it). Made on a control
/// thread; read-only afterwards, so any number of voices may play one sound.
class SampleSound {
public:
    /// Decodes format's bytes at outputRate. Results as PcmDecoder::Open; NoMemory when the
    /// frames cannot be allocated. On failure the sound is empty.
    Result Make(const PcmFormat& format, const std::uint8_t* bytes, std::uint32_t size, std::uint32_t outputRate,
                const SoundLimits& limits = {});
    /// Forgets the sound.
    void Clear() noexcept;

    bool Empty() const noexcept { return rate_ == 0; }
    std::uint16_t Channels() const noexcept { return format_.channels; }
    /// The output rate the frames were made for (0 while empty).
    std::uint32_t Rate() const noexcept { return rate_; }
    /// The frames held (channels samples each): the whole sound, or its head.
    const std::int16_t* Frames() const noexcept { return frames_.get(); }
    std::uint32_t FrameCount() const noexcept { return frameCount_; }
    /// True when more follows the frames held.
    bool Streamed() const noexcept { return streamed_; }
    /// For a streamed sound: each play's ring, in frames.
    std::uint32_t RingFrames() const noexcept { return ringFrames_; }
    /// Opens decoder on the sound's source (a streamed sound's remainder). Control thread.
    Result OpenDecoder(PcmDecoder& decoder) const;

private:
    PcmFormat format_{};
    const std::uint8_t* bytes_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t rate_ = 0;
    std::unique_ptr<std::int16_t[]> frames_;
    std::uint32_t frameCount_ = 0;
    bool streamed_ = false;
    std::uint32_t ringFrames_ = 0;
};

} // namespace Platform::Audio
