// The main window's layout, its texts in the current language, the room for them, and what
// assistive technology learns of its controls.
//
// The window is at least 400 x 300 pixels in English. A translation whose texts need more room
// widens the controls that hold them, and the layout the window with them, so that no text is
// cut. A larger window scales the read-out and the lamp and lengthens the sliders.
#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/ExportDialog.h"
#include "GUI/Dialogs/SetlistDialog.h"
#include "GUI/Dialogs/SongEditorDialog.h"
#include "GUI/Dialogs/SongTexts.h"

#include "GUI/BeatView.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/LiveTiming.h"
#include "GUI/ProgramFont.h"
#include "GUI/Statusbar.h"
#include "GUI/ScreenFit.h"
#include "GUI/Toolbar.h"
#include "GUI/VisualBeatIndicator.h"
#include "System/CurrentLanguage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QAction>
#include <QSlider>
#include <QSpacerItem>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace GUI {

namespace {

constexpr int Margin = 10;        // the controls' distance from the window's sides
constexpr int TextPadding = 12;   // a push button's frame and margins beside its text
constexpr int StatusPadding = 24; // the status line's margins beside its text, and a little air
constexpr int SliderLength = 280; // the sliders' least length
constexpr int BarCounterNameText = 45; // [Text] 46: "Bar counter"

// The status line's help for the commands and controls.
constexpr HelpEntry StatusHelpEntries[] = {
    {ApplicationWindow::LanguageCommand, 0},      {ApplicationWindow::ExitCommand, 1},
    {ApplicationWindow::OptionsCommand, 2},       {ApplicationWindow::SoundSettingsCommand, 3},
    {ApplicationWindow::AudioFilesCommand, 4},    {ApplicationWindow::PresetsCommand, 5},
    {ApplicationWindow::HelpCommand, 7},          {ApplicationWindow::AboutCommand, 8},
    {BeatsPerMinuteDisplay::ControlId, 9},        {VisualBeatIndicator::ControlId, 10},
    {ApplicationWindow::StartStopId, 11},         {ApplicationWindow::TempoSliderId, 12},
    {ApplicationWindow::VolumeSliderId, 13},      {ApplicationWindow::TapId, 14},
    {ApplicationWindow::BarCounterId, 15},
    {ApplicationWindow::DiaryCommand, 16},
};

int TextWidth(const QWidget* widget, const QString& text)
{
    return widget->fontMetrics().horizontalAdvance(text);
}

} // namespace

const HelpTable& ApplicationWindow::StatusHelp()
{
    static constexpr HelpTable table(StatusHelpEntries, HelpSource::StatusInfo);
    return table;
}

QString ApplicationWindow::StatusText(int id)
{
    return StatusHelp().Text(id);
}

void ApplicationWindow::ShowStatus(int id)
{
    if (statusbar_)
        statusbar_->SetText(StatusText(id));
}

bool ApplicationWindow::SwitchLanguage(const std::u16string& name)
{
    if (!startup_.SwitchLanguage(name))
        return false; // the controls keep the texts they have
    if (client_)
        ShowLanguage();
    return true;
}

void ApplicationWindow::ShowLanguage()
{
    const auto language = System::CurrentLanguage();
    ApplyMenuTexts();
    toolbar_->SetTexts();
    display_->ReloadLabel();
    ShowTempo(display_->Tempo(), false);
    const auto setText = [&language](auto* control, int id) {
        if (const char16_t* text = language->GetControlText(id))
            control->setText(FromTableText(text));
    };
    ShowStartStopText();
    setText(tap_, TapId);
    setText(tempoLabel_, TempoLabelId);
    setText(volumeLabel_, VolumeLabelId);
    if (const char16_t* title = language->GetText(0))
        setWindowTitle(FromTableText(title));
    DescribeControls();
    FitToTexts();
    if (songEditor_)
        songEditor_->ApplyTexts();
    if (setlistDialog_)
        setlistDialog_->ApplyTexts();
}

void ApplicationWindow::ApplyViewTexts()
{
    const auto language = System::CurrentLanguage();
    const auto text = [&language](int index) {
        const char16_t* found = language->GetText(index);
        return found ? FromTableText(found) : QString();
    };
    viewMenu_->setTitle(text(ViewMenuText));
    int item = ViewMenuText + 1;
    for (const int command : {FullScreenCommand, VisualOnlyCommand, StrongFlashCommand}) {
        QAction* action = actions_.at(command);
        const QStringList parts = text(item).split(QLatin1Char('\t'));
        action->setText(parts.value(0) + (parts.size() > 1 ? QLatin1Char('\t') + parts.value(1) : QString()));
        action->setStatusTip(text(item + 3));
        ++item;
    }
    beatView_->setWindowTitle(text(0).isEmpty() ? QStringLiteral("Tolvane") : text(0));
    beatView_->setAccessibleName(actions_.at(FullScreenCommand)->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')));
    beatView_->setAccessibleDescription(text(ViewMenuText + 4));
}

void ApplicationWindow::LayOutControls()
{
    // From the top: the toolbar; the read-out, the lamp in its frame and Start/Stop in a row;
    // the tempo and volume sliders after their labels, with Tap beside the tempo slider; the
    // status line at the bottom edge. The English sizes are the least each control gets.
    // Where the window is wider than its controls need (for the status line's texts), the room
    // stays at the right; the room a larger window has goes to the read-out, the lamp and the
    // sliders (ScaleToRoom), and what they leave of its height above and below the sliders.
    auto* column = new QVBoxLayout(client_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(toolbar_);

    // The lamp sits 10 pixels in from its frame's sides and 14 below its top, whatever room
    // the style keeps inside a frame.
    const QMargins inside = groupBox_->contentsMargins();
    auto* lampFrame = new QVBoxLayout(groupBox_);
    lampFrame->setContentsMargins(std::max(0, 10 - inside.left()), std::max(0, 14 - inside.top()),
                                  std::max(0, 10 - inside.right()), 0);
    lampFrame->addWidget(lamp_, 0, Qt::AlignLeft | Qt::AlignTop);
    groupBox_->setMinimumSize(52, 52);

    // The frame reaches 8 pixels higher than the read-out and Start/Stop, and starts 62 pixels
    // below the client area's top. The bar counter sits at the bottom of their row, below the
    // lamp's frame and Start/Stop (which leave 35 pixels of the read-out's height), as wide as
    // they and what the window has to their right: it never widens the window.
    auto* top = new QGridLayout;
    top->setContentsMargins(Margin, std::max(0, 62 - toolbar_->sizeHint().height()), Margin, 0);
    top->setHorizontalSpacing(10);
    top->setVerticalSpacing(0);
    top->setRowMinimumHeight(0, 8);
    top->addWidget(display_, 1, 0, Qt::AlignTop);
    top->addWidget(groupBox_, 0, 1, 2, 1, Qt::AlignTop);
    top->addWidget(startStop_, 1, 2, Qt::AlignTop);
    top->addWidget(marking_, 2, 0);
    top->addWidget(barCounter_, 1, 1, 1, 3, Qt::AlignBottom);
    auto* song = new QHBoxLayout;
    song->addWidget(partButtons_[0]);
    song->addWidget(partButtons_[1]);
    song->addWidget(songLine_, 1);
    top->addLayout(song, 3, 0, 1, 4);
    top->setColumnStretch(3, 1);
    column->addLayout(top);
    column->addSpacing(16);
    sliderGap_ = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    column->addSpacerItem(sliderGap_);

    // Tap (32 pixels high) sets the tempo row's height; the volume row's centre lies 26 pixels
    // below the tempo row's. The labels keep 4 pixels from their sliders, which start at least
    // 50 pixels right of the labels' left edge.
    auto* sliders = new QGridLayout;
    sliders->setContentsMargins(Margin, 0, Margin, 0);
    sliders->setSpacing(0);
    sliders->setColumnMinimumWidth(0, 50);
    sliders->setRowMinimumHeight(1, 20);
    for (QLabel* label : {tempoLabel_, volumeLabel_}) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setContentsMargins(0, 0, 4, 0);
    }
    for (QSlider* slider : {tempoSlider_, volumeSlider_}) {
        slider->setMinimumWidth(SliderLength);
        slider->setMaximumWidth(SliderLength);
    }
    sliders->addWidget(tempoLabel_, 0, 0);
    sliders->addWidget(tempoSlider_, 0, 1);
    sliders->addWidget(tap_, 0, 2);
    sliders->addWidget(volumeLabel_, 1, 0);
    sliders->addWidget(volumeSlider_, 1, 1);
    sliders->setColumnStretch(1, 1000); // nearly all, up to the sliders' longest (ScaleToRoom)
    sliders->setColumnStretch(3, 1);
    column->addLayout(sliders);
    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(Margin, 6, Margin, 0);
    strip->addWidget(timingStrip_);
    column->addLayout(strip);
    column->addStretch(1);
    column->addWidget(statusbar_);
}

void ApplicationWindow::ScaleToRoom()
{
    if (!client_ || !sized_)
        return;
    // The room beyond the window's least size. The read-out keeps its shape (2.5 pixels wide
    // for each pixel high) and the lamp grows by as much as the read-out's height, up to a
    // third of the window's height: the top row widens by 3.5 pixels for each pixel the
    // read-out grows in height, and the sliders lengthen by as much.
    const QSize room = (size() - minimumSize()).expandedTo(QSize(0, 0));
    const int growth = std::min(room.height(), room.width() * 2 / 7);
    const int readOutGrowth = growth * 5 / 2;
    display_->SetShownSize(QSize(BeatsPerMinuteDisplay::Width + readOutGrowth, BeatsPerMinuteDisplay::Height + growth));
    lamp_->SetSide(std::min(VisualBeatIndicator::Width + growth, height() / 3));
    const int sliderLength = SliderLength + readOutGrowth + lamp_->Side() - VisualBeatIndicator::Width;
    for (QSlider* slider : {tempoSlider_, volumeSlider_})
        slider->setMaximumWidth(sliderLength);
    // Half the height the read-out leaves goes above the sliders, the rest below them.
    const int gap = (room.height() - growth) / 2;
    if (sliderGap_->sizeHint().height() != gap) {
        sliderGap_->changeSize(0, gap, QSizePolicy::Minimum, QSizePolicy::Fixed);
        client_->layout()->invalidate();
    }
}

void ApplicationWindow::FitToTexts()
{
    // The buttons are as large as in English, wider where their texts need it: Start/Stop
    // for the longest of its texts, so that it keeps its width while playing or paused.
    const auto language = System::CurrentLanguage();
    int startText = 0;
    for (const char16_t* text : {language->GetControlText(StartStopId), language->GetControlText(StopTextId),
                                 language->GetText(ResumeTextId)})
        if (text != nullptr)
            startText = std::max(startText, TextWidth(startStop_, FromTableText(text)));
    // On a screen too narrow for such texts the buttons and labels give way, their texts cut
    // and shown whole as their tooltips, so that every control stays on the window.
    const int room = ScreenRoom(*this).width() - 2 * Margin;
    const int startRoom = room - display_->minimumSizeHint().width() - groupBox_->minimumSizeHint().width() - 20;
    const int startWanted = std::max(100, startText + TextPadding);
    startStop_->setFixedSize(std::max(40, std::min(startWanted, startRoom)), 45);
    startStop_->setProperty(CutProperty, startWanted > startStop_->width());
    ShowStartStopText();
    const int tapRoom = room - SliderLength - 50;
    const int tapWanted = std::max(42, TextWidth(tap_, tap_->text()) + TextPadding);
    tap_->setFixedSize(std::max(42, std::min(tapWanted, tapRoom)), 32);
    tap_->setToolTip(tapWanted > tap_->width() ? tap_->text().remove(QLatin1Char('&')) : QString());
    const int labelRoom = std::max(50, room - SliderLength - tap_->width());
    for (QLabel* label : {tempoLabel_, volumeLabel_}) {
        const bool cut = label->sizeHint().width() > labelRoom;
        label->setMaximumWidth(cut ? labelRoom : QWIDGETSIZE_MAX);
        label->setToolTip(cut ? label->text().remove(QLatin1Char('&')) : QString());
    }

    // The status line shows the longest help text whole, where the screen has room for it.
    int statusWidth = 0;
    for (const HelpEntry& entry : StatusHelp().Entries())
        statusWidth = std::max(statusWidth, TextWidth(statusbar_, StatusText(entry.firstId)) + StatusPadding);
    statusbar_->setMinimumWidth(std::min(statusWidth, room + 2 * Margin));
    FitOuterSize();
}

void ApplicationWindow::DescribeControls()
{
    ApplyViewTexts();
    // The controls' help texts are their status tips and descriptions, the commands' help
    // texts their actions' status tips. Buttons and labels are named by their texts, the
    // sliders by their labels.
    for (const auto& [command, action] : actions_)
        action->setStatusTip(StatusText(command));
    actions_.at(ExportCommand)->setStatusTip(FromTableText(System::CurrentLanguage()->GetText(ExportDialog::MenuHelp)));
    for (const int command : {SongEditorCommand, SetlistCommand})
        actions_.at(command)->setStatusTip(SongText::Get(SongText::MenuHelp));
    for (std::size_t k = 0; k < 2; ++k) {
        const int text = k == 0 ? SongText::PreviousPart : SongText::NextPart;
        partButtons_[k]->setAccessibleName(SongText::Name(text));
        partButtons_[k]->setToolTip(SongText::Get(text));
        partButtons_[k]->setStatusTip(SongText::Get(text));
        partButtons_[k]->setAccessibleDescription(SongText::Get(text));
    }
    for (int position = 0; position < Toolbar::ButtonCount; ++position) {
        if (QToolButton* button = toolbar_->Button(position); button && button->defaultAction())
            button->defaultAction()->setStatusTip(StatusText(Toolbar::FirstCommand + position));
    }
    // The client area takes typed tempos when no control has the focus.
    client_->setAccessibleName(windowTitle());
    client_->setAccessibleDescription(StatusText(TempoSliderId));
    tempoLabel_->setBuddy(tempoSlider_);
    volumeLabel_->setBuddy(volumeSlider_);
    const QString tempoName = tempoLabel_->text();
    display_->setAccessibleName(tempoName);
    const QString lampText = StatusText(VisualBeatIndicator::ControlId);
    lamp_->setAccessibleName(lampText);
    groupBox_->setAccessibleName(lampText);
    for (QWidget* control : {static_cast<QWidget*>(display_), static_cast<QWidget*>(lamp_),
                             static_cast<QWidget*>(startStop_), static_cast<QWidget*>(tempoSlider_),
                             static_cast<QWidget*>(volumeSlider_), static_cast<QWidget*>(tap_)}) {
        control->setStatusTip(StatusText(control->property("controlId").toInt()));
        control->setAccessibleDescription(control->statusTip());
    }
    groupBox_->setAccessibleDescription(lampText);
    barCounter_->setAccessibleName(FromTableText(System::CurrentLanguage()->GetText(BarCounterNameText)));
    barCounter_->setStatusTip(StatusText(BarCounterId));
    barCounter_->setAccessibleDescription(barCounter_->statusTip());
    timingStrip_->setAccessibleName(FromTableText(System::CurrentLanguage()->GetText(TimingText::StripName)));
    timingStrip_->setStatusTip(FromTableText(System::CurrentLanguage()->GetText(TimingText::StripHelp)));
    timingStrip_->setAccessibleDescription(timingStrip_->statusTip());
    tempoLabel_->setAccessibleDescription(StatusText(TempoSliderId));
    volumeLabel_->setAccessibleDescription(StatusText(VolumeSliderId));
}

} // namespace GUI
