#include "Platform/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// An environment variable set while it lives, then as it was.
struct Variable {
    Variable(const char* name, const std::string& value) : name(name)
    {
        if (const char* old = std::getenv(name))
            previous = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~Variable() { previous ? ::setenv(name, previous->c_str(), 1) : ::unsetenv(name); }
    const char* name;
    std::optional<std::string> previous;
};

// XDG_CONFIG_HOME and TMPDIR point into one temporary folder for the test's duration.
class DataFolder : public ::testing::Test {
protected:
    DataFolder() { ::mkdir((root_ / "tmp").c_str(), 01777); }
    std::string Config() const { return root_ / "config/tolvane"; }
    std::string Temporary() const { return root_ / ("tmp/tolvane-" + std::to_string(::geteuid())); }

    TestSupport::TempFolder root_;
    Variable xdg_{"XDG_CONFIG_HOME", root_ / "config"};
    Variable tmp_{"TMPDIR", root_ / "tmp"};
};

} // namespace

// The configuration folder when nothing is there yet; the temporary folder when others may
// write into the configuration folder.
TEST_F(DataFolder, OnlyAFolderOfThisUserAloneIsUsedOrNone)
{
    for (const bool othersMayWrite : {false, true}) {
        std::filesystem::remove_all(root_ / "config");
        std::filesystem::create_directories(root_ / "config");
        if (othersMayWrite) {
            std::filesystem::create_directories(Config());
            ::chmod(Config().c_str(), 0777);
        }
        const std::string chosen = Platform::DataFolderFor("");
        EXPECT_EQ(chosen, (othersMayWrite ? Temporary() : Config()) + "/");
        struct stat info {};
        ASSERT_EQ(::lstat(chosen.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }

    // With the temporary folder open to others as well, none.
    ::chmod(Temporary().c_str(), 0777);
    EXPECT_EQ(Platform::DataFolderFor(""), "");

    // The executable's folder is used only when it is private too.
    const std::string program = root_ / "bin";
    std::filesystem::create_directories(program);
    ::chmod(program.c_str(), 0755);
    EXPECT_EQ(Platform::DataFolderFor(program + "/"), program + "/");
    ::chmod(program.c_str(), 0775);
    EXPECT_EQ(Platform::DataFolderFor(program + "/"), "");
}
