#include "GUI/LiveTiming.h"

#include "Core/Engine/TrainerGate.h"
#include "GUI/MidiInPump.h"
#include "GUI/ProgramFont.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Clock.h"
#include "System/CurrentLanguage.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace GUI {

namespace {

QString TimingString(int index)
{
    return FromTableText(System::CurrentLanguage()->GetText(index));
}

} // namespace

TimingStrip::TimingStrip(QWidget* parent) : QWidget(parent)
{
    setProperty("controlId", ControlId);
    setObjectName(QStringLiteral("timingStrip"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize TimingStrip::sizeHint() const
{
    return {160, fontMetrics().height() + 22};
}

void TimingStrip::Add(double errorMs, bool stray, bool countIn)
{
    marks_.push_back({errorMs, stray, countIn});
    while (marks_.size() > Shown)
        marks_.pop_front();
    update();
}

void TimingStrip::Clear()
{
    marks_.clear();
    update();
}

void TimingStrip::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area = rect().adjusted(1, 1, -1, -1);
    const int textHeight = fontMetrics().height();
    const QRect band(area.left(), area.top(), area.width(), area.height() - textHeight);
    painter.fillRect(band, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(band);
    const double centre = band.left() + band.width() / 2.0;
    const double half = band.width() / 2.0 - 4;
    // Lines at 10 and 25 ms either side, the centre line stronger.
    for (double ms : {-25.0, -10.0, 10.0, 25.0}) {
        const double x = centre + ms / RangeMs * half;
        painter.drawLine(QPointF(x, band.top() + band.height() * 0.35), QPointF(x, band.bottom()));
    }
    painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
    painter.drawLine(QPointF(centre, band.top() + 1), QPointF(centre, band.bottom()));

    // The newest mark tallest, the older ones shorter and paler.
    const std::size_t count = marks_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Mark& mark = marks_[i];
        const double x = centre + std::clamp(mark.errorMs, -RangeMs, RangeMs) / RangeMs * half;
        const double size = std::fabs(mark.errorMs);
        QColor colour = mark.stray ? QColor(128, 128, 128) : size <= 10 ? QColor(0, 150, 60) : size <= 25 ? QColor(220, 150, 0) : QColor(210, 30, 30);
        const double age = static_cast<double>(count - 1 - i) / static_cast<double>(Shown);
        colour.setAlphaF(1.0 - 0.7 * age);
        const double height = (band.height() - 4) * (1.0 - 0.6 * age);
        const QRectF markRect(x - 2.5, band.bottom() - 2 - height, 5, height);
        if (mark.countIn) {
            painter.setPen(QPen(colour, 1.5));
            painter.setBrush(Qt::NoBrush);
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
        }
        painter.drawRect(markRect);
    }

    // "early" at the left, "late" at the right, the newest hit's error in the middle.
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect textRow(area.left(), band.bottom() + 1, area.width(), textHeight);
    painter.drawText(textRow, Qt::AlignLeft | Qt::AlignVCenter, TimingString(TimingText::Early));
    painter.drawText(textRow, Qt::AlignRight | Qt::AlignVCenter, TimingString(TimingText::Late));
    if (!marks_.empty()) {
        const Mark& last = marks_.back();
        QString text = last.stray ? TimingString(TimingText::Stray)
                                  : TimingString(TimingText::Milliseconds).arg(QString::asprintf("%+.0f", last.errorMs));
        if (last.countIn)
            text = TimingString(TimingText::CountIn);
        painter.drawText(textRow, Qt::AlignHCenter | Qt::AlignVCenter, text);
    }
}

LiveTiming::LiveTiming(Platform::Audio::Mixer* mixer, TimingStrip& strip, QObject* parent)
    : QObject(parent), mixer_(mixer), strip_(strip)
{
    poll_.setInterval(20);
    connect(&poll_, &QTimer::timeout, this, [this] { Poll(false); });
}

LiveTiming::~LiveTiming()
{
    armed_.store(false);
    if (pump_ != nullptr)
        pump_->Forget(listener_);
}

void LiveTiming::Begin(bool switchedOn)
{
    armed_.store(false);
    Core::Timing::PlayedTick stale;
    while (ticks_.Pop(stale)) {
    }
    live_.reset();
    score_.reset();
    audio_.Stop();
    audio_.Forget();
    strip_.Clear();
    if (!switchedOn || mixer_ == nullptr)
        return;
    // No run plays now: the timer thread's counters may be set from here.
    position_ = {};
    reports_ = 0;
    live_.emplace(mixer_->SampleRate());
    armed_.store(true);
}

std::string LiveTiming::InputName() const
{
    return mixer_ != nullptr && mixer_->BackendName() == "jack" ? "jack:Tolvane:midi_in" : "alsa:Tolvane:midi_in";
}

QString LiveTiming::Listen(MidiInPump* pump, bool audio, const std::string& roundTrips)
{
    if (!live_)
        return {};
    if (audio) {
        std::string failure;
        if (!audio_.Start(*mixer_, roundTrips, failure))
            return TimingString(AudioInputText::NoAudioInput).arg(QString::fromStdString(failure));
        poll_.start();
        const QString input = QString::fromStdString(audio_.InputName());
        if (const auto ms = audio_.RoundTripMs())
            return TimingString(AudioInputText::ListeningCalibrated).arg(input, QString::number(*ms, 'f', 1));
        return TimingString(AudioInputText::ListeningUncalibrated).arg(input);
    }
    const bool jack = mixer_->BackendName() == "jack";
    if (pump == nullptr || (!jack && !pump->AlsaPortOpen()))
        return TimingString(TimingText::NoInput);
    // Notes played before this run are not its hits: they go to the other listeners first.
    pump->Poll();
    // A stream input's stamp is the cycle it arrived in: the speaker plays the frame the output's
    // latency before it, and the player hears that one the output offset later. Either input's
    // note left the instrument its own latency before it arrived.
    const double rate = mixer_->SampleRate();
    cycleToHeard_ = -(mixer_->DeviceLatencySeconds() + static_cast<double>(mixer_->HeardOffset()) / 1e9) * rate;
    inputLatency_ = inputLatencyMs_ / 1000.0 * rate;
    pump_ = pump;
    listener_ = pump->Listen([this](const Platform::Audio::StampedMidi& message) { Take(message); });
    poll_.start();
    return TimingString(TimingText::Listening)
        .arg(jack ? QStringLiteral("Tolvane:midi_in (JACK)") : QStringLiteral("Tolvane:midi_in (ALSA)"));
}

void LiveTiming::Take(const Platform::Audio::StampedMidi& message)
{
    if (live_ && message.IsNoteOn())
        live_->Hit(static_cast<double>(message.frame) + (message.heard ? 0.0 : cycleToHeard_) - inputLatency_);
}

void LiveTiming::End()
{
    armed_.store(false);
    poll_.stop();
    if (!live_)
        return;
    if (pump_ != nullptr) {
        pump_->Poll();
        pump_->Forget(listener_);
        pump_ = nullptr;
    }
    audio_.Stop();
    Poll(true);
    if (live_->HitCount() > 0)
        score_ = live_->Score();
}

void LiveTiming::OnPosition(const Core::BarPosition& position) noexcept
{
    position_ = position;
    ++reports_;
}

void LiveTiming::OnSounded(bool heard) noexcept
{
    if (!armed_.load(std::memory_order_acquire))
        return;
    Core::Timing::PlayedTick tick;
    tick.frame = Platform::CurrentSoundStamp().frame;
    tick.position = position_;
    tick.report = reports_;
    tick.heard = heard;
    ticks_.Push(tick);
    if (heard)
        audio_.Click(tick.frame);
}

void LiveTiming::Poll(bool final)
{
    // Every tick heard by now has been reported: the frame heard now, from any frame's heard
    // time on at the clock's rate (taken before the queue is emptied).
    double complete = std::numeric_limits<double>::infinity();
    if (!final) {
        const double reference = mixer_->AnchorFrame();
        complete = reference + static_cast<double>(Platform::Clock::Now() - mixer_->HeardTime(reference))
                                   * mixer_->FrameRate() / 1e9;
    }
    Core::Timing::PlayedTick tick;
    while (ticks_.Pop(tick))
        live_->Played(tick);
    for (double hit = 0; audio_.Take(hit);)
        live_->Hit(hit);
    const Core::Timing::TakeGrid& grid = live_->Grid();
    for (const Core::Timing::MatchedHit& hit : live_->Match(complete)) {
        const bool countIn = hit.position >= 0 && grid.positions[static_cast<std::size_t>(hit.position)].countIn;
        strip_.Add(hit.errorMs, hit.stray, countIn);
        if (gate_ != nullptr && !hit.stray && !countIn && hit.position >= 0)
            gate_->Hit(hit.frame + live_->Origin(), hit.errorMs);
    }
}

} // namespace GUI
