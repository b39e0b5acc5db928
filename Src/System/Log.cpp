#include "System/Log.h"

#include "System/LogFile.h"

#include <atomic>

namespace System {

namespace {
std::atomic<ILog*> installed{nullptr};

ILog& DefaultLog()
{
    // Made on first use and kept until exit, so reports from any thread find it alive.
    static LogFile* log = new LogFile();
    return *log;
}
} // namespace

ILog& Log()
{
    ILog* log = installed.load(std::memory_order_acquire);
    return log ? *log : DefaultLog();
}

void SetLog(ILog* log)
{
    installed.store(log, std::memory_order_release);
}

} // namespace System
