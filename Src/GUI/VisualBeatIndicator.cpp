#include "GUI/VisualBeatIndicator.h"

#include "Configuration/ConfigurationData.h"
#include "GUI/MarkerPalette.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/Clock.h"
#include "Platform/Thread.h"
#include "System/ErrorReport.h"

#include <QEvent>
#include <QPainter>

#include <cstring>

#include <sys/timerfd.h>
#include <unistd.h>

namespace GUI {

namespace {

constexpr float RingWidth = 2.0f;
constexpr float EdgeWidth = 2.0f;
constexpr int LargestSize = 7;

} // namespace

VisualBeatIndicator::VisualBeatIndicator(QWidget* parent)
    : QWidget(parent)
    , backBuffer_(Width, Height, QImage::Format_RGB32)
    , buttonFace_(palette().color(QPalette::Button).rgb())
    , frame_(Width, Height, QImage::Format_RGB32)
    , staged_(Width, Height, QImage::Format_RGB32)
    , timerFd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    setProperty("controlId", ControlId);
    setGeometry(230, 76, Width, Height);
    setFixedSize(Width, Height);
    setAttribute(Qt::WA_OpaquePaintEvent);
    backBuffer_.fill(buttonFace_.load());
    frame_.fill(buttonFace_.load());
    if (timerFd_ >= 0) {
        timerNotifier_ = new QSocketNotifier(timerFd_, QSocketNotifier::Read, this);
        connect(timerNotifier_, &QSocketNotifier::activated, this, &VisualBeatIndicator::ShowStagedPicture);
    }
}

VisualBeatIndicator::~VisualBeatIndicator()
{
    StopDrawing();
    delete timerNotifier_;
    if (timerFd_ >= 0)
        ::close(timerFd_);
}

void VisualBeatIndicator::StartDrawing(const Configuration::ConfigurationData& settings)
{
    std::lock_guard run(runMutex_);
    if (thread_.joinable()) {
        drawing_.store(false);
        Signal();
        thread_.join();
    }
    for (std::size_t voice = 0; voice < sizes_.size(); ++voice) {
        sizes_[voice] = settings.Size[voice];
        colours_[voice] = settings.Colour[voice];
    }
    Beat stale{};
    while (beats_.Pop(stale)) {
    }
    drawing_.store(true);
    // The GUI thread paints each beat's picture: on a busy machine a normal thread waits for
    // a processor for tens of milliseconds, so while the lamp shows beats it runs at the
    // prompt priority (a 32 x 32 copy per beat), and gets its own scheduling back when the
    // lamp stops.
    guiPriority_.Raise();
    // Beats signalled from here on are the new thread's, even before it first waits.
    const std::uint32_t seen = beatSignal_.load(std::memory_order_acquire);
    if (!Platform::StartThread(thread_, [this, seen] { DrawingThread(seen); })) {
        drawing_.store(false);
        System::ReportThreadCreationError();
    }
}

void VisualBeatIndicator::ShowBeat(std::int32_t voiceIndex)
{
    Queue(voiceIndex);
}

void VisualBeatIndicator::ClearBeat()
{
    Queue(-1);
}

void VisualBeatIndicator::Queue(std::int32_t voiceIndex)
{
    const std::int64_t heard = Platform::CurrentTickHeardTime();
    // A full queue (a drawing thread far behind) loses the beat rather than block the timer.
    beats_.Push(Beat{voiceIndex, heard != 0 ? heard : Platform::Clock::Now()});
    Signal();
}

void VisualBeatIndicator::StopDrawing()
{
    std::lock_guard run(runMutex_);
    drawing_.store(false);
    Signal();
    if (thread_.joinable())
        thread_.join();
    guiPriority_.Restore();
}

bool VisualBeatIndicator::IsDrawing() const
{
    std::lock_guard run(runMutex_);
    return thread_.joinable();
}

QImage VisualBeatIndicator::ShownImage() const
{
    std::lock_guard lock(frameMutex_);
    return frame_.copy();
}

void VisualBeatIndicator::Signal()
{
    // A counter that the drawing thread waits on: a futex wake, no lock and no allocation.
    // Beats that arrive while a picture is being drawn collapse into one.
    beatSignal_.fetch_add(1, std::memory_order_release);
    beatSignal_.notify_one();
}

void VisualBeatIndicator::DrawingThread(std::uint32_t seen)
{
    // A beat drawn late is shown late: the thread only copies a small disc per beat.
    Platform::RaiseToPromptPriority();
    const QRgb face = buttonFace_.load();
    const float centreX = static_cast<float>(Width / 2);
    const float centreY = static_cast<float>(Height / 2);
    const auto staged = [this] {
        std::lock_guard lock(frameMutex_);
        return pictureStaged_;
    };
    for (;;) {
        Beat beat{};
        if (!beats_.Pop(beat)) {
            beatSignal_.wait(seen, std::memory_order_acquire);
            seen = beatSignal_.load(std::memory_order_acquire);
            if (!drawing_.load())
                break;
            continue;
        }
        // One picture waits for the GUI thread at a time; later beats queue up meanwhile. The
        // GUI thread wakes this thread only while it waits here.
        waitingForShow_.store(true);
        while (drawing_.load() && staged()) {
            beatSignal_.wait(seen, std::memory_order_acquire);
            seen = beatSignal_.load(std::memory_order_acquire);
        }
        waitingForShow_.store(false);
        if (!drawing_.load())
            break;
        backBuffer_.fill(face);
        const std::int32_t voice = beat.voice;
        if (voice >= 0 && voice < static_cast<std::int32_t>(sizes_.size())) {
            const auto index = static_cast<std::size_t>(voice);
            // Size 7 fills the lamp (radius 13); each step smaller takes 2 pixels off the radius.
            const float radius = centreY - 2.0f * static_cast<float>(LargestSize - sizes_[index]) - 3.0f;
            circle_.Draw(backBuffer_, MarkerColour(colours_[index]), face, radius, centreX, centreY, RingWidth,
                         EdgeWidth);
        }
        StageBackBuffer(beat.heardTime);
    }
    // The run is over: the lamp goes dark, and a picture still waiting is not shown.
    backBuffer_.fill(face);
    PublishBackBuffer();
}

void VisualBeatIndicator::StageBackBuffer(std::int64_t heardTime)
{
    {
        std::lock_guard lock(frameMutex_);
        std::memcpy(staged_.bits(), backBuffer_.constBits(), static_cast<std::size_t>(backBuffer_.sizeInBytes()));
        stagedDue_ = heardTime;
        pictureStaged_ = true;
    }
    // The GUI thread sets the timer itself, so that it wakes on its own processor's timer.
    QMetaObject::invokeMethod(this, &VisualBeatIndicator::ArmForStagedPicture, Qt::QueuedConnection);
}

void VisualBeatIndicator::ArmForStagedPicture()
{
    std::int64_t due = 0;
    {
        std::lock_guard lock(frameMutex_);
        if (!pictureStaged_)
            return;
        due = stagedDue_;
    }
    if (timerFd_ < 0) {
        ShowStagedPicture();
        return;
    }
    // An absolute time of zero would disarm the timer; a time past fires at once.
    due = std::max<std::int64_t>(due, 1);
    itimerspec at{};
    at.it_value.tv_sec = static_cast<time_t>(due / 1'000'000'000);
    at.it_value.tv_nsec = static_cast<long>(due % 1'000'000'000);
    if (timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &at, nullptr) != 0)
        ShowStagedPicture();
}

void VisualBeatIndicator::ShowStagedPicture()
{
    if (timerFd_ >= 0) {
        std::uint64_t expirations = 0;
        [[maybe_unused]] const auto read = ::read(timerFd_, &expirations, sizeof expirations);
    }
    bool early = false;
    {
        std::lock_guard lock(frameMutex_);
        if (!pictureStaged_)
            return;
        early = stagedDue_ > Platform::Clock::Now() && timerFd_ >= 0;
        if (!early) {
            std::memcpy(frame_.bits(), staged_.constBits(), static_cast<std::size_t>(staged_.sizeInBytes()));
            frameFresh_ = true;
            pictureStaged_ = false;
        }
    }
    if (early) {
        // Woken before its time (the timer was set for an earlier picture): wait on.
        ArmForStagedPicture();
        return;
    }
    if (waitingForShow_.load())
        Signal();
    repaint();
}

void VisualBeatIndicator::PublishBackBuffer()
{
    {
        std::lock_guard lock(frameMutex_);
        std::memcpy(frame_.bits(), backBuffer_.constBits(), static_cast<std::size_t>(backBuffer_.sizeInBytes()));
        frameFresh_ = true;
        pictureStaged_ = false;
    }
    if (!repaintQueued_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                repaintQueued_.store(false);
                // Painted now rather than on a later update request: one trip through the
                // event loop less between the beat being heard and the lamp showing it.
                repaint();
            },
            Qt::QueuedConnection);
    }
}

void VisualBeatIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    std::lock_guard lock(frameMutex_);
    // Only a beat's own repaint shows its disc; any other repaint shows the empty lamp.
    if (!frameFresh_)
        frame_.fill(buttonFace_.load());
    frameFresh_ = false;
    painter.drawImage(0, 0, frame_);
}

void PaintWithoutWaitingForTheDisplayServer()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

void VisualBeatIndicator::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        buttonFace_.store(palette().color(QPalette::Button).rgb());
    QWidget::changeEvent(event);
}

} // namespace GUI
