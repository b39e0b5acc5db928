// The Options page: its controls, their layout and their reactions while the page is open.
#include "GUI/Dialogs/OptionsDialog.h"

#include "GUI/AudioCalibration.h"
#include "GUI/Dialogs/UpDown.h"
#include "GUI/ScreenFit.h"
#include "GUI/StepSequencerDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

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

OptionsDialog::OptionsDialog(const DialogContext& context, IParentWindow& frame, HelpTable help)
    : TabDialog(frame, help), context_(context)
{
    CreateControls();
    LayOutControls();
    Connect();
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::CreateControls()
{
    // Created in the order Tab moves through them; LayOutControls places them.
    const auto make = [this](auto* control, int id) { return Tag(control, id); };
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
    diary_ = make(new QCheckBox(this), DiaryId);
    timingFeedback_ = make(new QCheckBox(this), TimingFeedbackId);
    timingInputLabel_ = make(new QLabel(this), TimingInputLabelId);
    timingInput_ = make(new QComboBox(this), TimingInputId);
    timingInputLabel_->setBuddy(timingInput_);
    calibrate_ = make(new QPushButton(this), CalibrateId);
    calibrationState_ = make(new QLabel(this), CalibrationStateId);
    calibrationState_->setWordWrap(true);
    trainer_ = make(new QCheckBox(QStringLiteral("E&nable"), this), TrainerId);
    durationsInBars_ = make(new QCheckBox(QStringLiteral("D&urations In Bars"), this), DurationsInBarsId);
    logarithmic_ = make(new QCheckBox(QStringLiteral("&Logarithmic"), this), LogarithmicId);
    beep_ = make(new QCheckBox(QStringLiteral("B&eep"), this), BeepId);
    gate_ = make(new QCheckBox(this), GateId);
    const int gateIds[] = {GateMeanId, GateSpreadId, GateRepeatsId};
    for (std::size_t i = 0; i < gateValues_.size(); ++i) {
        gateLabels_[i] = new QLabel(this);
        gateValues_[i] = make(new QSpinBox(this), gateIds[i]);
        gateLabels_[i]->setBuddy(gateValues_[i]);
        gateValues_[i]->setRange(i < 2 ? 1 : 0, i < 2 ? 100 : 20);
        if (i < 2)
            gateValues_[i]->setSuffix(QStringLiteral("\u00a0ms"));
    }
    connect(gate_, &QCheckBox::toggled, this, [this] { EnableTrainerControls(); });
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
        entry.bpm = i < 2 ? make(new QLineEdit(this), FromBpmEditId + static_cast<int>(i)) : nullptr;
        entry.unit = i == 2 ? nullptr : new QLabel(this);
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
    SetAcceptedCharacters(beatsPerBar_, QStringLiteral("0123456789"));
    SetAcceptedCharacters(pattern_, QStringLiteral("0123456789+"));
    for (const TrainerEdit& field : trainerEdits_) {
        SetAcceptedCharacters(field.edit, QStringLiteral("0123456789.%"));
        if (field.bpm != nullptr) {
            SetAcceptedCharacters(field.bpm, QStringLiteral("0123456789."));
            field.bpm->setMaxLength(10);
        }
    }
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
    connect(timingInput_, &QComboBox::currentIndexChanged, this,
            [this](int index) { calibrate_->setEnabled(index == 1 && !(calibration_ && calibration_->Running())); });
    connect(calibrate_, &QPushButton::clicked, this, [this] {
        if (opened_)
            Calibrate();
    });
    connect(trainer_, &QCheckBox::clicked, this, [this] {
        if (opened_)
            EnableTrainerControls();
    });
    connect(durationsInBars_, &QCheckBox::toggled, this, [this] { ShowTrainerUnits(); });
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
        if (field.bpm != nullptr)
            connect(field.bpm, &QLineEdit::textEdited, this, [this, &field] {
                if (opened_)
                    TrainerBpmEdited(field);
            });
    }
}

void OptionsDialog::LayOutControls()
{
    // Two columns of groups at their English sizes at least: beat type, sound source, options
    // and subdivision on the left, the speed trainer on the right.
    const DialogUnits u = Units();
    // Rows are at least as far apart as in English.
    const auto grid = [&u](QGroupBox* group, int width, int height, std::initializer_list<int> rowPitches) {
        QGridLayout* layout = GridAtLeast(*group, u.Rect(0, 0, width, height).size());
        layout->setContentsMargins(u.X(8), u.Y(2), u.X(8), u.Y(2));
        layout->setColumnStretch(1, 1);
        layout->setHorizontalSpacing(u.X(4));
        layout->setVerticalSpacing(0);
        int row = 0;
        for (const int pitch : rowPitches)
            layout->setRowMinimumHeight(row++, u.Y(pitch));
        return layout;
    };
    const auto editWithUpDown = [&u](QLineEdit* edit, UpDown* upDown, int editWidth) {
        auto* row = new QHBoxLayout;
        row->setSpacing(0);
        edit->setFixedWidth(editWidth);
        upDown->setFixedSize(u.X(10), edit->sizeHint().height());
        row->addWidget(edit);
        row->addWidget(upDown);
        row->addStretch(1);
        return row;
    };

    QGridLayout* beatType = grid(groups_[0], 190, 80, {17, 17, 17, 17});
    for (int i = 0; i < 4; ++i)
        beatType->addWidget(beatTypes_[static_cast<std::size_t>(i)], i, 0);
    beatType->addLayout(editWithUpDown(beatsPerBar_, barsUpDown_, u.X(30)), 1, 1);
    beatType->addWidget(pattern_, 2, 1);
    beatType->addWidget(stepButton_, 3, 1);
    beatType->setColumnMinimumWidth(1, u.X(90));

    QGridLayout* source = grid(groups_[1], 190, 28, {});
    source->addWidget(midi_, 0, 0);
    source->addWidget(audioFiles_, 0, 1, Qt::AlignLeft);
    source->setColumnMinimumWidth(0, u.X(50));

    QGridLayout* options = grid(groups_[3], 190, 28, {});
    options->addWidget(indicator_, 0, 0, 1, 2);
    options->addWidget(diary_, 1, 0, 1, 2);
    options->addWidget(timingFeedback_, 2, 0, 1, 2);
    auto* input = new QHBoxLayout;
    input->setSpacing(u.X(4));
    input->addWidget(timingInputLabel_);
    input->addWidget(timingInput_);
    input->addWidget(calibrate_);
    input->addStretch(1);
    options->addLayout(input, 3, 0, 1, 2);
    options->addWidget(calibrationState_, 4, 0, 1, 2);

    QGridLayout* subdivision = grid(groups_[2], 190, 62, {16, 16, 18});
    for (int i = 0; i < 2; ++i) {
        subdivision->addWidget(subdivisionLabels_[static_cast<std::size_t>(i)], i, 0);
        subdivision->addWidget(subdivisions_[static_cast<std::size_t>(i)], i, 1, Qt::AlignLeft);
    }
    subdivision->addWidget(compound_, 2, 0, 1, 2);

    QGridLayout* trainer = grid(trainerGroup_, 190, 223, {16, 16, 16, 16, 6, 22, 22, 22, 22, 22, 22});
    trainer->setColumnStretch(1, 0);
    trainer->setColumnStretch(2, 1);
    int row = 0;
    for (QCheckBox* box : {trainer_, durationsInBars_, logarithmic_, beep_})
        trainer->addWidget(box, row++, 0, 1, 3);
    ++row; // the gap between the switches and the edits
    const int editWidth =
        std::max(u.X(50), beatsPerBar_->fontMetrics().horizontalAdvance(QStringLiteral("1000.00%")) + u.X(8));
    for (const TrainerEdit& field : trainerEdits_) {
        trainer->addWidget(field.label, row, 0);
        trainer->addLayout(editWithUpDown(field.edit, field.upDown, editWidth), row, 1);
        auto* beside = new QHBoxLayout;
        beside->setSpacing(u.X(2));
        if (field.bpm != nullptr) {
            field.bpm->setFixedWidth(beatsPerBar_->fontMetrics().horizontalAdvance(QStringLiteral("1000.00")) + u.X(8));
            beside->addWidget(field.bpm);
        }
        if (field.unit != nullptr)
            beside->addWidget(field.unit);
        beside->addStretch(1);
        trainer->addLayout(beside, row++, 2);
    }
    // The trainer that waits, below the levels it judges.
    trainer->addWidget(gate_, row++, 0, 1, 3);
    for (std::size_t i = 0; i < gateValues_.size(); ++i) {
        trainer->addWidget(gateLabels_[i], row, 0);
        trainer->addWidget(gateValues_[i], row++, 1, Qt::AlignLeft);
    }

    auto* left = new QVBoxLayout;
    left->setSpacing(u.Y(6));
    for (QGroupBox* group : {groups_[0], groups_[1], groups_[3], groups_[2]})
        left->addWidget(group);
    left->addStretch(1);
    QGridLayout* page = GridAtLeast(*this, u.Rect(0, 0, 400, 234).size());
    page->setContentsMargins(u.X(6), u.Y(4), u.X(6), u.Y(4));
    page->setHorizontalSpacing(u.X(8));
    page->addLayout(left, 0, 0);
    page->addWidget(trainerGroup_, 0, 1);
    page->setColumnStretch(1, 1);
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
    gate_->setEnabled(on);
    for (std::size_t i = 0; i < gateValues_.size(); ++i) {
        gateLabels_[i]->setEnabled(on && gate_->isChecked());
        gateValues_[i]->setEnabled(on && gate_->isChecked());
    }
    for (const TrainerEdit& field : trainerEdits_) {
        field.edit->setEnabled(on);
        field.upDown->setEnabled(on);
        if (field.bpm != nullptr)
            field.bpm->setEnabled(on);
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
            else if (field.bpm == control)
                ShowInputBalloon(control, PeriodBalloon);
        }
    }
    return true;
}

} // namespace GUI
