#pragma once
#include "Core/WaveFiles/WaveFileInput.h"
#include "Platform/Audio/SampleSound.h"

#include <cstdint>
#include <string>

namespace System {
class ILanguage;
}

namespace Core {

/// What keeps a wave file's format from being played, in the order it is looked for.
enum class FormatFault : std::uint8_t {
    None,
    Encoding,    ///< compressed or unknown: value is the format tag (or OtherSubFormat)
    IntegerBits, ///< value is the bits per sample
    FloatBits,   ///< value is the bits per sample
    Channels,    ///< value is the channel count
    Rate,        ///< value is the sample rate
};

/// A wave format judged: what is wrong with it, or how its samples are decoded.
struct FormatVerdict {
    FormatFault fault = FormatFault::None;
    std::uint32_t value = 0;
    Platform::Audio::PcmFormat pcm; ///< when fault is None
};

/// Judges a format chunk: uncompressed integer PCM (tag 1) of 8, 16, 24 or 32 bits (other
/// widths up to 32 round up to the bytes they take, as writers store them), IEEE float (tag
/// 3) of 32 or 64 bits, and the extensible form (0xFFFE) with the PCM or float sub-format, or
/// with none (read as tag 1); 1 or 2 channels; LowestMaterialRate to HighestMaterialRate
/// samples per second. Pure; any thread.
FormatVerdict JudgeWaveFormat(const WaveFormatRecord& format) noexcept;

/// What is wrong, in language's words ("ADPCM compression is not supported"); empty for
/// FormatFault::None. Any thread.
std::u16string DescribeFault(const System::ILanguage& language, const FormatVerdict& verdict);

} // namespace Core
