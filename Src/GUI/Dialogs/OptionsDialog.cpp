// The Options page: its controls, their layout and their reactions while the page is open.
#include "GUI/Dialogs/OptionsDialog.h"

#include "GUI/Dialogs/UpDown.h"
#include "GUI/StepSequencerDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace GUI {

namespace {

constexpr int GroupIds[] = {1020, 1026, 1029, 1033};
constexpr int TrainerGroupId = 1035;
constexpr int SubdivisionLabelIds[] = {1030, 1031};

// Balloon texts for a refused character.
constexpr int PeriodBalloon = 3, PlusBalloon = 4, PercentBalloon = 5;

struct TrainerField {
    const char* label;
    int labelId;
    bool percent;
};
constexpr TrainerField TrainerFields[] = {
    {"From", 1040, true},     {"To", 1041, true},          {"Step", 1042, true},
    {"Duration", 1043, false}, {"Warm Up", 1044, false}, {"Warm Down", 1045, false},
};

} // namespace

OptionsDialog::OptionsDialog(const DialogContext& context, IParentWindow& frame, ControlSubClasser& helpReceiver,
                             HelpTable help)
    : TabDialog(frame, helpReceiver, help), context_(context)
{
    CreateControls();
    Connect();
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::CreateControls()
{
    // Created in the order Tab moves through them; LayOut places them.
    const auto make = [this](auto* control, int id) { return Place(control, id, 0, 0, 0, 0); };
    for (std::size_t i = 0; i < groups_.size(); ++i)
        groups_[i] = make(new QGroupBox(this), GroupIds[i]);
    trainerGroup_ = make(new QGroupBox(QStringLiteral("Speed Trainer"), this), TrainerGroupId);
    groups_[0]->setTitle(QStringLiteral("Beat Type"));
    groups_[1]->setTitle(QStringLiteral("Sound Source"));
    groups_[2]->setTitle(QStringLiteral("Beat Subdivision"));
    groups_[3]->setTitle(QStringLiteral("Options"));

    beatTypes_[0] = make(new QRadioButton(QStringLiteral("&Simple Beat"), this), SimpleBeatId);
    beatTypes_[1] = make(new QRadioButton(QStringLiteral("&Beats Per Bar"), this), BeatsPerBarId);
    beatsPerBar_ = make(new QLineEdit(this), BarsEditId);
    barsUpDown_ = make(new UpDown(this), BarsUpDownId);
    beatTypes_[2] = make(new QRadioButton(QStringLiteral("Custom &Pattern"), this), CustomPatternId);
    pattern_ = make(new QLineEdit(this), PatternEditId);
    beatTypes_[3] = make(new QRadioButton(QStringLiteral("Custom &Rhythm"), this), CustomRhythmId);
    stepButton_ = make(new QPushButton(QStringLiteral("Step Se&quencer..."), this), StepSequencerId);
    midi_ = make(new QRadioButton(QStringLiteral("Mi&di"), this), MidiId);
    audioFiles_ = make(new QRadioButton(QStringLiteral("&Audio Files"), this), AudioFilesId);
    const char* subdivisionTexts[] = {"Beat Subdivision", "Secondary Subdivision"};
    for (std::size_t i = 0; i < subdivisions_.size(); ++i) {
        subdivisionLabels_[i] = make(new QLabel(QString::fromLatin1(subdivisionTexts[i]), this), SubdivisionLabelIds[i]);
        subdivisions_[i] = make(new QComboBox(this), Subdivision1Id + static_cast<int>(i));
        subdivisionLabels_[i]->setBuddy(subdivisions_[i]);
        for (const char* item : {"0", "2", "3", "4", "5", "6", "7", "8"})
            subdivisions_[i]->addItem(QString::fromLatin1(item));
    }
    compound_ = make(new QCheckBox(QStringLiteral("&Compound Time"), this), CompoundTimeId);
    indicator_ = make(new QCheckBox(QStringLiteral("Use &Visual Beat Indicator"), this), VisualIndicatorId);
    trainer_ = make(new QCheckBox(QStringLiteral("E&nable"), this), TrainerId);
    durationsInBars_ = make(new QCheckBox(QStringLiteral("&Durations In Bars"), this), DurationsInBarsId);
    logarithmic_ = make(new QCheckBox(QStringLiteral("&Logarithmic"), this), LogarithmicId);
    beep_ = make(new QCheckBox(QStringLiteral("B&eep"), this), BeepId);
    for (std::size_t i = 0; i < trainerEdits_.size(); ++i) {
        const TrainerField& field = TrainerFields[i];
        const int editId = FromEditId + 2 * static_cast<int>(i);
        TrainerEdit& entry = trainerEdits_[i];
        entry.label = make(new QLabel(QString::fromLatin1(field.label), this), field.labelId);
        entry.edit = make(new QLineEdit(this), editId);
        entry.upDown = make(new UpDown(this), editId + 1);
        entry.upDown->SetRange(0, field.percent ? 100 : 1000);
        entry.label->setBuddy(entry.edit);
        entry.percent = field.percent;
    }
    // The beat types and the sound sources are two separate choices on one page.
    auto* beatTypes = new QButtonGroup(this);
    for (QRadioButton* button : beatTypes_)
        beatTypes->addButton(button);
    auto* sources = new QButtonGroup(this);
    sources->addButton(midi_);
    sources->addButton(audioFiles_);
    barsUpDown_->SetRange(1, MaxBeatsPerBar);
    beatsPerBar_->setMaxLength(128);
    pattern_->setMaxLength(127);
    for (QGroupBox* group : groups_)
        group->lower();
    trainerGroup_->lower();
    SetAcceptedCharacters(beatsPerBar_, QStringLiteral("0123456789"));
    SetAcceptedCharacters(pattern_, QStringLiteral("0123456789+"));
    for (const TrainerEdit& field : trainerEdits_)
        SetAcceptedCharacters(field.edit, QStringLiteral("0123456789.%"));
}

void OptionsDialog::Connect()
{
    for (QRadioButton* button : beatTypes_) {
        connect(button, &QRadioButton::clicked, this, [this, button] {
            if (opened_ && button->isChecked())
                EnableBeatTypeControls();
        });
    }
    connect(midi_, &QRadioButton::clicked, this, [this] {
        if (opened_ && midi_->isChecked())
            Frame().Notify(IParentWindow::SoundSourceChanged, 0);
    });
    connect(audioFiles_, &QRadioButton::clicked, this, [this] {
        if (opened_ && audioFiles_->isChecked())
            Frame().Notify(IParentWindow::SoundSourceChanged, 1);
    });
    connect(trainer_, &QCheckBox::clicked, this, [this] {
        if (opened_)
            EnableTrainerControls();
    });
    connect(stepButton_, &QPushButton::clicked, this, [this] {
        if (opened_)
            OpenStepSequencer();
    });
    connect(beatsPerBar_, &QLineEdit::editingFinished, this, [this] {
        if (opened_)
            LimitBeatsPerBar();
    });
    connect(beatsPerBar_, &QLineEdit::textEdited, this, [this](const QString& text) {
        barsUpDown_->SetPosition(text.toInt());
    });
    connect(barsUpDown_, &UpDown::valueChanged, this, [this](int position) {
        beatsPerBar_->setText(QString::number(position));
    });
    for (const TrainerEdit& field : trainerEdits_) {
        connect(field.edit, &QLineEdit::textChanged, this, [this, &field] {
            if (opened_)
                TrainerEditChanged(field);
        });
        connect(field.upDown, &UpDown::valueChanged, this, [this, &field](int position) {
            if (opened_)
                ShowTrainerValue(field, position);
        });
    }
}

void OptionsDialog::LayOut()
{
    const DialogUnits u = Units();
    const auto fit = [&u](QWidget* control, int units) { return std::max(u.X(units), control->sizeHint().width()); };
    const int row = u.Y(10), editHeight = u.Y(13), buttonHeight = u.Y(14);
    const int upDownWidth = u.X(10);
    const int outer = u.X(6), inner = u.X(8), gap = u.X(4);

    // Left column: beat type, sound source, options, beat subdivision.
    const int left = outer + inner;
    int radioWidth = 0;
    for (QRadioButton* button : beatTypes_)
        radioWidth = std::max(radioWidth, fit(button, 64));
    const int fieldX = left + radioWidth + gap;
    const int fieldWidth = std::max({u.X(90), stepButton_->sizeHint().width()});
    int leftRight = fieldX + fieldWidth;
    beatTypes_[0]->setGeometry(left, u.Y(16), radioWidth, row);
    beatTypes_[1]->setGeometry(left, u.Y(32), radioWidth, row);
    beatsPerBar_->setGeometry(fieldX, u.Y(30), u.X(30), editHeight);
    barsUpDown_->setGeometry(fieldX + u.X(30), u.Y(30), upDownWidth, editHeight);
    beatTypes_[2]->setGeometry(left, u.Y(49), radioWidth, row);
    pattern_->setGeometry(fieldX, u.Y(47), fieldWidth, editHeight);
    beatTypes_[3]->setGeometry(left, u.Y(66), radioWidth, row);
    stepButton_->setGeometry(fieldX, u.Y(64), fieldWidth, buttonHeight);

    const int midiWidth = fit(midi_, 40);
    midi_->setGeometry(left, u.Y(111), midiWidth, row);
    audioFiles_->setGeometry(left + midiWidth + u.X(10), u.Y(111), fit(audioFiles_, 60), row);
    leftRight = std::max(leftRight, audioFiles_->geometry().right());
    indicator_->setGeometry(left, u.Y(145), fit(indicator_, 120), row);
    leftRight = std::max(leftRight, indicator_->geometry().right());

    int labelWidth = 0;
    for (QLabel* label : subdivisionLabels_)
        labelWidth = std::max(labelWidth, fit(label, 80));
    for (std::size_t i = 0; i < subdivisions_.size(); ++i) {
        const int y = u.Y(178 + 16 * static_cast<int>(i));
        subdivisionLabels_[i]->setGeometry(left, y + u.Y(2), labelWidth, row);
        subdivisions_[i]->setGeometry(left + labelWidth + gap, y, fit(subdivisions_[i], 36), editHeight);
    }
    compound_->setGeometry(left, u.Y(212), fit(compound_, 90), row);
    leftRight = std::max({leftRight, subdivisions_[0]->geometry().right(), compound_->geometry().right()});

    const int groupWidth = std::max(u.X(190), leftRight + inner - outer);
    groups_[0]->setGeometry(outer, u.Y(4), groupWidth, u.Y(80));
    groups_[1]->setGeometry(outer, u.Y(98), groupWidth, u.Y(28));
    groups_[2]->setGeometry(outer, u.Y(165), groupWidth, u.Y(62));
    groups_[3]->setGeometry(outer, u.Y(132), groupWidth, u.Y(28));

    // Right column: the speed trainer.
    const int groupX = outer + groupWidth + u.X(8);
    const int trainerLeft = groupX + inner;
    int checkWidth = 0;
    for (QCheckBox* box : {trainer_, durationsInBars_, logarithmic_, beep_})
        checkWidth = std::max(checkWidth, fit(box, 80));
    trainer_->setGeometry(trainerLeft, u.Y(18), checkWidth, row);
    durationsInBars_->setGeometry(trainerLeft, u.Y(34), checkWidth, row);
    logarithmic_->setGeometry(trainerLeft, u.Y(50), checkWidth, row);
    beep_->setGeometry(trainerLeft, u.Y(66), checkWidth, row);
    int trainerLabelWidth = 0;
    for (const TrainerEdit& field : trainerEdits_)
        trainerLabelWidth = std::max(trainerLabelWidth, fit(field.label, 44));
    const int editWidth = std::max(u.X(50), beatsPerBar_->fontMetrics().horizontalAdvance(QStringLiteral("1000.00%")) + u.X(8));
    for (std::size_t i = 0; i < trainerEdits_.size(); ++i) {
        const TrainerEdit& field = trainerEdits_[i];
        const int y = u.Y(88 + 22 * static_cast<int>(i));
        field.label->setGeometry(trainerLeft, y + u.Y(2), trainerLabelWidth, row);
        field.edit->setGeometry(trainerLeft + trainerLabelWidth + gap, y, editWidth, editHeight);
        field.upDown->setGeometry(field.edit->geometry().right() + 1, y, upDownWidth, editHeight);
    }
    const int trainerRight =
        std::max(trainerLeft + checkWidth, trainerEdits_[0].upDown->geometry().right()) + inner;
    const int trainerWidth = std::max(u.X(400 - 6) - groupX, trainerRight - groupX);
    trainerGroup_->setGeometry(groupX, u.Y(4), trainerWidth, u.Y(223));
    setMinimumSize(groupX + trainerWidth + outer, u.Y(234));
}

void OptionsDialog::EnableBeatTypeControls()
{
    using Configuration::BeatKind;
    const BeatKind type = CheckedBeatType();
    beatsPerBar_->setEnabled(type == BeatKind::BeatsPerBar);
    barsUpDown_->setEnabled(type == BeatKind::BeatsPerBar);
    pattern_->setEnabled(type == BeatKind::CustomPattern);
    stepButton_->setEnabled(type == BeatKind::CustomRhythm);
}

void OptionsDialog::EnableTrainerControls()
{
    const bool on = trainer_->isChecked();
    for (QWidget* control : {static_cast<QWidget*>(durationsInBars_), static_cast<QWidget*>(logarithmic_),
                             static_cast<QWidget*>(beep_)})
        control->setEnabled(on);
    for (const TrainerEdit& field : trainerEdits_) {
        field.edit->setEnabled(on);
        field.upDown->setEnabled(on);
    }
}

Configuration::BeatKind OptionsDialog::CheckedBeatType() const
{
    for (int i = 0; i < 3; ++i) {
        if (beatTypes_[static_cast<std::size_t>(i)]->isChecked())
            return static_cast<Configuration::BeatKind>(i);
    }
    return Configuration::BeatKind::CustomRhythm;
}

bool OptionsDialog::MidiChosen() const
{
    return midi_->isChecked();
}

bool OptionsDialog::event(QEvent* event)
{
    if (event->type() != RejectedCharacterEvent::EventType)
        return TabDialog::event(event);
    QWidget* control = static_cast<RejectedCharacterEvent*>(event)->Control();
    if (control == beatsPerBar_) {
        QApplication::beep();
    } else if (control == pattern_) {
        ShowInputBalloon(control, PlusBalloon);
    } else {
        for (const TrainerEdit& field : trainerEdits_) {
            if (field.edit == control)
                ShowInputBalloon(control, field.percent ? PercentBalloon : PeriodBalloon);
        }
    }
    return true;
}

} // namespace GUI
