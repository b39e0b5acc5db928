#include "Platform/RegularFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t Limit = 64;

struct Case {
    const char* name;
    // Makes the file at path; returns the path to read.
    std::string (*make)(const TestSupport::TempFolder& folder);
    Platform::Links links;
    Platform::ReadProblem problem;
    std::size_t size;
};

std::string Small(const TestSupport::TempFolder& folder)
{
    TestSupport::WriteFile(folder / "small", "Bpm = 133\n");
    return folder / "small";
}

const Case Cases[] = {
    {"regular file", Small, Platform::Links::Refuse, Platform::ReadProblem::None, 10},
    {"exactly the limit",
     [](const TestSupport::TempFolder& f) {
         TestSupport::WriteFile(f / "full", std::string(Limit, 'x'));
         return f / "full";
     },
     Platform::Links::Refuse, Platform::ReadProblem::None, Limit},
    {"one byte over the limit",
     [](const TestSupport::TempFolder& f) {
         TestSupport::WriteFile(f / "big", std::string(Limit + 1, 'x'));
         return f / "big";
     },
     Platform::Links::Refuse, Platform::ReadProblem::TooLarge, 0},
    {"missing", [](const TestSupport::TempFolder& f) { return f / "none"; }, Platform::Links::Refuse,
     Platform::ReadProblem::CannotOpen, 0},
    // A pipe nobody writes to would block a plain open for ever.
    {"named pipe",
     [](const TestSupport::TempFolder& f) {
         ::mkfifo((f / "fifo").c_str(), 0600);
         return f / "fifo";
     },
     Platform::Links::Follow, Platform::ReadProblem::NotRegular, 0},
    {"endless device", [](const TestSupport::TempFolder&) { return std::string("/dev/zero"); },
     Platform::Links::Follow, Platform::ReadProblem::NotRegular, 0},
    {"folder", [](const TestSupport::TempFolder& f) { return f.Path(); }, Platform::Links::Follow,
     Platform::ReadProblem::NotRegular, 0},
    {"link refused",
     [](const TestSupport::TempFolder& f) {
         ::symlink(Small(f).c_str(), (f / "link").c_str());
         return f / "link";
     },
     Platform::Links::Refuse, Platform::ReadProblem::NotRegular, 0},
    {"link followed",
     [](const TestSupport::TempFolder& f) {
         ::symlink(Small(f).c_str(), (f / "link").c_str());
         return f / "link";
     },
     Platform::Links::Follow, Platform::ReadProblem::None, 10},
};

} // namespace

TEST(ReadRegularFile, ReadsOnlyBoundedRegularFilesWithoutBlocking)
{
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        const TestSupport::TempFolder folder;
        std::string bytes = "stale";
        const Platform::ReadOutcome outcome = Platform::ReadRegularFile(c.make(folder), Limit, bytes, c.links);
        EXPECT_EQ(outcome.problem, c.problem);
        EXPECT_EQ(bytes.size(), c.size);
        EXPECT_FALSE(Platform::DescribeReadProblem(outcome, Limit).empty());
    }
}

TEST(ReadRegularFile, TellsAMissingFileFromAnUnreadableOne)
{
    const TestSupport::TempFolder folder;
    std::string bytes;
    EXPECT_TRUE(Platform::ReadRegularFile(folder / "none", Limit, bytes).Missing());
    EXPECT_FALSE(Platform::ReadRegularFile(folder.Path(), Limit, bytes).Missing());
    EXPECT_EQ(Platform::DescribeReadProblem(Platform::ReadRegularFile(folder.Path(), Limit, bytes), Limit),
              "not a regular file");
}
