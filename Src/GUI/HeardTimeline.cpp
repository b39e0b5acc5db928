#include "GUI/HeardTimeline.h"

#include "Platform/Clock.h"

#include <QSocketNotifier>

#include <algorithm>

#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace GUI {

HeardTimeline::HeardTimeline(std::function<void(const Entry&)> heard, std::function<void()> woken, QObject* parent)
    : QObject(parent)
    , heard_(std::move(heard))
    , woken_(std::move(woken))
    , wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    , timerFd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    for (const int fd : {wakeFd_, timerFd_}) {
        if (fd < 0)
            continue;
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, fd] {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto read = ::read(fd, &count, sizeof count);
            Service();
        });
        (fd == wakeFd_ ? wakeNotifier_ : timerNotifier_) = notifier;
    }
}

HeardTimeline::~HeardTimeline()
{
    delete wakeNotifier_;
    delete timerNotifier_;
    for (const int fd : {wakeFd_, timerFd_}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool HeardTimeline::Post(std::int32_t value) noexcept
{
    const std::int64_t heard = Platform::CurrentTickHeardTime();
    const Entry entry{value, generation_.load(std::memory_order_acquire),
                      heard != 0 ? heard : Platform::Clock::Now()};
    if (!queue_.Push(entry))
        return false;
    if (wakeFd_ >= 0) {
        // A non-blocking eventfd write: a counter bump in the kernel, never a wait.
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    }
    return true;
}

void HeardTimeline::Clear()
{
    // A value posted with the old count is dropped when it comes out of the queue, even one
    // pushed after this by a tick that read the count just before.
    generation_.fetch_add(1, std::memory_order_acq_rel);
    Entry stale;
    while (queue_.Pop(stale)) {
    }
    wakeAt_ = 0;
    Arm();
}

void HeardTimeline::WakeAt(std::int64_t time)
{
    wakeAt_ = time == 0 ? 0 : std::max<std::int64_t>(time, 1);
    Arm();
}

void HeardTimeline::Service()
{
    const std::int64_t now = Platform::Clock::Now();
    const std::uint32_t generation = generation_.load(std::memory_order_acquire);
    bool due = false;
    Entry latest;
    while (const Entry* front = queue_.Front()) {
        // Without a timer every value is shown as soon as it arrives.
        if (front->generation == generation && front->heardTime > now && timerFd_ >= 0)
            break;
        if (front->generation == generation) {
            latest = *front;
            due = true;
        }
        queue_.Drop();
    }
    if (due)
        heard_(latest);
    if (wakeAt_ != 0 && (wakeAt_ <= now || timerFd_ < 0)) {
        wakeAt_ = 0;
        if (woken_)
            woken_();
    }
    Arm();
}

void HeardTimeline::Arm()
{
    if (timerFd_ < 0)
        return;
    std::int64_t next = wakeAt_;
    if (const Entry* front = queue_.Front())
        next = next == 0 ? front->heardTime : std::min(next, front->heardTime);
    // Zero disarms; a time already past fires at once.
    next = next == 0 ? 0 : std::max<std::int64_t>(next, 1);
    itimerspec at{};
    at.it_value.tv_sec = static_cast<time_t>(next / 1'000'000'000);
    at.it_value.tv_nsec = static_cast<long>(next % 1'000'000'000);
    if (timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &at, nullptr) != 0 && next != 0)
        QMetaObject::invokeMethod(this, [this] { Service(); }, Qt::QueuedConnection);
}

} // namespace GUI
