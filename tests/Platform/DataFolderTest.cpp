#include "Platform/Files.h"

#include "ScopedEnvironment.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// XDG_CONFIG_HOME and TMPDIR point into one temporary folder for the test's duration.
class DataFolder : public ::testing::Test {
protected:
    DataFolder() { ::mkdir((root_ / "tmp").c_str(), 01777); }
    std::string Config() const { return root_ / "config/tolvane"; }
    std::string Temporary() const { return root_ / ("tmp/tolvane-" + std::to_string(::geteuid())); }

    TestSupport::TempFolder root_;
    TestSupport::ScopedEnvironment xdg_{"XDG_CONFIG_HOME", root_ / "config"};
    TestSupport::ScopedEnvironment tmp_{"TMPDIR", root_ / "tmp"};
};

struct Case {
    const char* name;
    void (*plant)(const std::string& config); // what is already there
    bool configUsed;
};

const Case Cases[] = {
    {"nothing yet", [](const std::string&) {}, true},
    {"others may write",
     [](const std::string& c) {
         std::filesystem::create_directories(c);
         ::chmod(c.c_str(), 0777);
     },
     false},
};

} // namespace

TEST_F(DataFolder, OnlyAFolderOfThisUserAloneIsUsed)
{
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(root_ / "config");
        std::filesystem::remove_all(Temporary());
        std::filesystem::create_directories(root_ / "config");
        c.plant(Config());
        const std::string chosen = Platform::DataFolderFor("");
        EXPECT_EQ(chosen, (c.configUsed ? Config() : Temporary()) + "/");
        struct stat info {};
        ASSERT_EQ(::lstat(chosen.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
}

TEST_F(DataFolder, NoSafeFolderMeansNone)
{
    std::filesystem::create_directories(Config());
    ::chmod(Config().c_str(), 0777);
    std::filesystem::create_directories(Temporary());
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
