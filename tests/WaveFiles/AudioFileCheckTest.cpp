// The quick check of a user's wave file: every result code, in the order the checks run,
// with the log entry each failure writes. (The chunk walk it shares with the reader.)
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Core/WaveFiles/VerifyAudioFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

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
    // The format tag is not looked at.
    EXPECT_EQ(files.Verify("tag7.wav", Wave({7, 1, 8000, 8}, "ab")), Check::Usable);
    // Below 173 Hz the output's converter (at most 1:256 up to 44100 Hz) would give silence.
    EXPECT_EQ(files.Verify("173.wav", Wave({1, 1, 173, 16}, Pcm16({1, 2}))), Check::Usable);
    EXPECT_EQ(files.Verify("172.wav", Wave({1, 1, 172, 16}, Pcm16({1, 2}))), Check::InvalidFormat);
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
        EXPECT_TRUE(HasLine(log.Lines(), "System error: Error calling CreateFile")) << log.Content();
        EXPECT_TRUE(HasLine(log.Lines(), "\tError Code 21")) << log.Content(); // a folder
    }
    for (const std::size_t length : {std::size_t{0}, std::size_t{12}, std::size_t{35}}) {
        TestSupport::ScopedLog log;
        const std::string bytes = Riff(FormatChunk({1, 2, 44100, 16})).substr(0, length);
        EXPECT_EQ(files.Verify("short.wav", bytes), Check::CannotRead) << length << " bytes";
        EXPECT_TRUE(HasLine(log.Lines(), "System error: Error calling ReadFile")) << log.Content();
    }
    // 44 bytes hold a format and an empty data chunk.
    EXPECT_EQ(files.Verify("44.wav", Wave({1, 2, 44100, 16}, "")), Check::Usable);
}

TEST(VerifyAudioFile, RefusesWhatWouldHangOrCannotPlay)
{
    CheckFolder files;
    ASSERT_EQ(mkfifo((files.folder / "fifo.wav").c_str(), 0600), 0);
    TestSupport::WriteFile(files.folder / "huge.wav", "");
    std::filesystem::resize_file(files.folder / "huge.wav", (64u << 20) + 1);
    struct Case {
        std::string path;
        std::int32_t code;
        std::string logged;
    } cases[] = {
        {files.folder / "fifo.wav", Check::CannotOpen, "fifo.wav is not a regular file; refused"},
        {"/dev/zero", Check::CannotOpen, "/dev/zero is not a regular file; refused"},
        {files.folder / "huge.wav", Check::CannotGetSize, "holds 67108865 bytes, more than the 67108864 accepted"},
    };
    for (const Case& c : cases) {
        TestSupport::ScopedLog log;
        EXPECT_EQ(VerifyAudioFile(Wide(c.path).c_str()), c.code) << c.path;
        EXPECT_TRUE(HasLine(log.Lines(), c.logged)) << log.Content();
    }
    TestSupport::ScopedLog log;
    EXPECT_EQ(files.Verify("no-data.wav", Riff(FormatChunk({}) + Chunk("LIST", "INFO"))), Check::CannotRead);
    EXPECT_EQ(files.Verify("no-format.wav", Riff(Chunk("data", "ab"))), Check::CannotRead);
    EXPECT_TRUE(HasLine(log.Lines(), "No data chunk found in the wave file")) << log.Content();
    EXPECT_TRUE(HasLine(log.Lines(), "No format chunk found in the wave file")) << log.Content();
}
