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
    struct Case {
        const char* name;
        bool needsRoot;
        void (*prepare)(const TestSupport::TempFolder& runtime, const TestSupport::TempFolder& temp);
        bool runtimeUsed;
        bool tempUsed; // else: no folder at all
    };
    const Case cases[] = {
        {"private runtime folder", false, [](auto&, auto&) {}, true, false},
        {"runtime folder others may write", false, [](auto& runtime, auto&) { chmod(runtime.Path().c_str(), 0777); },
         false, true},
        {"runtime folder of another user", true,
         [](auto& runtime, auto&) { ASSERT_EQ(chown(runtime.Path().c_str(), OtherUser, OtherUser), 0); }, false, true},
        {"own temp folder left from before", false,
         [](auto& runtime, auto& temp) {
             chmod(runtime.Path().c_str(), 0777);
             mkdir(Own(temp).c_str(), 0700);
         },
         false, true},
        {"temp folder planted by another user", true,
         [](auto& runtime, auto& temp) {
             chmod(runtime.Path().c_str(), 0777);
             mkdir(Own(temp).c_str(), 0700);
             ASSERT_EQ(chown(Own(temp).c_str(), OtherUser, OtherUser), 0);
         },
         false, false},
        {"temp folder others may write", false,
         [](auto& runtime, auto& temp) {
             chmod(runtime.Path().c_str(), 0777);
             mkdir(Own(temp).c_str(), 0700);
             chmod(Own(temp).c_str(), 0733);
         },
         false, false},
        {"link planted at the temp folder's name", false,
         [](auto& runtime, auto& temp) {
             chmod(runtime.Path().c_str(), 0777);
             ASSERT_EQ(symlink(runtime.Path().c_str(), Own(temp).c_str()), 0);
         },
         false, false},
    };
    for (const Case& c : cases) {
        if (c.needsRoot && geteuid() != 0)
            continue; // making another user's folder needs root
        TestSupport::TempFolder runtime;
        TestSupport::TempFolder temp;
        c.prepare(runtime, temp);
        std::string problem;
        const std::string folder = Platform::RuntimeFolderFor(runtime.Path(), temp.Path(), problem);
        if (c.runtimeUsed) {
            EXPECT_EQ(folder, runtime.Path()) << c.name;
        } else if (c.tempUsed) {
            EXPECT_EQ(folder, Own(temp) + "/") << c.name;
            struct stat info {};
            ASSERT_EQ(lstat(Own(temp).c_str(), &info), 0) << c.name;
            EXPECT_EQ(info.st_mode & 07777, 0700u) << c.name;
        } else {
            EXPECT_EQ(folder, "") << c.name;
            EXPECT_FALSE(problem.empty()) << c.name;
        }
        chmod(runtime.Path().c_str(), 0700);
    }
}
