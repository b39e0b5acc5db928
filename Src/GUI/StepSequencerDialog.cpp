#include "GUI/StepSequencerDialog.h"

#include "Configuration/IConfiguration.h"
#include "Core/Engine/TimerFlags.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "GUI/StepSequencerControl.h"
#include "System/CurrentLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace GUI {

using StepSequencer::StepSequencerGrid;

namespace {

constexpr int TooManyHitsTitle = 19;
constexpr int TooManyHitsText = 23;
constexpr int StopTextId = 1002;
constexpr int CloseHelp = 2; // "Closes this window"

constexpr HelpEntry HelpTexts[] = {
    {StepSequencerDialog::BarsId, 48},     {StepSequencerDialog::BeatsId, 49},
    {StepSequencerDialog::SubdivisionId, 50}, {StepSequencerDialog::CompoundId, 51},
    {StepSequencerDialog::DistinctId, 52}, {StepSequencerControl::ControlId, 53},
    {StepSequencerDialog::ClearId, 54},    {StepSequencerDialog::PlayId, 55},
    {StepSequencerDialog::SaveId, 56},     {StepSequencerDialog::CancelId, CloseHelp},
};

} // namespace

StepSequencerDialog::StepSequencerDialog(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                                         QWidget* owner)
    : Dialog(owner, DialogId, QStringLiteral("Step Sequencer"), HelpTable(HelpTexts, HelpSource::Information))
    , metronome_(metronome)
    , configuration_(configuration)
{
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    CreateControls();
    resize(Units().X(540), Units().Y(247));
    connect(&events_, &MetronomeEventQueue::Delivered, this, &StepSequencerDialog::Deliver);
    // Back in the program after another one had the screen: show the grid again.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && isVisible())
            control_->update();
    });
}

StepSequencerDialog::~StepSequencerDialog()
{
    StopPlaying();
}

void StepSequencerDialog::CreateControls()
{
    // The controls are made with their English texts; a language file's replace them at
    // each opening.
    const auto label = [this](int id, const char* text) {
        return Tag(new QLabel(QString::fromLatin1(text), this), id);
    };
    const auto combo = [this](int id, int first, int last, bool zeroFirst) {
        auto* box = Tag(new QComboBox(this), id);
        if (zeroFirst)
            box->addItem(QStringLiteral("0"));
        for (int value = first; value <= last; ++value)
            box->addItem(QString::number(value));
        connect(box, &QComboBox::activated, this, [this, id] { LengthChanged(id); });
        return box;
    };
    QLabel* barsLabel = label(1080, "Number Of Bars");
    barsLabel->setBuddy(bars_ = combo(BarsId, 1, 4, false));
    QLabel* beatsLabel = label(1081, "Beats Per Bar");
    beatsLabel->setBuddy(beats_ = combo(BeatsId, 2, 16, false));
    QLabel* subdivisionLabel = label(1030, "Beat Subdivision");
    subdivisionLabel->setBuddy(subdivision_ = combo(SubdivisionId, 2, 8, true));

    compound_ = Tag(new QCheckBox(QStringLiteral("&Compound Time"), this), CompoundId);
    connect(compound_, &QCheckBox::clicked, this, [this] { LengthChanged(CompoundId); });
    distinct_ = Tag(new QCheckBox(QStringLiteral("&Display Distinct Sounds Only"), this), DistinctId);
    connect(distinct_, &QCheckBox::clicked, this, [this] { LengthChanged(DistinctId); });

    control_ = new StepSequencerControl(this);

    const auto button = [this](int id, const char* text) {
        auto* widget = Tag(new QPushButton(QString::fromLatin1(text), this), id);
        widget->setAutoDefault(false);
        return widget;
    };
    clear_ = button(ClearId, "&Clear");
    play_ = button(PlayId, "&Play");
    save_ = button(SaveId, "&Save");
    cancel_ = button(CancelId, "Cancel");
    connect(clear_, &QPushButton::clicked, this, [this] {
        control_->Redraw(control_->Grid().ClearAll());
        ReturnFocus();
    });
    connect(play_, &QPushButton::clicked, this, &StepSequencerDialog::Play);
    connect(save_, &QPushButton::clicked, this, &StepSequencerDialog::Save);
    connect(cancel_, &QPushButton::clicked, this, [this] { done(1); });

    help_ = Tag(new QLabel(QStringLiteral("Move the mouse over an input field to display information about it here"), this),
                HelpId);
    help_->setWordWrap(true);
    help_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetHelpLine(help_);

    // The length's controls in a row along the top, at least at their English widths (dialog
    // units), with the English gaps between them; the grid below takes every pixel the
    // window grows by; the help line and the buttons along the bottom edge.
    const DialogUnits u = Units();
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, u.Y(7), 0, 8);
    window->setSpacing(0);

    auto* length = new QGridLayout;
    length->setContentsMargins(u.X(4), 0, u.X(540 - 536), 0);
    length->setSpacing(0);
    const struct {
        QWidget* control;
        int x, width; // English place, dialog units
    } row[] = {{barsLabel, 4, 60},        {bars_, 65, 41},        {beatsLabel, 111, 64}, {beats_, 177, 41},
               {subdivisionLabel, 226, 70}, {subdivision_, 298, 41}, {compound_, 344, 72}, {distinct_, 420, 116}};
    int column = 0;
    for (std::size_t i = 0; i < std::size(row); ++i) {
        // Each control's column and the gap after it, from English places rounded to pixels
        // (not widths), so that the row is as long as the English one.
        const int end = i + 1 < std::size(row) ? u.X(row[i + 1].x) : u.X(row[i].x + row[i].width);
        length->addWidget(row[i].control, 0, column);
        length->setColumnMinimumWidth(column++, u.X(row[i].width));
        length->setColumnMinimumWidth(column++, std::max(0, end - u.X(row[i].x) - u.X(row[i].width)));
    }
    length->setColumnStretch(column, 1);
    for (QComboBox* box : {bars_, beats_, subdivision_})
        box->setMinimumHeight(u.Y(12) + 2);
    window->addLayout(length);
    window->addSpacing(9);

    auto* grid = new QHBoxLayout;
    grid->setContentsMargins(11, 0, 10, 0);
    grid->addWidget(control_);
    window->addLayout(grid, 1);
    window->addSpacing(9);

    // The help line has room for two lines whatever text it shows, so that the grid keeps its
    // height as the mouse moves.
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(11, 0, 10, 0);
    bottom->setSpacing(10);
    help_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    help_->setFixedHeight(u.Y(16));
    bottom->addWidget(help_, 1);
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(3);
    column = 0;
    for (QPushButton* widget : {clear_, play_, save_, cancel_}) {
        widget->setMinimumHeight(23);
        buttons->addWidget(widget, 0, column, Qt::AlignTop);
        buttons->setColumnMinimumWidth(column++, 75);
    }
    bottom->addLayout(buttons);
    window->addLayout(bottom);
}

void StepSequencerDialog::Fit()
{
    // The window stays resizable: at least its English least size and what its texts need, a
    // larger size it has stays, and all of it at most its screen's room.
    const QSize room = ScreenRoom(*this);
    setMinimumSize(QSize(MinimumWidth, MinimumHeight).expandedTo(minimumSizeHint()).boundedTo(room));
    resize(size().boundedTo(room));
    layout()->activate();
    TipCutTexts(*this);
}

void StepSequencerDialog::TakeCurrentSettings(const Configuration::ConfigurationData& current)
{
    record_.Name = u"@";
    record_.Bpm = current.Bpm;
    record_.GlobalVolume = current.GlobalVolume;
    record_.Rhythm() = current.Rhythm();
    record_.VisualIndicator = 0;
    record_.SpeedTrainer = Configuration::TrainerMode::StepSequencer;
}

void StepSequencerDialog::Prepare(int /*argument*/)
{
    play_->setText(FromTableText(System::CurrentLanguage()->GetControlText(PlayId)));
    {
        const QSignalBlocker quietBars(bars_), quietBeats(beats_), quietSubdivision(subdivision_);
        bars_->setCurrentIndex(std::clamp(record_.CrNumBars - 1, 0, bars_->count() - 1));
        beats_->setCurrentIndex(std::clamp(record_.CrBeatsPerBar - 2, 0, beats_->count() - 1));
        subdivision_->setCurrentIndex(
            record_.DisplayedSubdiv == 0 ? 0 : std::clamp(record_.DisplayedSubdiv - 1, 0, subdivision_->count() - 1));
    }
    compound_->setChecked(record_.CrCompoundTime != 0);
    distinct_->setChecked(record_.DisplayDistinct != 0);
    control_->Initialise(record_);
    ReturnFocus();
}

int StepSequencerDialog::Open(int argument)
{
    TakeCurrentSettings(configuration_.GetData());
    return Dialog::Open(argument);
}

void StepSequencerDialog::LengthChanged(int controlId)
{
    StepSequencerGrid& grid = control_->Grid();
    switch (controlId) {
    case BeatsId:
        grid.SetBeatsPerBar(beats_->currentIndex() + 2);
        control_->Layout();
        break;
    case BarsId:
        grid.SetBarCount(bars_->currentIndex() + 1);
        control_->Layout();
        break;
    case SubdivisionId:
    case CompoundId: {
        const int index = subdivision_->currentIndex();
        grid.SetSubdivision(index == 0 ? 0 : index + 1, compound_->isChecked());
        control_->Layout();
        break;
    }
    case DistinctId:
        control_->ToggleDistinctView();
        break;
    default:
        break;
    }
    ReturnFocus();
}

bool StepSequencerDialog::WriteRhythm(Configuration::ConfigurationData& record)
{
    if (control_->Grid().WriteRhythm(record) == StepSequencerGrid::RhythmTooManyHits) {
        ShowTooManyHits();
        return false;
    }
    record.CrCompoundTime = compound_->isChecked() ? 1 : 0;
    record.DisplayDistinct = distinct_->isChecked() ? 1 : 0;
    record.CrNumBars = bars_->currentIndex() + 1;
    record.CrBeatsPerBar = beats_->currentIndex() + 2;
    const int index = subdivision_->currentIndex();
    record.DisplayedSubdiv = index == 0 ? 0 : index + 1;
    return true;
}

void StepSequencerDialog::Play()
{
    if (playing_) {
        StopPlaying();
        ReturnFocus();
        return;
    }
    if (!WriteRhythm(record_)) {
        ReturnFocus();
        return;
    }
    // Whatever beat the settings dialog had chosen, this window plays its rhythm.
    record_.BeatType = Configuration::BeatKind::CustomRhythm;
    control_->StartCursor(record_);
    // The end of an earlier run must not reach the new one.
    events_.Drain();
    const std::uint32_t result = metronome_.Start(this, record_);
    if (result != 0) {
        control_->StopCursor();
        ApplicationWindow::ShowStartError(this, result, &record_);
    } else {
        playing_ = true;
        play_->setText(FromTableText(System::CurrentLanguage()->GetControlText(StopTextId)));
    }
    ReturnFocus();
}

void StepSequencerDialog::StopPlaying()
{
    if (!playing_)
        return;
    playing_ = false;
    metronome_.Stop();
    control_->StopCursor();
    events_.Drain();
    play_->setText(FromTableText(System::CurrentLanguage()->GetControlText(PlayId)));
}

void StepSequencerDialog::Save()
{
    Configuration::ConfigurationData& current = configuration_.GetData();
    if (!WriteRhythm(current)) {
        ReturnFocus();
        return;
    }
    // The settings dialog takes the rhythm from here when it saves its own values.
    record_.Rhythm() = current.Rhythm();
    done(1);
}

void StepSequencerDialog::done(int result)
{
    // Closing by any way ends the sound; Cancel, Escape and the close box write nothing.
    StopPlaying();
    QDialog::done(result == QDialog::Rejected ? 1 : result);
}

void StepSequencerDialog::ShowTooManyHits()
{
    const auto language = System::CurrentLanguage();
    QMessageBox box(QMessageBox::Information, FromTableText(language->GetMessageTitle(TooManyHitsTitle)),
                    FromTableText(language->GetMessage(TooManyHitsText)), QMessageBox::Ok, this);
    box.exec();
}

void StepSequencerDialog::ReturnFocus()
{
    control_->setFocus(Qt::OtherFocusReason);
}

// Metronome reports. OnBeat only hands the step to the cursor; the others reach the GUI thread
// through the queue when they come from the timer thread, which must not call Qt even to ask
// which thread it is.

void StepSequencerDialog::OnTrainerStarted(std::uint32_t, bool) {}

void StepSequencerDialog::OnBeat(std::uint8_t flags, std::uint32_t)
{
    if ((flags & Core::TimerFlags::StepPlayed) != 0)
        control_->SignalCursor();
}

void StepSequencerDialog::OnStopped(std::uint32_t tempo)
{
    // Only a run that ended by itself reports from the timer thread; this thread finishes it.
    if (std::this_thread::get_id() != guiThread_)
        events_.Post(MetronomeEvent{MetronomeEvent::Stopped, 0, tempo});
}

void StepSequencerDialog::OnError(std::uint32_t messageIndex)
{
    const MetronomeEvent event{MetronomeEvent::Error, 0, messageIndex};
    if (std::this_thread::get_id() == guiThread_)
        Deliver(event);
    else
        events_.Post(event);
}

void StepSequencerDialog::Deliver(const MetronomeEvent& event)
{
    // A failed sound ended the run: the engine is closed and the cursor stops; the button
    // still offers Stop.
    if (event.kind == MetronomeEvent::Stopped)
        metronome_.Stop();
    else if (event.kind == MetronomeEvent::Error)
        control_->StopCursor();
}

} // namespace GUI
