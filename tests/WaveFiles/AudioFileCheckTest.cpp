// The quick check of a user's wave file: every result code, in the order the checks run,
// with the log entry each failure writes, and what the Audio Files page shows for it.
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Core/VerifyAudioFile.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace WaveFixtures;
using Core::VerifyAudioFile;
namespace Check = Core::AudioFileCheck;

namespace {

struct CheckFolder {
    std::int32_t Verify(const std::string& name, const std::string& bytes)
    {
        TestSupport::WriteFile(folder / name, bytes);
        return VerifyAudioFile(Wide(folder / name).c_str());
    }
    TestSupport::TempFolder folder;
};

bool HasLine(const std::vector<std::string>& lines, const std::string& text)
{
    for (const std::string& line : lines) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

TEST(VerifyAudioFile, FormatLimitsAndSize)
{
    TestSupport::ScopedLog log;
    CheckFolder files;
    const Format cd{1, 2, 44100, 16};
    EXPECT_EQ(files.Verify("cd.wav", WaveOfSize(cd, 200 * 1024)), Check::Usable);
    EXPECT_EQ(files.Verify("48k.wav", WaveOfSize({1, 2, 48000, 16}, 200 * 1024)), Check::InvalidFormat);
    EXPECT_EQ(files.Verify("24bit.wav", WaveOfSize({1, 2, 44100, 24}, 4096)), Check::InvalidFormat);
    EXPECT_EQ(files.Verify("8bit.wav", WaveOfSize({1, 1, 22050, 8}, 4096)), Check::Usable);
    EXPECT_EQ(files.Verify("1MiB.wav", WaveOfSize(cd, 1048576)), Check::Usable);
    EXPECT_EQ(files.Verify("1MiB+1.wav", WaveOfSize(cd, 1048577)), Check::LargeFile);
    // The format is checked before the size: a large file in a bad format is refused.
    EXPECT_EQ(files.Verify("large48k.wav", WaveOfSize({1, 2, 48000, 16}, 1048577)), Check::InvalidFormat);
    // Neither the format tag, the chunk ids nor a data chunk are looked at.
    EXPECT_EQ(files.Verify("bare.wav", Riff(FormatChunk({7, 1, 8000, 8}))), Check::Usable);
    EXPECT_EQ(files.Verify("list-first.wav",
                           Riff(FormatChunk(cd) + Chunk("LIST", "INFOabcd") + Chunk("DATA", Pcm16({1, 2})))),
              Check::Usable);
    EXPECT_TRUE(log.Content().empty()) << log.Content();
}

TEST(VerifyAudioFile, MissingFolderEmptyAndShortFiles)
{
    CheckFolder files;
    {
        TestSupport::ScopedLog log;
        EXPECT_EQ(VerifyAudioFile(Wide(files.folder / "absent.wav").c_str()), Check::NotFound);
        EXPECT_EQ(VerifyAudioFile(u""), Check::NotFound);
        EXPECT_TRUE(log.Content().empty()) << "a missing file is not a failure of a call";
    }
    {
        TestSupport::ScopedLog log;
        std::filesystem::create_directory(files.folder / "folder.wav");
        EXPECT_EQ(VerifyAudioFile(Wide(files.folder / "folder.wav").c_str()), Check::CannotOpen);
        const auto lines = log.Lines();
        ASSERT_EQ(lines.size(), 6u) << log.Content();
        EXPECT_TRUE(HasLine(lines, "System error: Error calling CreateFile"));
        EXPECT_EQ(lines[2], "\tFunction: Core::VerifyAudioFile");
        EXPECT_EQ(lines[4], "\tError Code 21");
    }
    for (const std::size_t length : {std::size_t{0}, std::size_t{12}, std::size_t{35}}) {
        TestSupport::ScopedLog log;
        const std::string bytes = Riff(FormatChunk({1, 2, 44100, 16})).substr(0, length);
        EXPECT_EQ(files.Verify("short.wav", bytes), Check::CannotRead) << length << " bytes";
        EXPECT_TRUE(HasLine(log.Lines(), "System error: Error calling ReadFile")) << log.Content();
    }
    // 36 bytes hold everything the check reads.
    EXPECT_EQ(files.Verify("36.wav", Riff(FormatChunk({1, 2, 44100, 16}))), Check::Usable);
}

TEST(AudioFileCheckMessages, OnlyTheLargeFileWarningAcceptsAfterABox)
{
    using Icon = Core::AudioFileCheckMessage::Icon;
    for (std::int32_t code = -1; code <= 8; ++code) {
        const auto message = Core::MessageForAudioFileCheck(code);
        const bool failure = code >= Check::NotFound && code <= Check::CannotRead;
        EXPECT_EQ(message.showBox, failure || code == Check::LargeFile || code == Check::InvalidFormat) << code;
        EXPECT_EQ(message.accepted, !failure && code != Check::InvalidFormat) << code;
        if (message.showBox) {
            EXPECT_EQ(message.icon, failure ? Icon::Warning : Icon::Information) << code;
        }
    }
    // Seek and read failures share one message.
    EXPECT_EQ(Core::MessageForAudioFileCheck(Check::CannotSeek).message,
              Core::MessageForAudioFileCheck(Check::CannotRead).message);
}
