#include "Core/WaveFiles/WaveFormat.h"

#include "Platform/Text.h"
#include "System/ILanguage.h"

#include <cstdio>

namespace Core {

namespace {

constexpr std::uint16_t PcmTag = 1;
constexpr std::uint16_t FloatTag = 3;
constexpr std::uint16_t ExtensibleTag = 0xFFFE;

// [Text] entries of the faults, in the order of FormatFault from Encoding on; an encoding
// without a name has the next one.
constexpr int NamedEncodingText = 28, UnnamedEncodingText = 29, IntegerBitsText = 30, FloatBitsText = 31,
              ChannelsText = 32, RateText = 33;

struct Encoding {
    std::uint32_t tag;
    const char16_t* name;
};

// The compressed encodings met in wave files, named as their makers name them.
constexpr Encoding Encodings[] = {
    {0x0002, u"ADPCM"},  {0x0006, u"A-law"},       {0x0007, u"\u00B5-law"}, {0x0011, u"IMA ADPCM"},
    {0x0031, u"GSM 6.10"}, {0x0050, u"MPEG"},      {0x0055, u"MP3"},        {0x0161, u"WMA"},
    {0x00FF, u"AAC"},    {0x1610, u"AAC"},         {0xF1AC, u"FLAC"},       {0x6771, u"Vorbis"},
};

} // namespace

FormatVerdict JudgeWaveFormat(const WaveFormatRecord& format) noexcept
{
    using Platform::Audio::SampleEncoding;
    FormatVerdict verdict;
    std::uint32_t tag = format.formatTag;
    if (tag == ExtensibleTag)
        tag = format.subFormat == NoSubFormat ? PcmTag : format.subFormat;
    if (tag != PcmTag && tag != FloatTag)
        return {FormatFault::Encoding, tag, {}};
    const SampleEncoding encoding = tag == FloatTag ? SampleEncoding::Float : SampleEncoding::Integer;
    std::uint32_t bits = format.bitsPerSample;
    if (encoding == SampleEncoding::Integer && bits >= 8 && bits <= 32)
        bits = (bits + 7) / 8 * 8; // 20 bits are stored in 3 bytes, their top bits
    if (!Platform::Audio::PlayableWidth(encoding, bits))
        return {encoding == SampleEncoding::Float ? FormatFault::FloatBits : FormatFault::IntegerBits,
                format.bitsPerSample, {}};
    if (format.channels != 1 && format.channels != 2)
        return {FormatFault::Channels, format.channels, {}};
    if (format.samplesPerSecond < Platform::Audio::LowestMaterialRate
        || format.samplesPerSecond > Platform::Audio::HighestMaterialRate)
        return {FormatFault::Rate, format.samplesPerSecond, {}};
    verdict.pcm = {format.channels, format.samplesPerSecond, static_cast<std::uint16_t>(bits), encoding};
    return verdict;
}

std::u16string DescribeFault(const System::ILanguage& language, const FormatVerdict& verdict)
{
    const std::u16string number = Platform::Text::Utf8ToUtf16(std::to_string(verdict.value));
    switch (verdict.fault) {
    case FormatFault::None:
        return {};
    case FormatFault::Encoding:
        for (const Encoding& encoding : Encodings) {
            if (encoding.tag == verdict.value)
                return Platform::Text::WithArguments(language.GetText(NamedEncodingText), {encoding.name});
        }
        if (verdict.value == OtherSubFormat)
            return Platform::Text::WithArguments(language.GetText(UnnamedEncodingText), {u"0xFFFE"});
        {
            char tag[8];
            std::snprintf(tag, sizeof tag, "0x%04X", static_cast<unsigned>(verdict.value));
            return Platform::Text::WithArguments(language.GetText(UnnamedEncodingText), {Platform::Text::Utf8ToUtf16(tag)});
        }
    case FormatFault::IntegerBits:
        return Platform::Text::WithArguments(language.GetText(IntegerBitsText), {number});
    case FormatFault::FloatBits:
        return Platform::Text::WithArguments(language.GetText(FloatBitsText), {number});
    case FormatFault::Channels:
        return Platform::Text::WithArguments(language.GetText(ChannelsText), {number});
    case FormatFault::Rate:
        return Platform::Text::WithArguments(language.GetText(RateText), {number});
    }
    return {};
}

} // namespace Core
