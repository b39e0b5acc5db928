// The quick check of a user's wave file: every result code, in the order the checks run,
// with the log entry each failure writes. (The chunk walk it shares with the reader.)
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Core/WaveFiles/VerifyAudioFile.h"
#include "System/DefaultLanguage.h"
#include "System/LanguageFileReader.h"

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
        {"1MiB+1.wav", WaveOfSize({3, 2, 192000, 32}, 1048577), Check::LargeFile, ""}, // warned, not refused
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
        EXPECT_EQ(log.Has(c.name + " is refused: "), c.code != Check::Usable && c.code != Check::LargeFile) << c.name;
    }
    EXPECT_EQ(VerifyAudioFile(u""), Check::NotFound);
}

// A refused file's message names the voice by its number and role, the file, and what is wrong
// with it, in every shipped language; each refusal is logged once.
TEST(VerifyAudioFile, RefusalsNameTheVoiceTheFileAndWhatIsWrong)
{
    CheckFolder files;
    std::string guid = FormatChunk({0xFFFE, 2, 48000, 24}, 24); // a sub-format of no format tag
    const struct {
        int voice;
        std::string name, bytes;
        std::int32_t code;
        std::string detail; // the value the reason names
    } cases[] = {
        // The format is checked before the size: a large file in a bad format is refused.
        {8, "7999.wav", WaveOfSize({1, 1, 7999, 16}, 1048577), Check::InvalidFormat, "7999"},
        {9, "192001.wav", Wave({1, 1, 192001, 16}, "ab"), Check::InvalidFormat, "192001"},
        {0, "adpcm.wav", Wave({2, 1, 44100, 4}, "ab"), Check::InvalidFormat, "ADPCM"},
        {2, "tag92.wav", Wave({0x92, 2, 44100, 16}, "ab"), Check::InvalidFormat, "0x0092"},
        {5, "guid.wav", Riff(guid.replace(32, 4, "GUID") + Chunk("data", "abcdef")), Check::InvalidFormat, "0xFFFE"},
        {6, "16bit float.wav", Wave({3, 1, 44100, 16}, "ab"), Check::InvalidFormat, "16"},
        {11, "3ch.wav", Wave({1, 3, 44100, 16}, "abcdef"), Check::InvalidFormat, "3"},
        {1, "absent.wav", "-", Check::NotFound, ""},
    };
    const std::shared_ptr<const System::ILanguage> languages[] = {
        std::make_shared<System::DefaultLanguage>(), System::LoadLanguageFile(TOLVANE_LANG_SOURCE_DIR "/de.lng"),
        System::LoadLanguageFile(TOLVANE_LANG_SOURCE_DIR "/fr.lng")};
    for (const auto& c : cases) {
        const std::string path = files.folder / c.name;
        if (c.bytes != "-")
            TestSupport::WriteFile(path, c.bytes);
        TestSupport::ScopedLog log;
        Core::FormatVerdict verdict;
        const std::int32_t code = VerifyAudioFile(Wide(path).c_str(), &verdict);
        EXPECT_EQ(code, c.code) << c.name;
        const std::string logged = log.Content(), line = c.name + " is refused: ";
        EXPECT_TRUE(logged.find(line) != std::string::npos && logged.find(line) == logged.rfind(line)) << logged;
        for (const auto& language : languages) {
            const std::u16string text = Core::AudioFileRefusalText(*language, c.voice, Wide(path), code, verdict);
            const std::string shown = Platform::Text::Utf16ToUtf8(text);
            const std::u16string row =
                Wide(std::to_string(c.voice + 1) + " (") + language->GetText(System::VoiceRoleText(c.voice)) + u")";
            EXPECT_NE(text.find(row), std::u16string::npos) << shown;
            EXPECT_NE(shown.find(path), std::string::npos) << shown;
            EXPECT_NE(shown.find(c.detail), std::string::npos) << shown;
            EXPECT_EQ(shown.find('%'), std::string::npos) << shown; // every place holder filled
        }
    }
}
