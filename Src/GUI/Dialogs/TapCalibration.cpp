#include "GUI/Dialogs/TapCalibration.h"

#include "Core/Engine/IMetronome.h"
#include "Core/Timing/OutputOffset.h"
#include "GUI/Dialogs/OffsetTexts.h"
#include "GUI/ProgramFont.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Clock.h"
#include "System/CurrentLanguage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace GUI {

namespace {

QString Text(int index)
{
    return FromTableText(System::CurrentLanguage()->GetText(index));
}

QString Plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

TapCalibration::TapCalibration(Core::IMetronome& metronome, Platform::Audio::Mixer* output,
                               const Configuration::ConfigurationData& settings, QWidget* parent)
    : QDialog(parent), metronome_(metronome), output_(output), run_(settings),
      instructions_(new QLabel(this)), pad_(new QPushButton(this)), progress_(new QLabel(this)),
      start_(new QPushButton(this)), use_(new QPushButton(this)), close_(new QPushButton(this))
{
    setWindowTitle(Text(OffsetText::CalibrationTitle));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // The plainest run: one click a beat at 80 bpm, voice 1's sound, no practice rules.
    run_.Bpm = Bpm;
    run_.BeatType = Configuration::BeatKind::Simple;
    run_.Subdivision1 = run_.Subdivision2 = run_.CompoundTime = 0;
    run_.SpeedTrainer = Configuration::TrainerMode::Off;
    run_.CountIn = 0;
    run_.GapMode = 0;
    run_.Swing = 50.0f;
    run_.CountVoice = 0;
    run_.TrainerGate = 0;
    if (run_.GlobalVolume == 0)
        run_.GlobalVolume = 100;

    instructions_->setText(Text(OffsetText::CalibrationSteps).arg(Core::Timing::CalibrationClicks));
    instructions_->setWordWrap(true);
    pad_->setText(Text(OffsetText::Pad));
    pad_->setMinimumSize(fontMetrics().horizontalAdvance(pad_->text()) + 60, fontMetrics().height() * 5);
    pad_->setAccessibleName(Plain(pad_->text()));
    pad_->setAccessibleDescription(Text(OffsetText::CalibrationSteps).arg(Core::Timing::CalibrationClicks));
    pad_->setEnabled(false);
    pad_->setAutoDefault(false); // Enter on the pad is a tap, not the default button
    progress_->setWordWrap(true);
    progress_->setMinimumHeight(fontMetrics().height() * 3);
    start_->setText(Text(OffsetText::Start));
    use_->setText(Text(OffsetText::Use));
    use_->setEnabled(false);
    close_->setText(Text(OffsetText::Close));
    for (QPushButton* button : {start_, use_, close_})
        button->setAccessibleName(Plain(button->text()));
    start_->setAccessibleDescription(Text(OffsetText::CalibrateHelp));
    start_->setObjectName(QStringLiteral("calibrationStart"));
    use_->setObjectName(QStringLiteral("calibrationUse"));
    const std::pair<QWidget*, int> ids[] = {{pad_, PadId}, {start_, StartId}, {use_, UseId}, {close_, CloseId}};
    for (const auto& [control, id] : ids)
        control->setProperty("controlId", id);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addStretch(1);
    buttons->addWidget(use_);
    buttons->addWidget(close_);
    auto* layout = new QGridLayout(this);
    layout->addWidget(instructions_, 0, 0);
    layout->addWidget(pad_, 1, 0);
    layout->addWidget(progress_, 2, 0);
    layout->addLayout(buttons, 3, 0);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);

    connect(pad_, &QPushButton::pressed, this, [this] { Tap(); });
    connect(start_, &QPushButton::clicked, this, [this] { Begin(); });
    connect(use_, &QPushButton::clicked, this, [this] {
        if (estimate_)
            accepted_ = static_cast<int>(std::lround(*estimate_));
        accept();
    });
    connect(close_, &QPushButton::clicked, this, [this] { reject(); });
    poll_.setInterval(20);
    connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
}

TapCalibration::~TapCalibration()
{
    End();
}

void TapCalibration::Begin()
{
    End();
    clicks_.clear();
    taps_.clear();
    estimate_.reset();
    use_->setEnabled(false);
    std::int64_t stale = 0;
    while (heard_.Pop(stale)) {
    }
    sounded_.store(0);
    stopped_.store(false);
    if (output_ != nullptr) {
        keptOffset_ = output_->HeardOffset();
        output_->SetHeardOffset(0);
    }
    metronome_.PrepareSounds(run_);
    if (metronome_.Start(this, run_) != 0) {
        if (output_ != nullptr)
            output_->SetHeardOffset(keptOffset_);
        progress_->setText(Text(OffsetText::TooFew).arg(0).arg(Core::Timing::CalibrationClicks).arg(Core::Timing::CalibrationLeastTaps));
        return;
    }
    playing_ = true;
    start_->setEnabled(false);
    pad_->setEnabled(true);
    pad_->setFocus();
    progress_->setText(Text(OffsetText::Progress).arg(0).arg(Core::Timing::CalibrationClicks).arg(0));
    poll_.start();
}

void TapCalibration::OnSounded(bool /*heard*/)
{
    // Only the clicks counted: a later one that slips in before Stop is not the player's to tap.
    if (sounded_.fetch_add(1, std::memory_order_relaxed) < Core::Timing::CalibrationClicks)
        heard_.Push(Platform::CurrentTickHeardTime());
}

void TapCalibration::Tap()
{
    if (playing_)
        taps_.push_back(Platform::Clock::Now());
}

void TapCalibration::keyPressEvent(QKeyEvent* event)
{
    if (playing_ && !event->isAutoRepeat() && event->key() != Qt::Key_Escape && event->key() != Qt::Key_Tab
        && event->key() != Qt::Key_Backtab) {
        Tap();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TapCalibration::mousePressEvent(QMouseEvent* event)
{
    Tap();
    QDialog::mousePressEvent(event);
}

void TapCalibration::Poll()
{
    std::int64_t heard = 0;
    while (heard_.Pop(heard))
        clicks_.push_back(heard);
    const auto now = Platform::Clock::Now();
    // Clicks heard by now.
    int shown = 0;
    for (const std::int64_t click : clicks_)
        shown += click <= now ? 1 : 0;
    progress_->setText(Text(OffsetText::Progress).arg(shown).arg(Core::Timing::CalibrationClicks).arg(taps_.size()));
    const std::int64_t interval = 60'000'000'000LL / Bpm;
    const bool allHeard = static_cast<int>(clicks_.size()) >= Core::Timing::CalibrationClicks
                          && now > clicks_.back() + interval / 2 + 250'000'000LL;
    if (allHeard || stopped_.load())
        Finish();
}

void TapCalibration::Finish()
{
    End();
    start_->setEnabled(true);
    const Core::Timing::TapEstimate estimate = Core::Timing::EstimateTapOffset(clicks_, taps_);
    if (!estimate.offsetMs) {
        progress_->setText(Text(OffsetText::TooFew)
                               .arg(estimate.answered)
                               .arg(Core::Timing::CalibrationClicks)
                               .arg(Core::Timing::CalibrationLeastTaps));
        return;
    }
    estimate_ = std::clamp(*estimate.offsetMs, -double{Core::Timing::OutputOffsetLimitMs},
                           double{Core::Timing::OutputOffsetLimitMs});
    progress_->setText(Text(OffsetText::Result)
                           .arg(estimate.answered)
                           .arg(Core::Timing::CalibrationClicks)
                           .arg(QString::asprintf("%+.0f", *estimate_)));
    use_->setEnabled(true);
    use_->setFocus();
}

void TapCalibration::End()
{
    poll_.stop();
    pad_->setEnabled(false);
    if (!playing_)
        return;
    playing_ = false;
    metronome_.Stop();
    if (output_ != nullptr)
        output_->SetHeardOffset(keptOffset_);
}

void TapCalibration::reject()
{
    End();
    QDialog::reject();
}

} // namespace GUI
