// The wave reader: the chunk walk, the format it hands on, the sample buffer that only grows, and
// every way a file can fail it, hostile sizes included.
#include "WaveFixtures.h"

#include "TestSupport.h"

#include "Core/WaveFiles/WaveFile.h"

#include <gtest/gtest.h>

using namespace WaveFixtures;

namespace {

struct Read {
    bool ok = false;
    std::uint32_t fileSize = 0;
    Core::WaveFormatRecord format;
    std::uint32_t dataSize = 0;
};

struct Reader {
    Read Of(const std::string& bytes)
    {
        TestSupport::WriteFile(folder / "sound.wav", bytes);
        return At(folder / "sound.wav");
    }
    Read At(const std::string& path)
    {
        Read read;
        read.ok = wave.ReadWaveData(Wide(path).c_str(), read.fileSize, read.format, read.dataSize);
        return read;
    }

    TestSupport::TempFolder folder;
    Core::WaveFile wave;
};

std::string Ramp(std::size_t bytes)
{
    std::string data(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<char>(i * 7 + 3);
    return data;
}

} // namespace

TEST(WaveReader, WalksPastOtherChunksToTheDataChunk)
{
    TestSupport::ScopedLog log;
    Reader reader;
    const Format stereo{1, 2, 22050, 16};
    const std::string data = Ramp(1000);
    struct Case {
        const char* name;
        std::string file;
    } cases[] = {
        {"plain", Wave(stereo, data)},
        {"LIST before data", Riff(FormatChunk(stereo) + Chunk("LIST", "INFOISFT\4\0\0\0abc\0") + Chunk("data", data))},
        {"DATA in capitals", Riff(FormatChunk(stereo) + Chunk("DATA", data))},
        {"mixed case", Riff(FormatChunk(stereo) + Chunk("DaTa", data))},
        {"format chunk with extra bytes", Riff(FormatChunk(stereo, 2) + Chunk("data", data))},
        // Sizes are used as stored: an odd chunk is followed directly by the next header.
        {"odd chunk, no pad byte", Riff(FormatChunk(stereo) + Chunk("junk", "abc") + Chunk("data", data))},
        {"odd chunk, pad byte", Riff(FormatChunk(stereo) + Chunk("junk", "abc") + '\0' + Chunk("data", data))},
        // Recorders and editors put their own chunks before the format.
        {"JUNK, bext and LIST first", Riff(Chunk("JUNK", std::string(28, '\0')) + Chunk("bext", "a") + '\0'
                                           + Chunk("LIST", "INFO") + FormatChunk(stereo) + Chunk("data", data))},
    };
    for (const Case& c : cases) {
        const Read read = reader.Of(c.file);
        ASSERT_TRUE(read.ok) << c.name;
        EXPECT_EQ(read.fileSize, c.file.size()) << c.name;
        EXPECT_EQ(read.dataSize, data.size()) << c.name;
        const Core::WaveFormatRecord& f = read.format;
        EXPECT_EQ((std::vector<std::uint32_t>{f.formatTag, f.channels, f.samplesPerSecond, f.averageBytesPerSecond,
                                              f.blockAlign, f.bitsPerSample, f.extraSize}),
                  (std::vector<std::uint32_t>{1, 2, 22050, 22050 * 4, 4, 16, 0}))
            << c.name;
    }
    EXPECT_TRUE(log.Content().empty()) << log.Content();
    // The sample buffer only grows: a smaller sound reuses it.
    EXPECT_EQ(reader.Of(Wave({}, Ramp(100))).dataSize, 100u);
    EXPECT_EQ(reader.wave.SampleCapacity(), data.size());
}

// Each failure is logged once, naming the step that failed or the reason; an empty file is
// refused without an entry. (Pipes and huge files the input shared with the check refuses: its test.)
TEST(WaveReader, FailuresNameTheFailingStep)
{
    Reader reader;
    const std::string header = Riff(FormatChunk({}));
    std::filesystem::create_directory(reader.folder / "folder.wav");
    TestSupport::WriteFile(reader.folder / "empty.wav", "");
    TestSupport::WriteFile(reader.folder / "12.wav", header.substr(0, 12));
    TestSupport::WriteFile(reader.folder / "30.wav", header.substr(0, 30));
    TestSupport::WriteFile(reader.folder / "no-data.wav", header);
    const std::pair<const char*, std::string> cases[] = {
        {"absent.wav", "\tFunction: Core::WaveFile::OpenWaveFile"},
        {"folder.wav", "\tFunction: Core::WaveFile::OpenWaveFile"},
        {"empty.wav", ""},
        {"12.wav", "\tFunction: Core::WaveFile::ReadRiffChunk"},
        {"30.wav", "\tFunction: Core::WaveFile::ReadWaveFileHeader"},
        {"no-data.wav", "[Error]  No data chunk found in the wave file "},
    };
    for (const auto& [name, logged] : cases) {
        TestSupport::ScopedLog log;
        EXPECT_FALSE(reader.At(reader.folder / name).ok) << name;
        const std::string content = log.Content();
        EXPECT_TRUE(logged.empty() ? content.empty() : content.find(logged) != std::string::npos)
            << name << ": " << content;
    }
    EXPECT_EQ(reader.wave.SampleCapacity(), 0u);
}

TEST(WaveReader, SizesPastTheEndNeverReachBeyondTheFile)
{
    Reader reader;
    const std::string data = Ramp(2000);
    {
        // A data size far beyond the file: only the bytes that are there are taken.
        TestSupport::ScopedLog log;
        const std::string file = Riff(FormatChunk({}) + Chunk("data", data, 0xFFFFFFF0u));
        const Read read = reader.Of(file);
        ASSERT_TRUE(read.ok);
        EXPECT_EQ(read.dataSize, data.size());
        EXPECT_EQ(reader.wave.SampleCapacity(), data.size());
        EXPECT_TRUE(log.Has("[Warn]"));
    }
    {
        // A chunk before the data that claims more than the file holds hides the data chunk.
        TestSupport::ScopedLog log;
        const Read read = reader.Of(Riff(FormatChunk({}) + Chunk("LIST", "INFO", 0xFFFFFFFFu) + Chunk("data", data)));
        EXPECT_FALSE(read.ok);
        EXPECT_TRUE(log.Has("No data chunk"));
    }
    {
        // A chunk size that, with its header, wraps to 0 in 32 bits must not stall the walk.
        TestSupport::ScopedLog log;
        EXPECT_FALSE(reader.Of(Riff(FormatChunk({}) + Chunk("LIST", "INFO", 0xFFFFFFF8u) + Chunk("data", data))).ok);
    }
    {
        // A format chunk size that wraps a 32-bit offset does not bring the walk back.
        TestSupport::ScopedLog log;
        std::string file = Wave({}, data);
        file.replace(16, 4, Le32(0xFFFFFFEC));
        EXPECT_FALSE(reader.Of(file).ok);
    }
}
