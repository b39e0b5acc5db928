#include "System/CurrentLanguage.h"

#include "System/DefaultLanguage.h"

#include <atomic>

namespace System {

namespace {

std::atomic<std::shared_ptr<const ILanguage>>& Installed()
{
    // Kept until exit, so a report written while the program ends still finds a table.
    static auto* installed = new std::atomic<std::shared_ptr<const ILanguage>>(BuiltInLanguage());
    return *installed;
}

} // namespace

std::shared_ptr<const ILanguage> BuiltInLanguage()
{
    static const auto* builtIn = new std::shared_ptr<const ILanguage>(std::make_shared<const DefaultLanguage>());
    return *builtIn;
}

std::shared_ptr<const ILanguage> CurrentLanguage()
{
    return Installed().load(std::memory_order_acquire);
}

void SetCurrentLanguage(std::shared_ptr<const ILanguage> language)
{
    if (!language)
        language = BuiltInLanguage();
    Installed().store(std::move(language), std::memory_order_release);
}

} // namespace System
