#pragma once
// Small helpers shared by the test suites: a temporary folder that cleans up after itself,
// whole-file reads and writes, a log file installed as the program's log for one test, a
// generous wait for what another thread does, and the process's thread count.
#include "System/Log.h"
#include "System/LogFile.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace TestSupport {

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        path_ += '/';
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    /// The folder with a trailing '/'.
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

/// A language table's entry as a string; "<none>" for an entry the table does not have.
inline std::u16string Text(const char16_t* text) { return text ? std::u16string(text) : u"<none>"; }

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

/// Splits at "\r\n"; a trailing line end gives no empty last line.
inline std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0, end = 0; start < text.size(); start = end + 2) {
        end = std::min(text.find("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

/// Installs a log file in a temporary folder as the program's log while it lives.
class ScopedLog {
public:
    ScopedLog()
        : log_(std::make_unique<System::LogFile>(folder_ / "Tolvane.log"))
    {
        System::SetLog(log_.get());
    }
    ~ScopedLog() { System::SetLog(nullptr); }

    System::LogFile& Log() { return *log_; }
    std::string Content() const { return ReadFile(log_->Path()); }
    std::vector<std::string> Lines() const { return SplitLines(Content()); }
    bool Has(const std::string& text) const { return Content().find(text) != std::string::npos; }

private:
    TempFolder folder_;
    std::unique_ptr<System::LogFile> log_;
};

/// Polls every millisecond until condition holds; false once the (generous) time-out passed.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

/// Threads of this process. Sanitizers start a helper thread of their own with the first
/// thread a process makes; it is made to exist before anything is counted.
inline int ThreadCount()
{
    static const bool helperStarted = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)helperStarted;
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

} // namespace TestSupport
