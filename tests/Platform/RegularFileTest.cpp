#include "Platform/RegularFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t Limit = 64;

// Makes a file of the kind in folder and gives the path to read: "small" (10 bytes), "full"
// (the limit), "big" (a byte over), "none" (missing), "fifo" (a pipe nobody writes to, which
// would block a plain open for ever), "folder", "link" (to a small file) or an absolute path.
std::string Make(const TestSupport::TempFolder& folder, const std::string& kind)
{
    if (kind == "small" || kind == "link")
        TestSupport::WriteFile(folder / "small", "Bpm = 133\n");
    if (kind == "full" || kind == "big")
        TestSupport::WriteFile(folder / kind, std::string(kind == "full" ? Limit : Limit + 1, 'x'));
    if (kind == "fifo")
        ::mkfifo((folder / "fifo").c_str(), 0600);
    if (kind == "link")
        ::symlink((folder / "small").c_str(), (folder / "link").c_str());
    return kind == "folder" ? folder.Path() : kind[0] == '/' ? kind : folder / kind;
}

} // namespace

TEST(ReadRegularFile, ReadsOnlyBoundedRegularFilesWithoutBlockingAndTellsAMissingOne)
{
    using Platform::Links;
    using Problem = Platform::ReadProblem;
    const struct {
        const char* kind;
        Links links;
        Problem problem;
        std::size_t size;
    } cases[] = {
        {"small", Links::Refuse, Problem::None, 10},        {"full", Links::Refuse, Problem::None, Limit},
        {"big", Links::Refuse, Problem::TooLarge, 0},       {"none", Links::Refuse, Problem::CannotOpen, 0},
        {"fifo", Links::Follow, Problem::NotRegular, 0},    {"/dev/zero", Links::Follow, Problem::NotRegular, 0},
        {"folder", Links::Follow, Problem::NotRegular, 0},  {"link", Links::Refuse, Problem::NotRegular, 0},
        {"link", Links::Follow, Problem::None, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const TestSupport::TempFolder folder;
        std::string bytes = "stale";
        const Platform::ReadOutcome outcome = Platform::ReadRegularFile(Make(folder, c.kind), Limit, bytes, c.links);
        EXPECT_EQ(outcome.problem, c.problem);
        EXPECT_EQ(bytes.size(), c.size);
        EXPECT_FALSE(Platform::DescribeReadProblem(outcome, Limit).empty());
    }

    // A missing file is told from an unreadable one.
    const TestSupport::TempFolder folder;
    std::string bytes;
    EXPECT_TRUE(Platform::ReadRegularFile(folder / "none", Limit, bytes).Missing());
    EXPECT_FALSE(Platform::ReadRegularFile(folder.Path(), Limit, bytes).Missing());
    EXPECT_EQ(Platform::DescribeReadProblem(Platform::ReadRegularFile(folder.Path(), Limit, bytes), Limit),
              "not a regular file");
}
