// Where the program finds what it ships (language files, manual): beside the executable first,
// then in an installed copy's share folder relative to it.
#include "Platform/Files.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct Layout {
    const char* name;
    std::vector<std::string> present; // created under the tree
    const char* expected;             // the folder found, relative to the tree
};

class ShippedFolder : public ::testing::TestWithParam<Layout> {};

TEST_P(ShippedFolder, BesideTheExecutableFirstThenTheInstalledFolder)
{
    TestSupport::TempFolder tree;
    for (const std::string& path : GetParam().present)
        std::filesystem::create_directories(tree / path);
    const std::string bin = tree / "bin/";
    std::filesystem::create_directories(bin);
    EXPECT_EQ(Platform::ShippedFolderFor(bin, "Lang", "../share/tolvane/"), tree / GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ShippedFolder,
                         ::testing::Values(Layout{"BuildTree", {"bin/Lang"}, "bin/"},
                                           Layout{"Installed", {"share/tolvane/Lang"}, "bin/../share/tolvane/"},
                                           Layout{"BothBesideWins", {"bin/Lang", "share/tolvane/Lang"}, "bin/"},
                                           Layout{"NeitherBeside", {"share/other/Lang"}, "bin/"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
