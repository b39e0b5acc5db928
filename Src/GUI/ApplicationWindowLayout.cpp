// The main window's texts in the current language, the room for them, and what assistive
// technology learns of its controls.
//
// The window is 400 x 300 pixels in English. A translation whose texts need more room widens
// the controls that hold them and the window with them, so that no text is cut.
#include "GUI/ApplicationWindow.h"

#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/ProgramFont.h"
#include "GUI/Statusbar.h"
#include "GUI/Toolbar.h"
#include "GUI/VisualBeatIndicator.h"
#include "System/CurrentLanguage.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QAction>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

namespace GUI {

namespace {

constexpr int LabelRoom = 46;    // from the labels' left edge to just before the sliders
constexpr int TextPadding = 12;  // a push button's frame and margins beside its text
constexpr int RightMargin = 10;  // as the controls' left margin
constexpr int StatusPadding = 24; // the status line's margins beside its text, and a little air

// The status line's help for the commands and controls.
constexpr HelpEntry StatusHelpEntries[] = {
    {ApplicationWindow::LanguageCommand, 0},      {ApplicationWindow::ExitCommand, 1},
    {ApplicationWindow::OptionsCommand, 2},       {ApplicationWindow::SoundSettingsCommand, 3},
    {ApplicationWindow::AudioFilesCommand, 4},    {ApplicationWindow::PresetsCommand, 5},
    {ApplicationWindow::HelpCommand, 7},          {ApplicationWindow::AboutCommand, 8},
    {BeatsPerMinuteDisplay::ControlId, 9},        {VisualBeatIndicator::ControlId, 10},
    {ApplicationWindow::StartStopId, 11},         {ApplicationWindow::TempoSliderId, 12},
    {ApplicationWindow::VolumeSliderId, 13},      {ApplicationWindow::TapId, 14},
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
    const auto setText = [&language](auto* control, int id) {
        if (const char16_t* text = language->GetControlText(id))
            control->setText(FromTableText(text));
    };
    setText(startStop_, StartStopId);
    setText(tap_, TapId);
    setText(tempoLabel_, TempoLabelId);
    setText(volumeLabel_, VolumeLabelId);
    if (const char16_t* title = language->GetText(0))
        setWindowTitle(FromTableText(title));
    DescribeControls();
    FitToTexts();
    LayOutBars();
}

void ApplicationWindow::FitToTexts()
{
    const auto language = System::CurrentLanguage();
    const int labelExtra = std::max(
        0, std::max(TextWidth(tempoLabel_, tempoLabel_->text()), TextWidth(volumeLabel_, volumeLabel_->text())) - LabelRoom);
    const int tapExtra = std::max(0, TextWidth(tap_, tap_->text()) + TextPadding - 42);
    const int startText = std::max(TextWidth(startStop_, FromTableText(language->GetControlText(StartStopId))),
                                   TextWidth(startStop_, FromTableText(language->GetControlText(1002))));
    const int startExtra = std::max(0, startText + TextPadding - 100);

    // The English layout, moved right by what the labels need and widened where the buttons do.
    tempoLabel_->setGeometry(10, 175, 60 + labelExtra, 20);
    volumeLabel_->setGeometry(10, 202, 60 + labelExtra, 20);
    tempoSlider_->setGeometry(60 + labelExtra, 170, 280, 24);
    volumeSlider_->setGeometry(60 + labelExtra, 196, 280, 24);
    tap_->setGeometry(340 + labelExtra, 166, 42 + tapExtra, 32);
    startStop_->setGeometry(282, 70, 100 + startExtra, 45);

    // Only what a translation adds counts: in English everything fits as laid out.
    const int controlsExtra = std::max(labelExtra + tapExtra, startExtra);
    int width = controlsExtra > 0 ? 382 + controlsExtra + RightMargin : 0;
    if (toolbar_->ExtraWidth() > 0)
        width = std::max(width, toolbar_->sizeHint().width());
    for (const HelpEntry& entry : StatusHelp().Entries())
        width = std::max(width, TextWidth(statusbar_, StatusText(entry.firstId)) + StatusPadding);
    contentWidth_ = width;
    FitOuterSize();
}

void ApplicationWindow::DescribeControls()
{
    // The controls' help texts are their status tips and descriptions, the commands' help
    // texts their actions' status tips. Buttons and labels are named by their texts, the
    // sliders by their labels.
    for (const auto& [command, action] : actions_)
        action->setStatusTip(StatusText(command));
    for (int position = 0; position < Toolbar::ButtonCount; ++position) {
        if (QToolButton* button = toolbar_->Button(position); button && button->defaultAction())
            button->defaultAction()->setStatusTip(StatusText(Toolbar::FirstCommand + position));
    }
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
    tempoLabel_->setAccessibleDescription(StatusText(TempoSliderId));
    volumeLabel_->setAccessibleDescription(StatusText(VolumeSliderId));
}

} // namespace GUI
