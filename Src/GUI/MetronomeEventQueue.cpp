#include "GUI/MetronomeEventQueue.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

namespace GUI {

MetronomeEventQueue::MetronomeEventQueue(QObject* parent)
    : QObject(parent), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (wakeFd_ >= 0) {
        notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto read = ::read(wakeFd_, &count, sizeof count);
            Drain();
        });
    }
}

MetronomeEventQueue::~MetronomeEventQueue()
{
    delete notifier_;
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

bool MetronomeEventQueue::Post(const MetronomeEvent& event) noexcept
{
    if (!queue_.Push(event)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    if (wakeFd_ >= 0) {
        // A non-blocking eventfd write: a counter bump in the kernel, never a wait. It can
        // only fail when the counter is near overflow, and then a wake-up is pending anyway.
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    }
    return true;
}

void MetronomeEventQueue::Drain()
{
    MetronomeEvent event;
    while (queue_.Pop(event))
        emit Delivered(event);
}

} // namespace GUI
