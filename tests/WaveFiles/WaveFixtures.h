#pragma once
// Wave files made in the tests: RIFF containers with the chunks each case needs, PCM sample
// data, and UTF-16 paths for the program's calls.
#include "Platform/Text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace WaveFixtures {

inline std::string Le32(std::uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

inline std::string Le16(std::uint16_t value)
{
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

struct Format {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
};

/// A chunk: id, stored size (the body's length unless given), body.
inline std::string Chunk(const std::string& id, const std::string& body, std::int64_t storedSize = -1)
{
    return id + Le32(storedSize < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(storedSize))
           + body;
}

/// The format chunk; extraBytes beyond the 16 standard ones are appended (and counted).
inline std::string FormatChunk(const Format& format, std::size_t extraBytes = 0)
{
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(format.channels * (format.bits / 8));
    const std::string body = Le16(format.tag) + Le16(format.channels) + Le32(format.rate)
                             + Le32(format.rate * blockAlign) + Le16(blockAlign) + Le16(format.bits)
                             + std::string(extraBytes, '\0');
    return Chunk("fmt ", body);
}

/// "RIFF" size "WAVE" followed by the chunks.
inline std::string Riff(const std::string& chunks)
{
    return "RIFF" + Le32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

/// A plain wave file: format chunk, then a "data" chunk with the sample bytes.
inline std::string Wave(const Format& format, const std::string& data)
{
    return Riff(FormatChunk(format) + Chunk("data", data));
}

/// 16-bit little-endian sample bytes.
inline std::string Pcm16(const std::vector<std::int16_t>& samples)
{
    std::string bytes;
    for (const std::int16_t sample : samples)
        bytes += Le16(static_cast<std::uint16_t>(sample));
    return bytes;
}

/// A wave file of exactly totalBytes whose data chunk fills the rest (16-bit mono).
inline std::string WaveOfSize(const Format& format, std::size_t totalBytes)
{
    const std::size_t overhead = Wave(format, "").size();
    return Wave(format, std::string(totalBytes - overhead, '\x01'));
}

inline std::u16string Wide(const std::string& path)
{
    return Platform::Text::Utf8ToUtf16(path);
}

} // namespace WaveFixtures
