#pragma once
#include <cstdint>

namespace Core {

/// Result codes of VerifyAudioFile, in the order the checks run.
namespace AudioFileCheck {
constexpr std::int32_t Usable = 0;
constexpr std::int32_t NotFound = 1;        ///< no file or folder at the path
constexpr std::int32_t CannotOpen = 2;      ///< not openable for reading (a folder, no permission), or no regular file
constexpr std::int32_t CannotGetSize = 3;   ///< larger than Platform::MaximumAudioFileBytes
constexpr std::int32_t CannotSeek = 4;
constexpr std::int32_t CannotRead = 5;      ///< no format or data chunk could be read
constexpr std::int32_t LargeFile = 6;       ///< a warning: usable, but larger than 1 MiB
constexpr std::int32_t InvalidFormat = 7;   ///< outside LowestSampleRate()..44100 Hz, or above 16 bits per sample
} // namespace AudioFileCheck

/// Files above this many bytes are accepted with a warning.
constexpr std::uint32_t LargeAudioFileBytes = 1048576;

/// Quick check of a user's wave file before it is accepted or played: it exists, is a
/// regular file of at most Platform::MaximumAudioFileBytes that opens without blocking, holds
/// a format and a data chunk (found as the wave reader finds them, ReadWaveHeader), and its
/// format asks for LowestSampleRate() to 44100 samples per second and at most 16 bits per
/// sample. The format tag and the channels are not looked at. Every refused file (any result
/// but Usable and LargeFile) gets one Warn line "The audio file PATH is refused: why"; failed
/// system calls are also logged (system error report, function "Core::VerifyAudioFile"), and
/// refusals of the file's kind, size or layout by ReadWaveHeader. Never fails itself. Any thread except the timer thread (it
/// touches the file and may log).
std::int32_t VerifyAudioFile(const char16_t* path);

/// The lowest sample rate the output can resample from (the converter takes at most a 1:256
/// ratio).
std::uint32_t LowestSampleRate() noexcept;

/// How the Audio Files page answers a check result.
struct AudioFileCheckMessage {
    enum class Icon { None, Warning, Information };
    bool showBox = false; ///< false: nothing is shown
    int title = 0;        ///< [MessageTitle] number, when showBox
    int message = 0;      ///< [Message] number, when showBox
    Icon icon = Icon::None;
    bool accepted = true; ///< whether the file is taken
};

/// The message for a result code of VerifyAudioFile; codes outside 0..7 show nothing and
/// count as accepted. Pure; any thread.
AudioFileCheckMessage MessageForAudioFileCheck(std::int32_t code) noexcept;

} // namespace Core
