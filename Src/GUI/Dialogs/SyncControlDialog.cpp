// The Sync and Control page: OSC and the MIDI map.
#include "GUI/Dialogs/SyncControlDialog.h"

#include "Configuration/IConfiguration.h"
#include "Core/Control/MidiMap.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/ClockFollow.h"
#include "GUI/ProgramFont.h"
#include "GUI/RemoteControl.h"
#include "GUI/ScreenFit.h"
#include "GUI/MidiInPump.h"
#include "Platform/Audio/JackTransport.h"
#include "Platform/LinkSession.h"
#include "System/CurrentLanguage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include <arpa/inet.h>

#include <algorithm>

namespace GUI {

namespace {

// [Text] entries of the page, from its tab's text on.
enum PageText : int {
    OscTitle = SyncControlDialog::TabText + 1, OscOnText, PortText, AddressText, WarningText, ListeningText,
    NotListeningText, BadAddressText, PortBusyText, MidiTitle, CommandColumn, TriggerColumn, LearnText, ClearText, PressText, JackInputText, AlsaInputText,
    NoInputText, NoteText, ControllerText, AnyChannelText, StartStopText, StartText, StopText, TapText,
    TempoStepText, PresetText,
};
static_assert(PresetText + 1 == SyncControlDialog::FirstHelp);
enum TransportText : int {
    TransportTitle = SyncControlDialog::TransportTexts, TransportLabel, TransportOff, TransportFollow, TransportLead,
    TransportRolling, TransportStopped, TransportNoJack,
};

// The MIDI clock's texts (the block for MIDI clock in, 360-379).
enum ClockText : int { ClockTitle = 374, ClockOffText, ClockSendText, ClockFollowText, FollowingText, NoClockText };
// The song commands' names (in the block for Link and the ALSA clock, 380-399).
constexpr int NextPartText = 385;

QString TableText(int index)
{
    return FromTableText(System::CurrentLanguage()->GetText(index));
}

QString TriggerText(const Core::MidiTrigger& trigger)
{
    using Kind = Core::MidiTrigger::Kind;
    if (trigger.kind == Kind::None)
        return QStringLiteral("\u2014"); // a dash: nothing
    const QString channel = trigger.channel == Core::MidiTrigger::AnyChannel ? TableText(AnyChannelText)
                                                                              : QString::number(trigger.channel + 1);
    return TableText(trigger.kind == Kind::Note ? NoteText : ControllerText).arg(trigger.number).arg(channel);
}

// A command's name: its own text, or the shared one with its step or number.
QString CommandText(Core::MidiCommand command)
{
    using Core::MidiCommand;
    const int index = static_cast<int>(command);
    switch (command) {
    case MidiCommand::TempoUp1: return TableText(TempoStepText).arg(QStringLiteral("+1"));
    case MidiCommand::TempoDown1: return TableText(TempoStepText).arg(QStringLiteral("\u22121"));
    case MidiCommand::TempoUp10: return TableText(TempoStepText).arg(QStringLiteral("+10"));
    case MidiCommand::TempoDown10: return TableText(TempoStepText).arg(QStringLiteral("\u221210"));
    case MidiCommand::Preset1:
    case MidiCommand::Preset2:
    case MidiCommand::Preset3:
    case MidiCommand::Preset4: return TableText(PresetText).arg(index - static_cast<int>(MidiCommand::Preset1) + 1);
    case MidiCommand::NextPart:
    case MidiCommand::PreviousPart:
    case MidiCommand::NextSong:
    case MidiCommand::PreviousSong: return TableText(NextPartText + index - static_cast<int>(MidiCommand::NextPart));
    default: return TableText(StartStopText + index);
    }
}

bool NumericAddress(const QString& address)
{
    unsigned char bytes[16];
    const QByteArray text = address.toLatin1();
    return inet_pton(AF_INET, text.constData(), bytes) == 1 || inet_pton(AF_INET6, text.constData(), bytes) == 1;
}

} // namespace

SyncControlDialog::SyncControlDialog(Configuration::IConfiguration& configuration, ApplicationWindow& window,
                                     IParentWindow& frame, HelpTable help)
    : TabDialog(frame, help), configuration_(configuration), window_(window)
{
    // Created in the order Tab moves through them.
    for (QGroupBox*& group : groups_)
        group = new QGroupBox(this);
    oscOn_ = Tag(new QCheckBox(this), OscOnId);
    portLabel_ = new QLabel(this);
    port_ = Tag(new QSpinBox(this), OscPortId);
    addressLabel_ = new QLabel(this);
    address_ = Tag(new QLineEdit(this), OscAddressId);
    warning_ = new QLabel(this);
    oscStatus_ = new QLabel(this);
    clockModes_ = new QButtonGroup(this);
    for (int mode = 0; mode < static_cast<int>(clock_.size()); ++mode) {
        clock_[static_cast<std::size_t>(mode)] = Tag(new QRadioButton(this), ClockOffId + mode);
        clockModes_->addButton(clock_[static_cast<std::size_t>(mode)], mode);
    }
    clockStatus_ = new QLabel(this);
    transportGroup_ = new QGroupBox(this);
    transportLabel_ = new QLabel(this);
    transport_ = Tag(new QComboBox(this), TransportId);
    transportStatus_ = new QLabel(this);
    map_ = Tag(new QTreeWidget(this), MapId);
    learn_ = Tag(new QPushButton(this), LearnId);
    clear_ = Tag(new QPushButton(this), ClearId);
    midiStatus_ = new QLabel(this);
    link_ = Tag(new QCheckBox(this), LinkId);
    linkStatus_ = new QLabel(this);
    transportLabel_->setBuddy(transport_);
    transport_->addItems({QString(), QString(), QString()});
    portLabel_->setBuddy(port_);
    addressLabel_->setBuddy(address_);
    port_->setRange(1024, 65535);
    port_->setValue(9000);
    address_->setMaxLength(45);
    for (QLabel* label : {warning_, oscStatus_, midiStatus_, clockStatus_, transportStatus_, linkStatus_})
        label->setWordWrap(true);
    QPalette palette = warning_->palette();
    palette.setColor(QPalette::WindowText, QColor(160, 0, 0));
    warning_->setPalette(palette);
    map_->setColumnCount(2);
    map_->setRootIsDecorated(false);
    map_->setAllColumnsShowFocus(true);
    map_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    for (int i = 0; i < Core::MidiCommandCount; ++i)
        map_->addTopLevelItem(new QTreeWidgetItem(map_));
    map_->setCurrentItem(map_->topLevelItem(0));

    const DialogUnits u = Units();
    QGridLayout* page = GridAtLeast(*this, u.Rect(0, 0, 400, 240).size());
    page->setContentsMargins(u.X(7), u.Y(7), u.X(7), u.Y(7));
    const auto grid = [&u](QGroupBox* group) {
        auto* layout = new QGridLayout(group);
        layout->setContentsMargins(u.X(8), u.Y(4), u.X(8), u.Y(4));
        layout->setHorizontalSpacing(u.X(4));
        layout->setVerticalSpacing(u.Y(3));
        return layout;
    };
    QGridLayout* osc = grid(groups_[0]);
    osc->addWidget(oscOn_, 0, 0, 1, 2);
    osc->addWidget(portLabel_, 1, 0);
    osc->addWidget(port_, 1, 1, Qt::AlignLeft);
    osc->addWidget(addressLabel_, 2, 0);
    osc->addWidget(address_, 2, 1);
    osc->addWidget(warning_, 3, 0, 1, 2);
    osc->addWidget(oscStatus_, 4, 0, 1, 2);
    osc->setRowStretch(5, 1);
    osc->setColumnStretch(1, 1);
    QGridLayout* midi = grid(groups_[1]);
    midi->addWidget(map_, 0, 0, 1, 2);
    midi->addWidget(learn_, 1, 0);
    midi->addWidget(clear_, 1, 1, Qt::AlignLeft);
    midi->addWidget(midiStatus_, 2, 0, 1, 2);
    QGridLayout* clock = grid(groups_[2]);
    for (int mode = 0; mode < static_cast<int>(clock_.size()); ++mode)
        clock->addWidget(clock_[static_cast<std::size_t>(mode)], mode, 0);
    clock->addWidget(clockStatus_, static_cast<int>(clock_.size()), 0);
    page->addWidget(groups_[0], 0, 0);
    page->addWidget(groups_[2], 1, 0);
    page->addWidget(transportGroup_, 2, 0);
    page->addWidget(groups_[1], 0, 1, 3, 1);
    QGridLayout* transport = grid(transportGroup_);
    transport->addWidget(transportLabel_, 0, 0);
    transport->addWidget(transport_, 0, 1, Qt::AlignLeft);
    transport->addWidget(transportStatus_, 1, 0, 1, 2);
    transport->setColumnStretch(1, 1);
    auto* link = new QHBoxLayout;
    link->setSpacing(u.X(8));
    link->addWidget(link_);
    link->addWidget(linkStatus_, 1);
    page->addLayout(link, 3, 0, 1, 2);
    page->setColumnStretch(0, 2);
    page->setColumnStretch(1, 3);

    connect(oscOn_, &QCheckBox::toggled, this, [this](bool on) {
        port_->setEnabled(on);
        address_->setEnabled(on);
    });
    connect(address_, &QLineEdit::textChanged, this,
            [this](const QString& text) { warning_->setVisible(!LoopbackAddress(text.trimmed().toStdString())); });
    connect(learn_, &QPushButton::clicked, this, [this] {
        RemoteControl* remote = window_.Remote();
        const int row = map_->indexOfTopLevelItem(map_->currentItem());
        if (!remote || row < 0)
            return;
        remote->Learn(static_cast<Core::MidiCommand>(row));
        ShowStatus();
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
        RemoteControl* remote = window_.Remote();
        const int row = map_->indexOfTopLevelItem(map_->currentItem());
        if (!remote || row < 0)
            return;
        Core::MidiMap map = remote->Map();
        map.Set(static_cast<Core::MidiCommand>(row), {});
        remote->SetMap(map);
        configuration_.GetControlSettings().MidiMap = map.ToText();
        ShowMap();
    });
    // What came in, and a trigger just learnt, show while the page is open.
    status_ = new QTimer(this);
    connect(status_, &QTimer::timeout, this, [this] {
        if (!isVisible())
            return;
        ShowMap();
        ShowStatus();
    });
    status_->start(250);
}

SyncControlDialog::~SyncControlDialog() = default;

void SyncControlDialog::ShowTexts()
{
    groups_[0]->setTitle(TableText(OscTitle));
    groups_[1]->setTitle(TableText(MidiTitle));
    groups_[2]->setTitle(TableText(ClockTitle));
    for (int mode = 0; mode < static_cast<int>(clock_.size()); ++mode)
        clock_[static_cast<std::size_t>(mode)]->setText(TableText(ClockOffText + mode));
    oscOn_->setText(TableText(OscOnText));
    portLabel_->setText(TableText(PortText));
    addressLabel_->setText(TableText(AddressText));
    warning_->setText(TableText(WarningText));
    learn_->setText(TableText(LearnText));
    clear_->setText(TableText(ClearText));
    map_->setHeaderLabels({TableText(CommandColumn), TableText(TriggerColumn)});
    transportGroup_->setTitle(TableText(TransportTitle));
    transportLabel_->setText(TableText(TransportLabel));
    for (int i = 0; i < 3; ++i)
        transport_->setItemText(i, TableText(TransportOff + i));
    link_->setText(TableText(LinkTexts));
    for (int i = 0; i < Core::MidiCommandCount; ++i)
        map_->topLevelItem(i)->setText(0, CommandText(static_cast<Core::MidiCommand>(i)));
}

void SyncControlDialog::Load(const Configuration::ConfigurationData&)
{
    ShowTexts();
    const Configuration::ControlSettings& control = configuration_.GetControlSettings();
    oscOn_->setChecked(control.OscPort != 0);
    if (control.OscPort != 0)
        port_->setValue(control.OscPort);
    address_->setText(QString::fromStdString(control.OscAddress));
    port_->setEnabled(oscOn_->isChecked());
    address_->setEnabled(oscOn_->isChecked());
    warning_->setVisible(!LoopbackAddress(control.OscAddress));
    if (QAbstractButton* mode = clockModes_->button(control.MidiClock))
        mode->setChecked(true);
    transport_->setCurrentIndex(std::clamp(control.JackTransport, 0, 2));
    link_->setChecked(control.Link != 0);
    ShowMap();
    ShowStatus();
}

void SyncControlDialog::ShowMap()
{
    const RemoteControl* remote = window_.Remote();
    const Core::MidiMap map = remote ? remote->Map() : Core::MidiMap::FromText(configuration_.GetControlSettings().MidiMap);
    for (int i = 0; i < Core::MidiCommandCount; ++i) {
        const QString text = TriggerText(map.Trigger(static_cast<Core::MidiCommand>(i)));
        if (map_->topLevelItem(i)->text(1) != text)
            map_->topLevelItem(i)->setText(1, text);
    }
}

void SyncControlDialog::ShowStatus()
{
    const RemoteControl* remote = window_.Remote();
    if (remote && remote->OscPort() != 0) {
        const Core::OscReceiver::Counts counts = remote->OscCounts();
        oscStatus_->setText(TableText(ListeningText)
                                .arg(remote->OscPort())
                                .arg(counts.commands)
                                .arg(counts.malformed + counts.unknown + counts.oversized + counts.dropped));
    } else {
        oscStatus_->setText(TableText(NotListeningText));
    }
    const MidiInPump* pump = window_.MidiInput();
    QString midi;
    if (remote && remote->Learning())
        midi = TableText(PressText);
    else if (pump && pump->JackPortOpen())
        midi = TableText(JackInputText);
    else if (pump && pump->AlsaPortOpen())
        midi = TableText(AlsaInputText);
    else
        midi = TableText(NoInputText);
    if (midiStatus_->text() != midi)
        midiStatus_->setText(midi);
    const ClockFollow* follow = window_.ClockFollower();
    const double bpm = follow && follow->Following() ? follow->Bpm() : 0.0;
    // The tempo with the decimal sign of the program's language.
    const QString code = QString::fromUtf16(configuration_.GetLanguage());
    const QLocale locale = code.isEmpty() ? QLocale(QLocale::English) : QLocale(code);
    const QString clock = bpm > 0 ? TableText(FollowingText).arg(locale.toString(bpm, 'f', 1)) : TableText(NoClockText);
    clockStatus_->setVisible(clockModes_->checkedId() == Configuration::MidiClockFollow);
    if (clockStatus_->text() != clock)
        clockStatus_->setText(clock);
    const Platform::Audio::JackTransport& jack = Platform::Audio::JackTransport::Instance();
    const QString transport = TableText(!jack.Connected() ? TransportNoJack : jack.Rolling() ? TransportRolling : TransportStopped);
    if (transportStatus_->text() != transport)
        transportStatus_->setText(transport);
    const Platform::LinkSession* session = window_.Link();
    const QString peers = session && session->Enabled() ? ApplicationWindow::LinkPeersText(session->Peers()) : QString();
    if (linkStatus_->text() != peers)
        linkStatus_->setText(peers);
}

bool SyncControlDialog::ApplyControl()
{
    Configuration::ControlSettings& control = configuration_.GetControlSettings();
    if (const int mode = clockModes_->checkedId(); mode >= 0 && mode != control.MidiClock)
        window_.SetMidiClock(mode);
    if (transport_->currentIndex() != control.JackTransport)
        window_.SetTransportMode(transport_->currentIndex());
    if (link_->isChecked() != (control.Link != 0))
        window_.SetLink(link_->isChecked());
    const QString address = address_->text().trimmed();
    if (!NumericAddress(address)) {
        QMessageBox::warning(this, groups_[0]->title(), TableText(BadAddressText));
        address_->setFocus();
        return false;
    }
    const int port = oscOn_->isChecked() ? port_->value() : 0;
    if (port == control.OscPort && address.toStdString() == control.OscAddress)
        return true;
    const std::string previous = control.OscAddress;
    control.OscAddress = address.toStdString();
    if (!window_.ListenForOsc(port)) {
        control.OscAddress = previous;
        window_.ListenForOsc(control.OscPort); // back to the port it had
        QMessageBox::warning(this, groups_[0]->title(), TableText(PortBusyText).arg(port));
        port_->setFocus();
        return false;
    }
    return true;
}

void SyncControlDialog::EndLearning()
{
    if (RemoteControl* remote = window_.Remote())
        remote->Learn(std::nullopt);
}

void SyncControlDialog::NameControls()
{
    map_->setAccessibleName(TableText(MidiTitle));
    for (QLabel* label : {warning_, oscStatus_, midiStatus_, clockStatus_, transportStatus_, linkStatus_})
        label->setAccessibleName(label->text());
}

} // namespace GUI
