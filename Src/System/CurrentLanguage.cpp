#include "System/CurrentLanguage.h"

#include "System/DefaultLanguage.h"

#include <mutex>

namespace System {

namespace {

// A short lock around the pointer copy; never taken on the tick path (the multimedia error
// report that reads a text from another thread writes a log entry anyway). libstdc++'s
// std::atomic<std::shared_ptr> would do, but its internal spin lock is invisible to
// ThreadSanitizer.
struct Holder {
    std::mutex mutex;
    std::shared_ptr<const ILanguage> current = BuiltInLanguage();
};

Holder& Installed()
{
    // Kept until exit, so a report written while the program ends still finds a table.
    static auto* holder = new Holder();
    return *holder;
}

} // namespace

std::shared_ptr<const ILanguage> BuiltInLanguage()
{
    static const auto* builtIn = new std::shared_ptr<const ILanguage>(std::make_shared<const DefaultLanguage>());
    return *builtIn;
}

std::shared_ptr<const ILanguage> CurrentLanguage()
{
    Holder& holder = Installed();
    std::lock_guard lock(holder.mutex);
    return holder.current;
}

void SetCurrentLanguage(std::shared_ptr<const ILanguage> language)
{
    if (!language)
        language = BuiltInLanguage();
    Holder& holder = Installed();
    {
        std::lock_guard lock(holder.mutex);
        holder.current.swap(language);
    }
    // The old table, if this was its last owner, is freed here, outside the lock.
}

} // namespace System
