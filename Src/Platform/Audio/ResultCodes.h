#pragma once
#include <cstdint>

/// Result codes of the audio layer. They keep the numbers of the multimedia system and
/// waveform-output errors, so that the sound engines' code-to-message table applies to them
/// unchanged.
namespace Platform::Audio {

using Result = std::uint32_t;

constexpr Result NoError = 0;
constexpr Result Error = 1;           ///< unspecified error
constexpr Result BadDeviceId = 2;     ///< device identifier out of range
constexpr Result Allocated = 4;       ///< resource already allocated
constexpr Result InvalidHandle = 5;   ///< device handle is invalid
constexpr Result NoDriver = 6;        ///< no device driver present (no soundfont, no output)
constexpr Result NoMemory = 7;        ///< unable to allocate memory
constexpr Result NotSupported = 8;    ///< function not supported
constexpr Result InvalidFlag = 10;    ///< invalid flag passed
constexpr Result InvalidParameter = 11; ///< invalid parameter passed
constexpr Result BadFormat = 32;      ///< unsupported waveform format
constexpr Result StillPlaying = 33;   ///< buffers are still queued
constexpr Result Unprepared = 34;     ///< header not prepared

} // namespace Platform::Audio
