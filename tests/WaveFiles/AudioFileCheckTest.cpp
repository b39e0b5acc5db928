// The quick check of a user's wave file: every result code, in the order the checks run,
// with the log entry each failure writes. (The chunk walk it shares with the reader.)
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Core/WaveFiles/VerifyAudioFile.h"

#include <gtest/gtest.h>

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
    // Only the refused files are logged, each with its format.
    EXPECT_TRUE(log.Has("24bit.wav is refused: 44100 Hz and 24 bits per sample")) << log.Content();
    EXPECT_FALSE(log.Has("cd.wav")) << log.Content();
}

// Each failure gives its code and its log entry, in the order the checks run, and a line
// naming the file as refused.
TEST(VerifyAudioFile, FailuresGiveTheirCodeAndLogEntry)
{
    CheckFolder files;
    std::filesystem::create_directory(files.folder / "folder.wav");
    ASSERT_EQ(mkfifo((files.folder / "fifo.wav").c_str(), 0600), 0);
    TestSupport::WriteFile(files.folder / "huge.wav", "");
    std::filesystem::resize_file(files.folder / "huge.wav", (64u << 20) + 1);
    const std::string header = Riff(FormatChunk({1, 2, 44100, 16}));
    const std::string cannotRead = "System error: Error calling ReadFile";
    const struct {
        std::string name;   // in the folder unless a path; written with bytes unless they are "-"
        std::string bytes;
        std::int32_t code;
        std::string logged; // "": no entry at all
    } cases[] = {
        {"absent.wav", "-", Check::NotFound, "absent.wav is refused: not found"},
        {"folder.wav", "-", Check::CannotOpen, "\tError Code 21"},
        {"0.wav", "", Check::CannotRead, cannotRead},
        {"12.wav", header.substr(0, 12), Check::CannotRead, cannotRead},
        {"35.wav", header.substr(0, 35), Check::CannotRead, cannotRead},
        {"44.wav", Wave({1, 2, 44100, 16}, ""), Check::Usable, ""}, // a format and an empty data chunk
        {"fifo.wav", "-", Check::CannotOpen, "fifo.wav is not a regular file; refused"},
        {"huge.wav", "-", Check::CannotGetSize, "holds 67108865 bytes, more than the 67108864 accepted"},
        {"no-data.wav", Riff(FormatChunk({}) + Chunk("LIST", "INFO")), Check::CannotRead, "No data chunk found"},
        {"no-format.wav", Riff(Chunk("data", "ab")), Check::CannotRead, "No format chunk found in the wave file"},
    };
    for (const auto& c : cases) {
        const std::string path = c.name[0] == '/' ? c.name : files.folder / c.name;
        if (c.bytes != "-")
            TestSupport::WriteFile(path, c.bytes);
        TestSupport::ScopedLog log;
        EXPECT_EQ(VerifyAudioFile(Wide(path).c_str()), c.code) << c.name;
        EXPECT_TRUE(c.logged.empty() ? log.Content().empty() : log.Has(c.logged)) << c.name << ": " << log.Content();
        EXPECT_EQ(log.Has(c.name + " is refused: "), c.code != Check::Usable) << c.name;
    }
    EXPECT_EQ(VerifyAudioFile(u""), Check::NotFound);
}
