// The kit's renderings kept on disk: found again only whole and only for the same key.
#include "TestSupport.h"

#include "Platform/Audio/KitCache.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

using Platform::Audio::KitCache;
using Platform::Audio::KitRendering::NoteHeader;

namespace {

struct Damage {
    const char* name;
    std::function<void(const std::string& file, const std::string& folder)> apply;
};

} // namespace

class DamagedKitCache : public testing::TestWithParam<Damage> {};

// A file that is cut short, changed, padded, replaced by another note's rendering or by a link
// is never used; the next Store replaces it and it is found again.
TEST_P(DamagedKitCache, IsIgnoredAndRewritten)
{
    TestSupport::TempFolder folder;
    const std::string soundFont = folder.Path() + "kit.sf2";
    std::ofstream(soundFont) << "not really a soundfont, but a file with a size and a time";
    const std::string cacheFolder = folder.Path() + "cache/";
    std::filesystem::create_directory(cacheFolder);
    // Made afresh for each look, as each launch of the program makes its own.
    const auto cache = [&] { return KitCache(soundFont, 44100, cacheFolder); };
    const NoteHeader header{38, 100, 0, 3};
    const std::vector<float> samples{0.1f, -0.1f, 0.2f, -0.2f, 0.3f, -0.3f};
    ASSERT_TRUE(cache().Store(header, samples));
    const std::string file = cache().FileOf(38, 100);
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(cache().Find(38, 100).has_value());
    EXPECT_EQ(cache().Find(38, 100)->samples, samples);

    GetParam().apply(file, cacheFolder);
    EXPECT_FALSE(cache().Find(38, 100).has_value());
    ASSERT_TRUE(cache().Store(header, samples));
    ASSERT_TRUE(cache().Find(38, 100).has_value());
    EXPECT_EQ(cache().Find(38, 100)->samples, samples);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedKitCache,
    testing::Values(
        Damage{"CutShort", [](const std::string& file, const std::string&) {
                   std::filesystem::resize_file(file, std::filesystem::file_size(file) - 5);
               }},
        Damage{"SampleChanged", [](const std::string& file, const std::string&) {
                   std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
                   stream.seekp(static_cast<std::streamoff>(std::filesystem::file_size(file)) - 12);
                   stream.put(0x7f);
               }},
        Damage{"Padded", [](const std::string& file, const std::string&) { std::ofstream(file, std::ios::app) << "x"; }},
        Damage{"AnotherNotesFile", [](const std::string& file, const std::string& folder) {
                   const KitCache other(folder + "../kit.sf2", 48000, folder);
                   ASSERT_TRUE(other.Store(NoteHeader{38, 100, 0, 1}, {0.5f, 0.5f}));
                   std::filesystem::rename(other.FileOf(38, 100), file);
               }},
        Damage{"SoundFontChanged", [](const std::string&, const std::string& folder) {
                   std::ofstream(folder + "../kit.sf2", std::ios::app) << "grown";
               }},
        Damage{"Link", [](const std::string& file, const std::string& folder) {
                   std::ofstream(folder + "elsewhere") << "x";
                   std::filesystem::remove(file);
                   std::filesystem::create_symlink(folder + "elsewhere", file);
               }}),
    [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });
