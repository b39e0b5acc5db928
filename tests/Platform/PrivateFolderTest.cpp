// The folder for the user's sockets: never one that another user owns or may write into, and
// never through a symbolic link.
#include "Platform/PrivateFolder.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t OtherUser = 65534; // nobody

std::string Own(const TestSupport::TempFolder& temp) { return temp / ("tolvane-" + std::to_string(geteuid())); }

} // namespace

TEST(PrivateFolder, OnlyAFolderOfTheUsersOwnThatNobodyElseWrites)
{
    const struct {
        const char* name;
        std::string runtime; // "private", "open" (others may write) or "other" (another user's)
        std::string temp;    // already at the temp folder's name: nothing, "own", "other", "open" or "link"
        char used;           // 'r' the runtime folder, 't' the temp folder, '-' none
    } cases[] = {
        {"private runtime folder", "private", "", 'r'},
        {"runtime folder others may write", "open", "", 't'},
        {"runtime folder of another user", "other", "", 't'},
        {"own temp folder left from before", "open", "own", 't'},
        {"temp folder planted by another user", "open", "other", '-'},
        {"temp folder others may write", "open", "open", '-'},
        {"link planted at the temp folder's name", "open", "link", '-'},
    };
    for (const auto& c : cases) {
        if ((c.runtime == "other" || c.temp == "other") && geteuid() != 0)
            continue; // making another user's folder needs root
        TestSupport::TempFolder runtime;
        TestSupport::TempFolder temp;
        const std::string own = Own(temp);
        chmod(runtime.Path().c_str(), c.runtime == "open" ? 0777 : 0700);
        ASSERT_TRUE(c.runtime != "other" || chown(runtime.Path().c_str(), OtherUser, OtherUser) == 0);
        ASSERT_TRUE(c.temp != "link" || symlink(runtime.Path().c_str(), own.c_str()) == 0);
        if (c.temp != "link" && !c.temp.empty())
            mkdir(own.c_str(), 0700);
        if (c.temp == "open")
            chmod(own.c_str(), 0733);
        ASSERT_TRUE(c.temp != "other" || chown(own.c_str(), OtherUser, OtherUser) == 0);
        std::string problem;
        const std::string folder = Platform::RuntimeFolderFor(runtime.Path(), temp.Path(), problem);
        EXPECT_EQ(folder, c.used == 'r' ? runtime.Path() : c.used == 't' ? own + "/" : "") << c.name;
        struct stat info {};
        EXPECT_TRUE(c.used != 't' || (lstat(own.c_str(), &info) == 0 && (info.st_mode & 07777) == 0700u)) << c.name;
        EXPECT_TRUE(c.used != '-' || !problem.empty()) << c.name;
        chmod(runtime.Path().c_str(), 0700);
    }
}
