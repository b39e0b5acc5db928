#pragma once
#include "Core/WaveFiles/WaveFormat.h"

#include <cstdint>
#include <string>
#include <string_view>

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
constexpr std::int32_t InvalidFormat = 7;   ///< a format JudgeWaveFormat refuses
} // namespace AudioFileCheck

/// Files above this many bytes are accepted with a warning.
constexpr std::uint32_t LargeAudioFileBytes = 1048576;

/// Quick check of a user's wave file before it is accepted or played: it exists, is a
/// regular file of at most Platform::MaximumAudioFileBytes that opens without blocking, holds
/// a format and a data chunk (found as the wave reader finds them, ReadWaveHeader), and its
/// format is one JudgeWaveFormat accepts (its verdict goes to verdict when one is given).
/// Every refused file (any result but Usable and LargeFile) gets one Warn line "The audio
/// file PATH is refused: why"; failed system calls are also logged (system error report,
/// function "Core::VerifyAudioFile"), and refusals of the file's kind, size or layout by
/// ReadWaveHeader. Never fails itself. Any thread except the timer thread (it touches the
/// file and may log).
std::int32_t VerifyAudioFile(const char16_t* path, FormatVerdict* verdict = nullptr);

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

/// The text of the message box for voice's (0..11) file at path with check result code (and
/// its verdict for InvalidFormat), in language: the voice by its number and role, the file,
/// then the code's message with what is wrong. Any thread.
std::u16string AudioFileRefusalText(const System::ILanguage& language, int voice, std::u16string_view path,
                                    std::int32_t code, const FormatVerdict& verdict);

} // namespace Core
