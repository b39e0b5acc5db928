// The Options page's values: loading them from the settings, the limits on the edits, applying
// them to a record, and readying the step sequencer's record.
#include "GUI/Dialogs/OptionsDialog.h"

#include "Configuration/IConfiguration.h"
#include "Core/Engine/BeatPatterns.h"
#include "Core/Timing/Calibration.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/AudioCalibration.h"
#include "GUI/LiveTiming.h"
#include "GUI/Dialogs/DiaryDialog.h"
#include "GUI/Dialogs/OffsetTexts.h"
#include "GUI/Dialogs/UpDown.h"
#include "GUI/ProgramFont.h"
#include "GUI/StepSequencerDialog.h"
#include "System/CurrentLanguage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace GUI {

namespace {

constexpr int NoAudioFilesTitle = 16, NoAudioFilesText = 19;
constexpr int BpmText = 1, MinutesInTotalText = 24, BarsPerLevelText = 25, MinutesText = 26, BarsText = 27;
constexpr double PercentLimit = 100.0, DurationLimit = 1000.0;

// The number the text starts with: its leading digits (at most 128 are read), 0 without any.
// Larger numbers than an int holds count as the largest.
long long LeadingInteger(const QString& text)
{
    long long value = 0;
    for (qsizetype i = 0; i < std::min<qsizetype>(text.size(), 128) && text[i].isDigit(); ++i)
        value = std::min(value * 10 + text[i].digitValue(), static_cast<long long>(INT32_MAX));
    return value;
}

// The decimal number the text starts with ("12.5%" gives 12.5); 0 without one. Independent of
// the user's locale, as the edits show a period whatever the language.
float LeadingNumber(const QString& text)
{
    const std::string ascii = text.toStdString();
    float value = 0.0F;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::fixed);
    (void)end;
    return error == std::errc() && std::isfinite(value) ? value : 0.0F;
}


// Subdivision list items: "0" is no subdivision, item k >= 1 divides the beat into k + 1.
int SubdivisionItem(std::int32_t value)
{
    return std::clamp(value - 1, 0, 7);
}

std::int32_t SubdivisionValue(int item)
{
    return item <= 0 ? 0 : item + 1;
}

} // namespace

void OptionsDialog::Load(const Configuration::ConfigurationData& settings)
{
    opened_ = false;
    mainTempo_ = settings.Bpm;
    bpmTyped_ = {};
    beatTypes_[static_cast<std::size_t>(std::clamp(static_cast<int>(settings.BeatType), 0, 3))]->setChecked(true);
    EnableBeatTypeControls();
    beatsPerBar_->setText(QString::number(settings.BeatsPerBar));
    barsUpDown_->SetPosition(settings.BeatsPerBar);
    pattern_->setText(QString::fromStdU16String(settings.CustomPattern));
    compound_->setChecked(settings.CompoundTime != 0);
    (settings.SoundEngineType == Configuration::SoundSource::Midi ? midi_ : audioFiles_)->setChecked(true);
    subdivisions_[0]->setCurrentIndex(SubdivisionItem(settings.Subdivision1));
    subdivisions_[1]->setCurrentIndex(SubdivisionItem(settings.Subdivision2));
    indicator_->setChecked(settings.VisualIndicator != 0);
    // The diary's switch is the program's, not the record's: a preset does not change it.
    diary_->setText(FromTableText(System::CurrentLanguage()->GetText(DiaryText::Switch)));
    diary_->setChecked(context_.configuration.GetSwitches().Diary != 0);
    timingFeedback_->setText(FromTableText(System::CurrentLanguage()->GetText(TimingText::Switch)));
    timingFeedback_->setChecked(context_.configuration.GetSwitches().TimingFeedback != 0);
    {
        const auto language = System::CurrentLanguage();
        const auto text = [&language](int index) { return FromTableText(language->GetText(index)); };
        timingInputLabel_->setText(text(AudioInputText::InputLabel));
        const QSignalBlocker quiet(timingInput_);
        timingInput_->clear();
        timingInput_->addItem(text(AudioInputText::MidiItem));
        timingInput_->addItem(text(AudioInputText::AudioItem));
        timingInput_->setCurrentIndex(context_.configuration.GetSwitches().TimingInput == 1 ? 1 : 0);
        calibrate_->setText(text(AudioInputText::Calibrate));
        const bool calibrating = calibration_ && calibration_->Running();
        calibrate_->setEnabled(timingInput_->currentIndex() == 1 && !calibrating);
        if (!calibrating)
            calibrationState_->clear();
        roundTrips_ = context_.configuration.GetSwitches().AudioRoundTrips;
    }
    const float values[] = {settings.From, settings.To, settings.Step,
                            settings.Duration, settings.Warmup, settings.Warmdown};
    for (std::size_t i = 0; i < trainerEdits_.size(); ++i) {
        const TrainerEdit& field = trainerEdits_[i];
        const double shown = field.percent ? static_cast<double>(values[i]) * 100.0 : static_cast<double>(values[i]);
        ShowTrainerValue(field, shown);
        field.upDown->SetPosition(static_cast<int>(std::trunc(shown)));
        ShowTrainerBpm(field);
    }
    trainer_->setChecked(settings.SpeedTrainer != Configuration::TrainerMode::Off);
    const auto text = [](int index) { return FromTableText(System::CurrentLanguage()->GetText(index)); };
    gate_->setText(text(OffsetText::Gate));
    const int gateTexts[] = {OffsetText::GateMean, OffsetText::GateSpread, OffsetText::GateRepeats};
    const std::int32_t gateValues[] = {settings.GateMean, settings.GateSpread, settings.GateRepeats};
    for (std::size_t i = 0; i < gateValues_.size(); ++i) {
        gateLabels_[i]->setText(text(gateTexts[i]));
        gateValues_[i]->setValue(gateValues[i]);
        gateValues_[i]->setAccessibleName(gate_->text().remove(u'&') + u' ' + gateLabels_[i]->text());
    }
    gate_->setChecked(settings.TrainerGate != 0);
    EnableTrainerControls();
    durationsInBars_->setChecked(settings.DurationsInBars != 0);
    logarithmic_->setChecked(settings.Logarithmic != 0);
    beep_->setChecked(settings.Beep != 0);
    ShowTrainerUnits();
    opened_ = true;
}

void OptionsDialog::ShowTrainerBpm(const TrainerEdit& field)
{
    if (field.bpm == nullptr)
        return;
    // What the engine starts from: the percentage of the main tempo, in hundredths.
    const double tempo = std::round(static_cast<double>(LeadingNumber(field.edit->text())) * mainTempo_) / 100.0;
    field.bpm->setText(QString::number(tempo, 'f', 2).remove(QRegularExpression(QStringLiteral("\\.?0+$"))));
}

void OptionsDialog::TrainerBpmEdited(const TrainerEdit& field)
{
    const std::size_t index = field.label == trainerEdits_[0].label ? 0 : 1;
    const double percent = mainTempo_ > 0 ? std::min(LeadingNumber(field.bpm->text()) * 100.0 / mainTempo_, PercentLimit) : 0.0;
    showingBpm_ = true;
    ShowTrainerValue(field, percent);
    showingBpm_ = false;
    bpmTyped_[index] = true;
}

void OptionsDialog::ShowTrainerUnits()
{
    const auto language = System::CurrentLanguage();
    const bool bars = durationsInBars_->isChecked();
    const int units[] = {BpmText, BpmText, 0, bars ? BarsPerLevelText : MinutesInTotalText, bars ? BarsText : MinutesText,
                         bars ? BarsPerLevelText : MinutesInTotalText};
    for (std::size_t i = 0; i < trainerEdits_.size(); ++i) {
        const TrainerEdit& field = trainerEdits_[i];
        if (field.unit != nullptr)
            field.unit->setText(FromTableText(language->GetText(units[i])));
        if (field.bpm != nullptr)
            field.bpm->setAccessibleName(field.label->text().remove(QLatin1Char('&')) + QLatin1Char(' ') + field.unit->text());
    }
}

void OptionsDialog::ShowTrainerValue(const TrainerEdit& field, double value)
{
    field.edit->setText(field.percent ? QString::asprintf("%0.2f%%", value) : QString::asprintf("%0.2f", value));
}

void OptionsDialog::LimitBeatsPerBar()
{
    if (LeadingInteger(beatsPerBar_->text()) > MaxBeatsPerBar)
        beatsPerBar_->setText(QString::number(MaxBeatsPerBar));
}

void OptionsDialog::TrainerEditChanged(const TrainerEdit& field)
{
    const double limit = field.percent ? PercentLimit : DurationLimit;
    const double value = LeadingNumber(field.edit->text());
    if (value > limit)
        ShowTrainerValue(field, limit);
    field.upDown->SetPosition(static_cast<int>(std::trunc(std::min(value, limit))));
    if (field.bpm != nullptr && !showingBpm_) {
        bpmTyped_[field.label == trainerEdits_[0].label ? 0 : 1] = false;
        ShowTrainerBpm(field);
    }
}

void OptionsDialog::WriteGrid(Configuration::ConfigurationData& record) const
{
    record.BeatType = CheckedBeatType();
    // A typed number above the up-down's range is taken as its largest value.
    record.BeatsPerBar = static_cast<std::int32_t>(std::min<long long>(LeadingInteger(beatsPerBar_->text()), MaxBeatsPerBar));
    record.CompoundTime = compound_->isChecked() ? 1 : 0;
    record.Subdivision1 = SubdivisionValue(subdivisions_[0]->currentIndex());
    record.Subdivision2 = SubdivisionValue(subdivisions_[1]->currentIndex());
}

bool OptionsDialog::Apply(Configuration::ConfigurationData& record)
{
    const Configuration::BeatKind beatType = CheckedBeatType();
    WriteGrid(record);
    if (midi_->isChecked()) {
        record.SetSoundSource(Configuration::SoundSource::Midi);
    } else {
        TabDialog* files = Frame().GetPage(0);
        const QStringList names = files ? files->FileNames() : QStringList();
        if (std::none_of(names.begin(), names.end(), [](const QString& name) { return !name.isEmpty(); })) {
            const auto language = System::CurrentLanguage();
            QMessageBox box(QMessageBox::Information, FromTableText(language->GetMessageTitle(NoAudioFilesTitle)),
                            FromTableText(language->GetMessage(NoAudioFilesText)), QMessageBox::Ok, this);
            box.exec();
            Frame().Request(IParentWindow::ShowPage, {});
            return false;
        }
        record.SetSoundSource(Configuration::SoundSource::AudioFiles);
    }
    if (!ApplyPattern(record, beatType == Configuration::BeatKind::CustomPattern))
        return false;
    record.SpeedTrainer = trainer_->isChecked() ? Configuration::TrainerMode::On : Configuration::TrainerMode::Off;
    record.DurationsInBars = durationsInBars_->isChecked() ? 1 : 0;
    record.Logarithmic = logarithmic_->isChecked() ? 1 : 0;
    record.Beep = beep_->isChecked() ? 1 : 0;
    record.TrainerGate = gate_->isChecked() ? 1 : 0;
    record.GateMean = gateValues_[0]->value();
    record.GateSpread = gateValues_[1]->value();
    record.GateRepeats = gateValues_[2]->value();
    float* targets[] = {&record.From, &record.To, &record.Step, &record.Duration, &record.Warmup, &record.Warmdown};
    for (std::size_t i = 0; i < trainerEdits_.size(); ++i) {
        const float value = LeadingNumber(trainerEdits_[i].edit->text());
        *targets[i] = trainerEdits_[i].percent ? value / 100.0F : value;
    }
    // A tempo typed is kept as exactly as the percentage can hold it, never a hair below: the
    // engine truncates its tempos to whole beats per minute.
    for (std::size_t i = 0; i < bpmTyped_.size(); ++i) {
        if (!bpmTyped_[i] || mainTempo_ <= 0)
            continue;
        const float bpm = std::min(LeadingNumber(trainerEdits_[i].bpm->text()), static_cast<float>(mainTempo_));
        float fraction = bpm / static_cast<float>(mainTempo_);
        while (static_cast<float>(mainTempo_) * fraction < bpm && fraction < 1.0F)
            fraction = std::nextafter(fraction, 2.0F);
        *targets[i] = fraction;
    }
    record.VisualIndicator = indicator_->isChecked() ? 1 : 0;
    context_.configuration.GetSwitches().Diary = diary_->isChecked() ? 1 : 0;
    context_.configuration.GetSwitches().TimingFeedback = timingFeedback_->isChecked() ? 1 : 0;
    context_.configuration.GetSwitches().TimingInput = timingInput_->currentIndex() == 1 ? 1 : 0;
    context_.configuration.GetSwitches().AudioRoundTrips = roundTrips_;
    if (!record.Name.starts_with(u'@')) {
        // A preset being saved takes the rhythm the step sequencer holds, once it was opened.
        record.Rhythm() = (stepSequencer_ ? stepSequencer_->Record() : context_.configuration.GetData()).Rhythm();
    }
    return true;
}

void OptionsDialog::Calibrate()
{
    if (!calibration_) {
        calibration_ = std::make_unique<AudioCalibration>(context_.window.Output());
        connect(calibration_.get(), &AudioCalibration::Finished, this, &OptionsDialog::Calibrated);
    }
    const auto language = System::CurrentLanguage();
    std::string failure;
    if (!calibration_->Start(failure)) {
        QMessageBox box(QMessageBox::Information, FromTableText(language->GetText(AudioInputText::CalibrationTitle)),
                        FromTableText(language->GetText(AudioInputText::CannotCalibrate)).arg(QString::fromStdString(failure)),
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }
    calibrate_->setEnabled(false);
    calibrationState_->setText(FromTableText(language->GetText(AudioInputText::Calibrating))
                                   .arg(QString::fromStdString(calibration_->Pair())));
}

void OptionsDialog::Calibrated(std::optional<double> roundTripMs)
{
    const auto language = System::CurrentLanguage();
    calibrate_->setEnabled(timingInput_->currentIndex() == 1);
    if (roundTripMs) {
        roundTrips_ = Core::Timing::WithRoundTrip(roundTrips_, calibration_->Pair(), *roundTripMs);
        calibrationState_->setText(FromTableText(language->GetText(AudioInputText::Calibrated))
                                       .arg(QString::fromStdString(calibration_->Pair()), QString::number(*roundTripMs, 'f', 1)));
        return;
    }
    calibrationState_->clear();
    if (!isVisible())
        return;
    QMessageBox box(QMessageBox::Information, FromTableText(language->GetText(AudioInputText::CalibrationTitle)),
                    FromTableText(language->GetText(AudioInputText::FoundNothing)), QMessageBox::Ok, this);
    box.exec();
}

bool OptionsDialog::ApplyPattern(Configuration::ConfigurationData& record, bool check)
{
    const std::u16string text = pattern_->text().left(127).toStdU16String();
    if (check) {
        std::array<std::int32_t, Core::MaxPatternLength> voices{};
        Core::TickPattern ticks{};
        std::int32_t beats = 0;
        const std::uint32_t result = Core::ParseCustomPattern(text, false, false, voices, ticks, beats);
        if (result != 0) {
            Frame().Request(IParentWindow::ShowPage, {});
            ApplicationWindow::ShowStartError(this, result);
            pattern_->selectAll();
            pattern_->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    record.CustomPattern = text;
    return true;
}

void OptionsDialog::OpenStepSequencer(bool show)
{
    if (!stepSequencer_)
        stepSequencer_ = std::make_unique<StepSequencerDialog>(context_.metronome, context_.configuration, this);
    Configuration::ConfigurationData& record = stepSequencer_->Record();
    record.Name = u"@";
    if (Frame().Request(IParentWindow::GatherValues, {0, &record}) != 0)
        return;
    if (show) {
        stepSequencer_->Open(0); // takes the current rhythm, tempo and volume into the record
        return;
    }
    stepSequencer_->TakeCurrentSettings(context_.configuration.GetData());
    stepSequencer_->Initialise(0);
}

} // namespace GUI
