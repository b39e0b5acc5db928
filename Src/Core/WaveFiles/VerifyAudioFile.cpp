#include "Core/WaveFiles/VerifyAudioFile.h"

#include "Core/WaveFiles/WaveFileInput.h"
#include "Platform/Text.h"
#include "System/DefaultLanguage.h"
#include "System/ErrorReport.h"
#include "System/Log.h"

#include <cerrno>
#include <string>

namespace Core {

namespace {

constexpr char16_t SourceFile[] = u".\\Src\\Core\\VerifyAudioFile";
constexpr char16_t Function[] = u"Core::VerifyAudioFile";
// [Message] entry of a refusal: the voice, its role, the file, and the check's message.
constexpr int RefusalText = 59;

std::int32_t Report(int line, const char16_t* call, std::int32_t code)
{
    System::ReportSystemError(SourceFile, Function, line, u"Error calling %s", call);
    return code;
}

const char* Reason(std::int32_t code)
{
    using namespace AudioFileCheck;
    switch (code) {
    case NotFound:
        return "not found (no file at the path, or a link that leads to none)";
    case CannotOpen:
        return "it cannot be opened for reading as a regular file";
    case CannotGetSize:
        return "it is larger than any sound the program plays";
    case CannotSeek:
    case CannotRead:
        return "no format and data chunk could be read from it";
    default:
        return "";
    }
}

std::int32_t Check(const char16_t* path, FormatVerdict& verdict)
{
    using namespace AudioFileCheck;
    if (path == nullptr || !PathExists(path))
        return NotFound;

    WaveFileInput file;
    WaveFileHeader header;
    switch (ReadWaveHeader(path, file, header)) {
    case WaveHeaderStep::Done:
        break;
    case WaveHeaderStep::Open:
        return Report(__LINE__, u"CreateFile", CannotOpen);
    case WaveHeaderStep::NotRegular:
        return CannotOpen;
    case WaveHeaderStep::TooLarge:
        return CannotGetSize;
    case WaveHeaderStep::Seek:
        return Report(__LINE__, u"SetFilePointer", CannotSeek);
    case WaveHeaderStep::Empty:
        errno = ENODATA;
        [[fallthrough]];
    case WaveHeaderStep::ReadChunkHeader:
    case WaveHeaderStep::ReadFormat:
        return Report(__LINE__, u"ReadFile", CannotRead);
    case WaveHeaderStep::Malformed:
        return CannotRead;
    }

    verdict = JudgeWaveFormat(header.format);
    if (verdict.fault != FormatFault::None)
        return InvalidFormat;
    if (header.fileSize > LargeAudioFileBytes)
        return LargeFile;
    return Usable;
}

} // namespace

std::int32_t VerifyAudioFile(const char16_t* path, FormatVerdict* verdict)
{
    FormatVerdict judged;
    const std::int32_t code = Check(path, judged);
    if (verdict != nullptr)
        *verdict = judged;
    if (code == AudioFileCheck::Usable || code == AudioFileCheck::LargeFile)
        return code;
    // One line for every refused file, whatever else was logged on the way.
    const std::string name = path == nullptr ? std::string() : Platform::Text::Utf16ToUtf8(path);
    const std::string why = code == AudioFileCheck::InvalidFormat
                                ? Platform::Text::Utf16ToUtf8(DescribeFault(System::DefaultLanguage(), judged))
                                : std::string(Reason(code));
    System::Log().Write(System::Warn, "The audio file %s is refused: %s", name.c_str(), why.c_str());
    return code;
}

AudioFileCheckMessage MessageForAudioFileCheck(std::int32_t code) noexcept
{
    using Icon = AudioFileCheckMessage::Icon;
    switch (code) {
    case AudioFileCheck::NotFound:
        return {true, 9, 13, Icon::Warning, false};
    case AudioFileCheck::CannotOpen:
        return {true, 10, 14, Icon::Warning, false};
    case AudioFileCheck::CannotGetSize:
        return {true, 11, 15, Icon::Warning, false};
    case AudioFileCheck::CannotSeek:
    case AudioFileCheck::CannotRead:
        return {true, 12, 16, Icon::Warning, false};
    case AudioFileCheck::LargeFile:
        return {true, 14, 18, Icon::Information, true};
    case AudioFileCheck::InvalidFormat:
        return {true, 13, 17, Icon::Information, false};
    default:
        return {};
    }
}

std::u16string AudioFileRefusalText(const System::ILanguage& language, int voice, std::u16string_view path,
                                    std::int32_t code, const FormatVerdict& verdict)
{
    const std::u16string number = Platform::Text::Utf8ToUtf16(std::to_string(voice + 1));
    const char16_t* role = language.GetText(System::VoiceRoleText(voice));
    const std::u16string why = Platform::Text::WithArguments(language.GetMessage(MessageForAudioFileCheck(code).message),
                                                             {DescribeFault(language, verdict)});
    return Platform::Text::WithArguments(language.GetMessage(RefusalText),
                                         {number, role == nullptr ? u"" : role, path, why});
}

} // namespace Core
