#include "GUI/Dialogs/SettingsDialog.h"

#include "Configuration/IConfiguration.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/AudioFilesDialog.h"
#include "GUI/Dialogs/OptionsDialog.h"
#include "GUI/Dialogs/PracticeDialog.h"
#include "GUI/Dialogs/PresetsDialog.h"
#include "GUI/Dialogs/SoundSetupDialog.h"
#include "GUI/Dialogs/SyncControlDialog.h"
#include "GUI/LiveTiming.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "GUI/StepSequencerDialog.h"
#include "System/CurrentLanguage.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>

namespace GUI {

namespace {

// The help line's text for every control of the dialog and its pages.
constexpr HelpEntry HelpTexts[] = {
    {SettingsDialog::TabsId, 0}, {SettingsDialog::OkId, 1}, {SettingsDialog::CloseId, 2},
    {1021, 3}, {1022, 4}, {1206, 5}, {1207, 6}, {1023, 7}, {1210, 8}, {1024, 9}, {1025, 10},
    {1027, 11}, {1028, 12}, {1208, 13}, {1209, 14}, {1032, 15}, {1034, 16}, {1036, 17},
    {1038, 18}, {1037, 19}, {1039, 20}, {1211, 21}, {1212, 22}, {1213, 23}, {1214, 24},
    {1215, 25}, {1216, 26}, {1217, 27}, {1218, 28}, {1219, 29}, {1220, 30}, {1221, 31},
    {1222, 32}, {1223, 21}, {1224, 23}, {1230, 1241, 33}, {1242, 1253, 34}, {1254, 1265, 35}, {1266, 1277, 36},
    {1290, 1301, 37}, {1306, 1317, 38}, {1318, 39}, {1319, 40}, {1320, 47},
    {1062, 42}, {1063, 43}, {1064, 44}, {1065, 45}, {1066, 46},
    {1400, 57}, {1401, 58}, {1402, 59}, {1403, 60}, {1404, 61}, {1405, 62}, {1406, 63},
    {1407, 64}, {1408, 65}, {1409, 66}, {1410, 67}, {1411, 68}, {1412, 69}, {1413, 70},
    {1414, FromTextTable(312)}, {1415, FromTextTable(313)}, // the spoken count
    {1416, FromTextTable(426)}, {1417, FromTextTable(427)}, {1418, FromTextTable(428)}, // output offset, MIDI latency
    {1516, 85}, // the practice diary's switch (OptionsDialog::DiaryId)
    {1517, FromTextTable(TimingText::SwitchHelp)}, // timing feedback's switch (OptionsDialog::TimingFeedbackId)
    {1540, FromTextTable(AudioInputText::InputHelp)}, {1542, FromTextTable(AudioInputText::InputHelp)}, // its input
    {1541, FromTextTable(AudioInputText::CalibrateHelp)}, {1543, FromTextTable(AudioInputText::StateHelp)},
    {1544, 1547, FromTextTable(314)}, // the trainer that waits (OptionsDialog::GateId ..)
    // The Sync and Control page: its help lines in the page's [Text] block, in control order.
    {SyncControlDialog::OscOnId, FromTextTable(SyncControlDialog::FirstHelp)},
    {SyncControlDialog::OscPortId, FromTextTable(SyncControlDialog::FirstHelp + 1)},
    {SyncControlDialog::OscAddressId, FromTextTable(SyncControlDialog::FirstHelp + 2)},
    {SyncControlDialog::MapId, FromTextTable(SyncControlDialog::FirstHelp + 3)},
    {SyncControlDialog::LearnId, FromTextTable(SyncControlDialog::FirstHelp + 4)},
    {SyncControlDialog::ClearId, FromTextTable(SyncControlDialog::FirstHelp + 5)},
    {SyncControlDialog::ClockOffId, FromTextTable(SyncControlDialog::ClockHelp)},
    {SyncControlDialog::ClockSendId, FromTextTable(SyncControlDialog::ClockHelp + 1)},
    {SyncControlDialog::ClockFollowId, FromTextTable(SyncControlDialog::ClockHelp + 2)},
    {SyncControlDialog::TransportId, FromTextTable(SyncControlDialog::TransportTexts + 8)},
    {SyncControlDialog::LinkId, FromTextTable(SyncControlDialog::LinkTexts + 1)},
};

// The tab texts, in page order.
constexpr int TabTexts[] = {6, 7, 8, 9, 89, SyncControlDialog::TabText};

} // namespace

SettingsDialog::SettingsDialog(const DialogContext& context)
    : Dialog(&context.window, DialogId, QStringLiteral("Settings"), HelpTable(HelpTexts, HelpSource::Information)),
      context_(context),
      tabs_(Tag(new QTabWidget(this), TabsId)),
      ok_(Tag(new QPushButton(QStringLiteral("OK"), this), OkId)),
      close_(Tag(new QPushButton(QStringLiteral("Close"), this), CloseId)),
      helpLine_(Tag(new QLabel(QStringLiteral("Move the mouse over an input field to display information about it here"),
                               this),
                    HelpLineId))
{
    ok_->setDefault(true);
    helpLine_->setWordWrap(true);
    helpLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = helpLine_->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 160));
    helpLine_->setPalette(palette);
    SetHelpLine(helpLine_);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    // Made in the order the pages depend on one another; shown in tab order.
    const HelpTable help(HelpTexts, HelpSource::Information);
    pages_[OptionsPage] = new OptionsDialog(context_, *this, help);
    pages_[SoundSettingsPage] = new SoundSetupDialog(context_.configuration, context_.metronome, *this, help);
    pages_[AudioFilesPage] = new AudioFilesDialog(*this, help);
    pages_[PresetsPage] = new PresetsDialog(context_.configuration, *this, help);
    pages_[PracticePage] = new PracticeDialog(context_, *this, help);
    pages_[SyncControlPage] = new SyncControlDialog(context_.configuration, context_.window, *this, help);
    for (TabDialog* page : pages_)
        tabs_->addTab(page, QString());
    tabs_->setFocusPolicy(Qt::TabFocus);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        TipCutTexts(*this);
        // Only the Sound Settings page changes a run as it plays; the others edit what a run
        // is made of.
        if (index != SoundSettingsPage && index != SyncControlPage)
            context_.window.StopIfRunning();
        if (index == PracticePage)
            FollowOptionsGrid();
    });

    // The tabs at least at their English size, and under them the help line beside OK and
    // Close; the window is as large as the largest page needs in the language shown.
    const DialogUnits u = Units();
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(u.X(4), u.Y(4), u.X(7), u.Y(7));
    grid->setHorizontalSpacing(u.X(5));
    grid->setVerticalSpacing(u.Y(3));
    grid->addWidget(tabs_, 0, 0, 1, 3);
    grid->addItem(new QSpacerItem(u.X(416), u.Y(258), QSizePolicy::Minimum, QSizePolicy::Minimum), 0, 0, 1, 3);
    helpLine_->setFixedHeight(u.Y(20));
    helpLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    grid->addWidget(helpLine_, 1, 0);
    ok_->setMinimumSize(u.X(50), u.Y(14));
    close_->setMinimumSize(u.X(50), u.Y(14));
    grid->addWidget(ok_, 1, 1);
    grid->addWidget(close_, 1, 2);
    grid->setColumnStretch(0, 1);
    connect(ok_, &QPushButton::clicked, this, &SettingsDialog::Accept);
    connect(close_, &QPushButton::clicked, this, &SettingsDialog::reject);
}

SettingsDialog::~SettingsDialog()
{
    // The pages go while this dialog is whole: a file edit that loses the focus as the window
    // is taken down still reports to it.
    for (auto page = pages_.rbegin(); page != pages_.rend(); ++page)
        delete *page;
}

OptionsDialog& SettingsDialog::Options() const
{
    return static_cast<OptionsDialog&>(*pages_[OptionsPage]);
}

SoundSetupDialog& SettingsDialog::Sounds() const
{
    return static_cast<SoundSetupDialog&>(*pages_[SoundSettingsPage]);
}

PracticeDialog& SettingsDialog::Practice() const
{
    return static_cast<PracticeDialog&>(*pages_[PracticePage]);
}

void SettingsDialog::FollowOptionsGrid()
{
    // Swing follows the grid the Options page shows now, applied or not.
    Configuration::ConfigurationData record(context_.configuration.GetData());
    Options().WriteGrid(record);
    Practice().FollowGrid(record);
}

int SettingsDialog::Open(int argument)
{
    const int result = Dialog::Open(argument);
    context_.window.RefreshFromSettings();
    return result;
}

void SettingsDialog::Prepare(int argument)
{
    const auto language = System::CurrentLanguage();
    for (int i = 0; i < tabs_->count(); ++i)
        tabs_->setTabText(i, FromTableText(language->GetText(TabTexts[i])));
    const Configuration::ConfigurationData& settings = context_.configuration.GetData();
    for (TabDialog* page : pages_)
        page->Initialise(settings);
    SelectPage(std::clamp(argument, 0, static_cast<int>(pages_.size()) - 1));
}

int SettingsDialog::CurrentPage() const
{
    return tabs_->currentIndex();
}

void SettingsDialog::SelectPage(int index)
{
    tabs_->setCurrentIndex(index);
}

void SettingsDialog::Accept()
{
    // The pages fill a copy, so that a page refusing its values leaves the current settings
    // as they were: Close after a refusal then keeps its promise of changing nothing.
    Configuration::ConfigurationData& current = context_.configuration.GetData();
    Configuration::ConfigurationData record(current);
    // The mark tells the Options page that it fills the current settings, not a preset.
    record.Name = u"@";
    if (!ApplyPages(record) || !static_cast<SyncControlDialog&>(*pages_[SyncControlPage]).ApplyControl())
        return;
    current = record;
    done(1);
}

bool SettingsDialog::ApplyPages(Configuration::ConfigurationData& record)
{
    for (const int page : {OptionsPage, SoundSettingsPage, AudioFilesPage, PracticePage}) {
        if (!pages_[static_cast<std::size_t>(page)]->Apply(record))
            return false;
    }
    return true;
}

void SettingsDialog::reject()
{
    done(1);
}

void SettingsDialog::done(int result)
{
    // A run the Sound Settings page changed plays the settings as they are now: the page's
    // after OK, the earlier ones after Close.
    Sounds().StopHearing();
    static_cast<SyncControlDialog&>(*pages_[SyncControlPage]).EndLearning();
    context_.metronome.ChangeSounds(context_.configuration.GetData());
    context_.metronome.EndPreview();
    Dialog::done(result);
}

std::uint32_t SettingsDialog::Notify(std::uint32_t code, std::uint32_t argument)
{
    switch (code) {
    case AudioFilesChanged:
        if (Options().MidiChosen())
            return 1;
        FollowSoundSource(true);
        return 1;
    case PresetLoaded: {
        context_.window.RefreshFromSettings();
        const Configuration::ConfigurationData& settings = context_.configuration.GetData();
        Options().Load(settings);
        Sounds().Refresh(settings);
        pages_[AudioFilesPage]->Load(settings);
        Practice().Load(settings);
        // A preset saved next takes the step sequencer's rhythm: the loaded one, not an older.
        if (StepSequencerDialog* sequencer = Options().StepSequencer())
            sequencer->TakeCurrentSettings(settings);
        return 1;
    }
    case SoundSourceChanged:
        Practice().FollowSoundSource(argument != 0);
        FollowSoundSource(argument != 0);
        return 1;
    default:
        return 0;
    }
}

void SettingsDialog::FollowSoundSource(bool audioFiles)
{
    TabDialog& sounds = *pages_[SoundSettingsPage];
    if (audioFiles)
        sounds.ShowAudioFiles(pages_[AudioFilesPage]->FileNames(), context_.configuration.GetData());
    else
        sounds.ShowMidiInstruments();
}

TabDialog* SettingsDialog::GetPage(int index)
{
    return index == 0 ? pages_[AudioFilesPage] : nullptr;
}

std::uint32_t SettingsDialog::Request(std::uint32_t code, const RequestArgument& argument)
{
    switch (code) {
    case GatherValues:
        return argument.record && ApplyPages(*argument.record) ? 0 : 1;
    case ShowPage:
        SelectPage(argument.page);
        return 0;
    default:
        return 0;
    }
}

} // namespace GUI
