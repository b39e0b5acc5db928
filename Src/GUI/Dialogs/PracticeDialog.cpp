// The Practice page: its controls, their layout, and its values.
#include "GUI/Dialogs/PracticeDialog.h"

#include "Configuration/ConfigurationData.h"
#include "Configuration/IConfiguration.h"
#include "Core/Engine/Practice.h"
#include "Core/Sound/InstrumentList.h"
#include "Core/Timing/OutputOffset.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/Dialog.h"
#include "GUI/Dialogs/OffsetTexts.h"
#include "GUI/Dialogs/TapCalibration.h"
#include "Platform/Audio/Mixer.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "System/CurrentLanguage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <random>

namespace GUI {

namespace {

// [Text] entries of the page.
enum PageText : int {
    BarsText = 27,
    CountInTitle = 90, LengthText, OffItem, OneBarItem, TwoBarsItem, FourBarsItem, TwoBeatsItem, SoundText,
    SoundNoteText, GapTitle, GapOffText, GapPeriodicText, GapPlayText, GapMuteText, GapRandomText, GapPercentText,
    GapRiseText, GapSeedText, NewSeedText, GapDownbeatText, SwingTitle, SwingText, SwingHintText, SwingOffText,
    CountVoiceText = 307, CountVoiceOffItem, CountVoiceCountInItem, CountVoiceAllItem, CountThroughText,
};

// The count-in list's items, in order, and the CountIn value of each.
constexpr std::int32_t CountInValues[] = {Configuration::CountInOff, 1, 2, 4, Configuration::CountInTwoBeats};

constexpr int GroupIds[] = {1420, 1421, 1422, 1423};
constexpr int LargestSeed = 2147483647;
const QString Percent = QStringLiteral("\u00a0%");

int CountInItem(std::int32_t value)
{
    // Three bars, which only a hand-edited file holds, show as four.
    const auto* found = std::find(std::begin(CountInValues), std::end(CountInValues), value == 3 ? 4 : value);
    return found == std::end(CountInValues) ? 0 : static_cast<int>(found - std::begin(CountInValues));
}

// The nearest share the page offers: 5..95 in steps of 5.
int GapShare(int percent)
{
    return std::clamp((percent + 2) / 5 * 5, 5, 95);
}

QString TableText(int index)
{
    return FromTableText(System::CurrentLanguage()->GetText(index));
}

QString Plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

PracticeDialog::PracticeDialog(const DialogContext& context, IParentWindow& frame, HelpTable help)
    : TabDialog(frame, help), context_(context)
{
    CreateControls();
    LayOutControls();
}

PracticeDialog::~PracticeDialog() = default;

void PracticeDialog::CreateControls()
{
    // Created in the order Tab moves through them; LayOutControls places them.
    for (std::size_t i = 0; i < groups_.size(); ++i)
        groups_[i] = Tag(new QGroupBox(this), GroupIds[i]);
    countInLabel_ = new QLabel(this);
    countIn_ = Tag(new QComboBox(this), CountInId);
    soundLabel_ = new QLabel(this);
    sound_ = Tag(new QComboBox(this), CountInSoundId);
    soundNote_ = new QLabel(this);
    countVoiceLabel_ = new QLabel(this);
    countVoice_ = Tag(new QComboBox(this), CountVoiceId);
    countThrough_ = Tag(new QCheckBox(this), CountThroughId);
    const int modeIds[] = {GapOffId, GapPeriodicId, GapRandomId};
    for (std::size_t i = 0; i < gapModes_.size(); ++i)
        gapModes_[i] = Tag(new QRadioButton(this), modeIds[i]);
    // The periodic rule's numbers follow its button, the random rule's follow theirs.
    playLabel_ = new QLabel(this);
    play_ = Tag(new QSpinBox(this), GapPlayId);
    muteLabel_ = new QLabel(this);
    mute_ = Tag(new QSpinBox(this), GapMuteId);
    percentLabel_ = new QLabel(this);
    percent_ = Tag(new QSpinBox(this), GapPercentId);
    rise_ = Tag(new QCheckBox(this), GapRiseId);
    ramp_ = Tag(new QSpinBox(this), GapRampId);
    rampUnit_ = new QLabel(this);
    seedLabel_ = new QLabel(this);
    seed_ = Tag(new QLineEdit(this), GapSeedId);
    newSeed_ = Tag(new QPushButton(this), NewSeedId);
    downbeat_ = Tag(new QCheckBox(this), GapDownbeatId);
    swingLabel_ = new QLabel(this);
    swing_ = Tag(new QDoubleSpinBox(this), SwingId);
    swingNote_ = new QLabel(this);
    output_ = new QLabel(this);
    offsetLabel_ = new QLabel(this);
    offset_ = Tag(new QSpinBox(this), OffsetId);
    calibrate_ = Tag(new QPushButton(this), CalibrateId);
    latencyLabel_ = new QLabel(this);
    latency_ = Tag(new QSpinBox(this), InputLatencyId);

    // Tab reaches the periodic rule's numbers after its button, before the random rule's.
    setTabOrder(gapModes_[1], play_);
    setTabOrder(play_, mute_);
    setTabOrder(mute_, gapModes_[2]);

    countInLabel_->setBuddy(countIn_);
    soundLabel_->setBuddy(sound_);
    countVoiceLabel_->setBuddy(countVoice_);
    playLabel_->setBuddy(play_);
    muteLabel_->setBuddy(mute_);
    percentLabel_->setBuddy(percent_);
    seedLabel_->setBuddy(seed_);
    swingLabel_->setBuddy(swing_);
    offsetLabel_->setBuddy(offset_);
    latencyLabel_->setBuddy(latency_);
    output_->setWordWrap(true);
    output_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    offset_->setRange(-Core::Timing::OutputOffsetLimitMs, Core::Timing::OutputOffsetLimitMs);
    latency_->setRange(0, Core::Timing::InputLatencyLimitMs);
    for (QSpinBox* box : {offset_, latency_})
        box->setSuffix(QStringLiteral("\u00a0ms"));
    connect(calibrate_, &QPushButton::clicked, this, [this] { Calibrate(); });
    // The lists are as wide as their longest item in the language shown.
    for (QComboBox* list : {countIn_, sound_, countVoice_})
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (QLabel* note : {soundNote_, swingNote_})
        note->setWordWrap(true);
    QSizePolicy kept = soundNote_->sizePolicy();
    kept.setRetainSizeWhenHidden(true);
    soundNote_->setSizePolicy(kept);

    auto* modes = new QButtonGroup(this);
    for (QRadioButton* button : gapModes_)
        modes->addButton(button);
    for (QSpinBox* box : {play_, mute_})
        box->setRange(1, 16);
    percent_->setRange(5, 95);
    percent_->setSingleStep(5);
    percent_->setSuffix(Percent);
    ramp_->setRange(1, 64);
    ramp_->setValue(16);
    seed_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), seed_));
    swing_->setRange(50.0, 75.0);
    swing_->setDecimals(1);
    swing_->setSingleStep(1.0);
    swing_->setSuffix(Percent);

    for (QRadioButton* button : gapModes_)
        connect(button, &QRadioButton::toggled, this, [this] { EnableGapControls(); });
    connect(rise_, &QCheckBox::toggled, this, [this] { EnableGapControls(); });
    connect(percent_, &QSpinBox::editingFinished, this, [this] { percent_->setValue(GapShare(percent_->value())); });
    connect(newSeed_, &QPushButton::clicked, this, [this] {
        std::random_device device;
        seed_->setText(QString::number(std::uniform_int_distribution<int>(1, LargestSeed)(device)));
    });
}

void PracticeDialog::LayOutControls()
{
    // The count-in and swing on the left, muted bars on the right, at their English sizes at least.
    const DialogUnits u = Units();
    const auto grid = [&u](QGroupBox* group, int width, int height) {
        QGridLayout* layout = GridAtLeast(*group, u.Rect(0, 0, width, height).size());
        layout->setContentsMargins(u.X(8), u.Y(4), u.X(8), u.Y(4));
        layout->setHorizontalSpacing(u.X(4));
        layout->setVerticalSpacing(u.Y(3));
        return layout;
    };

    QGridLayout* countIn = grid(groups_[0], 190, 90);
    countIn->addWidget(countInLabel_, 0, 0);
    countIn->addWidget(countIn_, 0, 1, Qt::AlignLeft);
    countIn->addWidget(soundLabel_, 1, 0);
    countIn->addWidget(sound_, 1, 1);
    countIn->addWidget(soundNote_, 2, 0, 1, 2, Qt::AlignTop);
    countIn->setRowMinimumHeight(2, u.Y(26));
    countIn->addWidget(countVoiceLabel_, 3, 0);
    countIn->addWidget(countVoice_, 3, 1, Qt::AlignLeft);
    countIn->addWidget(countThrough_, 4, 0, 1, 2);
    countIn->setColumnStretch(1, 1);

    QGridLayout* swing = grid(groups_[2], 190, 70);
    swing->addWidget(swingLabel_, 0, 0);
    swing->addWidget(swing_, 0, 1, Qt::AlignLeft);
    swing->addWidget(swingNote_, 1, 0, 1, 2, Qt::AlignTop);
    swing->setRowMinimumHeight(1, u.Y(34));
    swing->setColumnStretch(1, 1);

    // The rules' numbers are indented under their buttons.
    QGridLayout* gap = grid(groups_[1], 200, 200);
    gap->setColumnMinimumWidth(0, u.X(6));
    gap->setColumnStretch(2, 1);
    gap->addWidget(gapModes_[0], 0, 0, 1, 3);
    gap->addWidget(gapModes_[1], 1, 0, 1, 3);
    const auto number = [&](int row, QWidget* first, QWidget* control, QWidget* after = nullptr) {
        gap->addWidget(first, row, 1);
        auto* line = new QHBoxLayout;
        line->setSpacing(u.X(3));
        line->addWidget(control);
        if (after)
            line->addWidget(after);
        line->addStretch(1);
        gap->addLayout(line, row, 2);
    };
    number(2, playLabel_, play_);
    number(3, muteLabel_, mute_);
    gap->addWidget(gapModes_[2], 4, 0, 1, 3);
    number(5, percentLabel_, percent_);
    number(6, rise_, ramp_, rampUnit_);
    number(7, seedLabel_, seed_, newSeed_);
    gap->addWidget(downbeat_, 8, 0, 1, 3);
    gap->setRowStretch(9, 1);
    seed_->setFixedWidth(seed_->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + u.X(8));

    QGridLayout* offset = grid(groups_[3], 190, 50);
    offset->addWidget(output_, 0, 0, 1, 3);
    offset->addWidget(offsetLabel_, 1, 0);
    offset->addWidget(offset_, 1, 1, Qt::AlignLeft);
    offset->addWidget(calibrate_, 1, 2, Qt::AlignLeft);
    offset->addWidget(latencyLabel_, 2, 0);
    offset->addWidget(latency_, 2, 1, Qt::AlignLeft);
    offset->setColumnStretch(2, 1);

    auto* left = new QVBoxLayout;
    left->setSpacing(u.Y(6));
    left->addWidget(groups_[0]);
    left->addWidget(groups_[2]);
    left->addWidget(groups_[3]);
    left->addStretch(1);
    QGridLayout* page = GridAtLeast(*this, u.Rect(0, 0, 400, 234).size());
    page->setContentsMargins(u.X(6), u.Y(4), u.X(6), u.Y(4));
    page->setHorizontalSpacing(u.X(8));
    page->addLayout(left, 0, 0);
    page->addWidget(groups_[1], 0, 1);
    page->setColumnStretch(1, 1);
}

void PracticeDialog::ShowTexts()
{
    const int titles[] = {CountInTitle, GapTitle, SwingTitle, OffsetText::Title};
    for (std::size_t i = 0; i < groups_.size(); ++i)
        groups_[i]->setTitle(TableText(titles[i]));
    const std::pair<QWidget*, int> texts[] = {
        {countInLabel_, LengthText}, {soundLabel_, SoundText}, {soundNote_, SoundNoteText},
        {gapModes_[0], GapOffText}, {gapModes_[1], GapPeriodicText}, {playLabel_, GapPlayText},
        {muteLabel_, GapMuteText}, {gapModes_[2], GapRandomText}, {percentLabel_, GapPercentText},
        {rise_, GapRiseText}, {rampUnit_, BarsText}, {seedLabel_, GapSeedText}, {newSeed_, NewSeedText},
        {downbeat_, GapDownbeatText}, {swingLabel_, SwingText}, {countVoiceLabel_, CountVoiceText},
        {countThrough_, CountThroughText}, {offsetLabel_, OffsetText::Offset}, {calibrate_, OffsetText::Calibrate},
        {latencyLabel_, OffsetText::InputLatency},
    };
    for (const auto& [control, index] : texts) {
        if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(TableText(index));
        else
            static_cast<QAbstractButton*>(control)->setText(TableText(index));
    }
    countIn_->clear();
    for (const int item : {OffItem, OneBarItem, TwoBarsItem, FourBarsItem, TwoBeatsItem})
        countIn_->addItem(TableText(item));
    countVoice_->clear();
    for (const int item : {CountVoiceOffItem, CountVoiceCountInItem, CountVoiceAllItem})
        countVoice_->addItem(TableText(item));
    sound_->clear();
    const auto language = System::CurrentLanguage();
    for (int i = 0; i < Core::InstrumentCount; ++i)
        sound_->addItem(FromTableText(language->GetInstrumentName(i)));
}

void PracticeDialog::NameControls()
{
    // Named with their group, where the label alone would say too little.
    countIn_->setAccessibleName(groups_[0]->title() + u' ' + Plain(countInLabel_->text()));
    sound_->setAccessibleName(groups_[0]->title() + u' ' + Plain(soundLabel_->text()));
    ramp_->setAccessibleName(Plain(rise_->text()) + u' ' + rampUnit_->text());
    offset_->setAccessibleName(groups_[3]->title());
}

void PracticeDialog::Load(const Configuration::ConfigurationData& settings)
{
    ShowTexts();
    countIn_->setCurrentIndex(CountInItem(settings.CountIn));
    sound_->setCurrentIndex(std::clamp(settings.CountInInstrument, 0, Core::InstrumentCount - 1));
    gapModes_[static_cast<std::size_t>(std::clamp(settings.GapMode, 0, 2))]->setChecked(true);
    play_->setValue(settings.GapPlay);
    mute_->setValue(settings.GapMute);
    percent_->setValue(GapShare(settings.GapPercent));
    rise_->setChecked(settings.GapRamp > 0);
    if (settings.GapRamp > 0)
        ramp_->setValue(settings.GapRamp);
    seed_->setText(QString::number(std::max(settings.GapSeed, 0)));
    downbeat_->setChecked(settings.GapDownbeat != 0);
    swing_->setValue(std::isfinite(settings.Swing) ? static_cast<double>(settings.Swing) : 50.0);
    countVoice_->setCurrentIndex(std::clamp(settings.CountVoice, 0, 2));
    countThrough_->setChecked(settings.CountThrough != 0);
    // The offset of the output playing now, the latency of the input a run would read.
    Platform::Audio::Mixer* output = context_.window.Output();
    outputName_ = output != nullptr ? output->OutputIdentity() : std::string();
    inputName_ = context_.window.MidiInputName();
    const Configuration::ProgramSwitches& switches = context_.configuration.GetSwitches();
    const Core::Timing::PerDeviceValues offsets(-Core::Timing::OutputOffsetLimitMs, Core::Timing::OutputOffsetLimitMs,
                                                switches.OutputOffsets);
    const Core::Timing::PerDeviceValues latencies(0, Core::Timing::InputLatencyLimitMs, switches.InputLatencies);
    output_->setText(TableText(OffsetText::Output)
                         .arg(outputName_.empty() ? TableText(OffsetText::NoOutput) : QString::fromStdString(outputName_)));
    offset_->setValue(offsets.Get(outputName_));
    for (QWidget* control : std::initializer_list<QWidget*>{offsetLabel_, offset_, calibrate_})
        control->setEnabled(!outputName_.empty());
    latency_->setValue(latencies.Get(inputName_));
    EnableGapControls();
    FollowSoundSource(settings.SoundEngineType == Configuration::SoundSource::AudioFiles);
    FollowGrid(settings);
}

bool PracticeDialog::Apply(Configuration::ConfigurationData& record)
{
    record.CountIn = CountInValues[std::clamp(countIn_->currentIndex(), 0, 4)];
    record.CountInInstrument = std::max(sound_->currentIndex(), 0);
    for (std::size_t i = 0; i < gapModes_.size(); ++i) {
        if (gapModes_[i]->isChecked())
            record.GapMode = static_cast<std::int32_t>(i);
    }
    record.GapPlay = play_->value();
    record.GapMute = mute_->value();
    record.GapPercent = GapShare(percent_->value());
    record.GapRamp = rise_->isChecked() ? ramp_->value() : 0;
    record.GapSeed = static_cast<std::int32_t>(std::min(seed_->text().toLongLong(), static_cast<long long>(LargestSeed)));
    record.GapDownbeat = downbeat_->isChecked() ? 1 : 0;
    record.Swing = static_cast<float>(swing_->value());
    record.CountVoice = std::clamp(countVoice_->currentIndex(), 0, 2);
    record.CountThrough = countThrough_->isChecked() ? 1 : 0;
    Configuration::ProgramSwitches& switches = context_.configuration.GetSwitches();
    if (!outputName_.empty()) {
        Core::Timing::PerDeviceValues offsets(-Core::Timing::OutputOffsetLimitMs, Core::Timing::OutputOffsetLimitMs,
                                              switches.OutputOffsets);
        offsets.Set(outputName_, offset_->value());
        switches.OutputOffsets = offsets.Text();
    }
    Core::Timing::PerDeviceValues latencies(0, Core::Timing::InputLatencyLimitMs, switches.InputLatencies);
    latencies.Set(inputName_, latency_->value());
    switches.InputLatencies = latencies.Text();
    return true;
}

void PracticeDialog::Calibrate()
{
    // A run of the settings dialog's own would hold the output: stopped first.
    context_.window.StopIfRunning();
    TapCalibration calibration(context_.metronome, context_.window.Output(), context_.configuration.GetData(), this);
    if (calibration.exec() == QDialog::Accepted && calibration.Proposed())
        offset_->setValue(*calibration.Proposed());
}

void PracticeDialog::FollowSoundSource(bool audioFiles)
{
    sound_->setEnabled(!audioFiles);
    soundNote_->setVisible(audioFiles);
}

void PracticeDialog::FollowGrid(const Configuration::ConfigurationData& settings)
{
    swingPossible_ = Core::SwingGridSteps(settings) != 0;
    swing_->setEnabled(swingPossible_);
    swingLabel_->setEnabled(swingPossible_);
    swingNote_->setText(TableText(swingPossible_ ? SwingHintText : SwingOffText));
}

void PracticeDialog::EnableGapControls()
{
    const bool periodic = gapModes_[1]->isChecked();
    const bool random = gapModes_[2]->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{playLabel_, play_, muteLabel_, mute_})
        control->setEnabled(periodic);
    for (QWidget* control : std::initializer_list<QWidget*>{percentLabel_, percent_, rise_, seedLabel_, seed_, newSeed_})
        control->setEnabled(random);
    ramp_->setEnabled(random && rise_->isChecked());
    rampUnit_->setEnabled(random && rise_->isChecked());
    downbeat_->setEnabled(periodic || random);
}

} // namespace GUI
