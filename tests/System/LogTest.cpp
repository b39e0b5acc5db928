#include "Platform/SystemError.h"
#include "System/ErrorReport.h"
#include "System/LogFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <regex>

using System::LogFile;
using TestSupport::ReadFile;
using TestSupport::SplitLines;
using TestSupport::TempFolder;

namespace {

const std::regex EntryHead(R"(Date: (\d\d)/(\d\d)/(\d{4})  Time: (\d\d):(\d\d):(\d\d)  \[([A-Za-z]+)\]  (.*))");

std::string MessageOf(const std::string& line)
{
    std::smatch match;
    return std::regex_match(line, match, EntryHead) ? match[8].str() : "<not an entry: " + line + ">";
}

class LogFileTest : public testing::Test {
protected:
    std::vector<std::string> Lines() const { return SplitLines(ReadFile(log.Path())); }
    TempFolder folder;
    LogFile log{folder / "Tolvane.log"};
};

} // namespace

// Each entry has its date, time, level and message and ends with CR LF; levels above the
// threshold are not written.
TEST_F(LogFileTest, EntriesUpToTheThresholdHaveDateTimeLevelAndMessage)
{
    log.Write(System::Debug, "debug");
    log.Write(System::Information, "Unable to open %s (%d)", "Tolvane.conf", 2);
    log.SetLevel(System::Error);
    log.Write(System::Warn, "warn");
    log.Write(System::Critical, "critical");

    const std::string content = ReadFile(log.Path());
    ASSERT_GE(content.size(), 2u);
    EXPECT_EQ(content.substr(content.size() - 2), "\r\n");
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, EntryHead)) << lines[0];
    EXPECT_GE(std::stoi(match[1]), 1);   // day first
    EXPECT_LE(std::stoi(match[2]), 12);  // then month
    EXPECT_GE(std::stoi(match[3]), 2024);
    EXPECT_EQ(match[7], "Information");
    EXPECT_EQ(match[8], "Unable to open Tolvane.conf (2)");
    EXPECT_NE(lines[1].find("  [Critical]  critical"), std::string::npos);
}

TEST_F(LogFileTest, LongEntryIsCutTo1023BytesAndStillEndsItsLine)
{
    log.Write(System::Error, "%s", std::string(3000, 'x').c_str());
    // Multi-byte characters must not be split by the cut.
    log.WriteWide(System::Error, u"%s", std::u16string(1000, u'\u00FC').c_str());

    const std::string content = ReadFile(log.Path());
    const auto lines = SplitLines(content);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size() + 2, LogFile::MaximumEntry);
    EXPECT_LE(lines[1].size() + 2, LogFile::MaximumEntry);
    const std::string tail = lines[1].substr(lines[1].size() - 2);
    EXPECT_EQ(tail, "\xC3\xBC");
}

TEST_F(LogFileTest, DeletedLogIsCreatedAgain)
{
    log.Write(System::Error, "first");
    std::filesystem::remove(log.Path());
    log.Write(System::Error, "second");
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(MessageOf(lines[0]), "second");
}

// A log above 2 MiB is renamed after the time and a new one begun; while every name the
// rotation could pick is taken, entries go on into the old log.
TEST_F(LogFileTest, RotatesAbove2MiBUnlessTheNewNameIsTaken)
{
    TestSupport::WriteFile(log.Path(), std::string(2'097'152, 'a'));
    log.Write(System::Error, "at the limit");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);

    TestSupport::WriteFile(log.Path(), std::string(2'097'153, 'c'));
    const auto now = std::time(nullptr);
    std::vector<std::string> blockers;
    for (int offset = -1; offset <= 5; ++offset) {
        const std::time_t moment = now + offset;
        std::tm parts{};
        localtime_r(&moment, &parts);
        char name[32];
        std::strftime(name, sizeof name, "%d%m%Y%H%M%S.log", &parts);
        blockers.push_back(folder / name);
        TestSupport::WriteFile(blockers.back(), "occupied");
    }
    log.Write(System::Error, "kept in the old log");
    EXPECT_NE(ReadFile(log.Path()).find("kept in the old log"), std::string::npos);
    for (const auto& blocker : blockers) {
        EXPECT_EQ(ReadFile(blocker), "occupied");
        std::filesystem::remove(blocker);
    }

    log.Write(System::Error, "after rotation");
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(MessageOf(lines[0]), "after rotation");
    int rotated = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        if (entry.path().filename() == "Tolvane.log")
            continue;
        ++rotated;
        EXPECT_TRUE(std::regex_match(entry.path().filename().string(), std::regex(R"(\d{14}\.log)")));
        EXPECT_NE(ReadFile(entry.path()).find("kept in the old log"), std::string::npos); // the old log, whole
    }
    EXPECT_EQ(rotated, 1);
}

TEST_F(LogFileTest, EntriesFromManyThreadsNeverInterleave)
{
    constexpr int Threads = 6;
    constexpr int PerThread = 300;
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t)
        writers.emplace_back([this, t] {
            for (int i = 0; i < PerThread; ++i)
                log.Write(System::Error, "writer %d entry %d %s", t, i, std::string(100 + t * 50, 'a' + t).c_str());
        });
    for (auto& writer : writers)
        writer.join();

    const auto lines = Lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(Threads * PerThread));
    std::vector<int> next(Threads, 0);
    for (const auto& line : lines) {
        std::smatch match;
        const std::string message = MessageOf(line);
        ASSERT_TRUE(std::regex_match(message, match, std::regex(R"(writer (\d) entry (\d+) ([a-z]+))"))) << line;
        const int t = std::stoi(match[1]);
        EXPECT_EQ(std::stoi(match[2]), next[t]++); // each writer's entries in its own order
        EXPECT_EQ(match[3].str(), std::string(100 + t * 50, 'a' + t));
    }
}

TEST(ErrorReports, NameThePlaceAndTheCause)
{
    TestSupport::ScopedLog log;
    errno = EACCES;
    System::ReportSystemError(u".\\Src\\Core\\Timer", u"Core::Timer::SetThreadPriority", 36,
                              u"Error calling %s", u"SetThreadPriority");

    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 6u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, EntryHead));
    EXPECT_EQ(match[7], "Error");
    EXPECT_EQ(match[8], "System error: Error calling SetThreadPriority");
    EXPECT_EQ(lines[1], "\tFile: .\\Src\\Core\\Timer");
    EXPECT_EQ(lines[2], "\tFunction: Core::Timer::SetThreadPriority");
    EXPECT_EQ(lines[3], "\tLine: 36");
    EXPECT_EQ(lines[4], "\tError Code 13");
    EXPECT_EQ(lines[5], "\tDescription: Permission denied");

    // A failed thread creation is one line naming the cause, and reports the failure.
    errno = EAGAIN;
    EXPECT_FALSE(System::ReportThreadCreationError());
    ASSERT_EQ(log.Lines().size(), 7u);
    EXPECT_EQ(MessageOf(log.Lines()[6]), "Error calling _beginThreadEx: Resource temporarily unavailable");
}
