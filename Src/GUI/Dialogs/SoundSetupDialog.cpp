// The Sound Settings page: the twelve voices' sounds, volumes and beat-lamp markers.
#include "GUI/Dialogs/SoundSetupDialog.h"

#include "Configuration/IConfiguration.h"
#include "Core/Engine/IMetronome.h"
#include "Core/Sound/InstrumentList.h"
#include "GUI/MarkerPalette.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "GUI/VisualColourControl.h"
#include "Platform/Files.h"
#include "System/CurrentLanguage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTimer>

#include <algorithm>

namespace GUI {

namespace {

constexpr const char* HeadingTexts[] = {"Sound", "Volume", "Visual Size", "Visual Colour"};
constexpr int LargestVolume = 127;
constexpr int LargestSize = 7;

QStringList InstrumentNames()
{
    const auto language = System::CurrentLanguage();
    QStringList names;
    for (int i = 0; i < Core::InstrumentCount; ++i)
        names.append(FromTableText(language->GetInstrumentName(i)));
    return names;
}

// The file names of paths, blank for an empty path.
QStringList FileNamesOf(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths) {
        const std::u16string whole = path.toStdU16String();
        const std::u16string_view name = Platform::FileName(whole);
        names.append(QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())));
    }
    return names;
}

QStringList StoredFiles(const Configuration::ConfigurationData& settings)
{
    QStringList paths;
    for (const auto& file : settings.File)
        paths.append(QString::fromStdU16String(file));
    return paths;
}

} // namespace

SoundSetupDialog::SoundSetupDialog(Configuration::IConfiguration& configuration, Core::IMetronome& metronome,
                                   IParentWindow& frame, HelpTable help)
    : TabDialog(frame, help), configuration_(configuration), metronome_(metronome),
      retry_(new QTimer(this)), settle_(new QTimer(this))
{
    retry_->setInterval(20);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, &SoundSetupDialog::TryHearing);
    settle_->setInterval(250);
    settle_->setSingleShot(true);
    connect(settle_, &QTimer::timeout, this, [this] { Hear(settling_); });
    // Created in the order Tab moves through them (row by row), in a grid: the headings, then
    // a row per voice of number, sound, volume, size, colour and preview.
    const auto make = [this](auto* control, int id) { return Tag(control, id); };
    group_ = make(new QGroupBox(QStringLiteral("Sound Setup"), this), GroupId);
    for (std::size_t i = 0; i < headings_.size(); ++i)
        headings_[i] = make(new QLabel(QString::fromLatin1(HeadingTexts[i]), this), FirstHeadingId + static_cast<int>(i));
    const auto slider = [this, &make](int id, int largest) {
        auto* control = make(new QSlider(Qt::Horizontal, this), id);
        control->setRange(0, largest);
        return control;
    };
    for (int i = 0; i < Configuration::VoiceCount; ++i) {
        Row& row = rows_[static_cast<std::size_t>(i)];
        row.number = new QLabel(QString::number(i + 1), this);
        row.role = new QLabel(this);
        row.sound = make(new QComboBox(this), SoundId + i);
        row.sound->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        row.volume = slider(VolumeId + i, LargestVolume);
        row.size = slider(SizeId + i, LargestSize);
        row.colour = slider(ColourId + i, MarkerColourCount - 1);
        row.preview = new VisualColourControl(this, PreviewId + i, 0, 0);
        // The preview follows a size or colour slider at once, also while it is dragged.
        connect(row.size, &QSlider::valueChanged, row.preview, &VisualColourControl::SetSize);
        connect(row.colour, &QSlider::valueChanged, row.preview, &VisualColourControl::SetColour);
        // What the user chooses is kept for the source shown, also while the other is shown.
        connect(row.sound, &QComboBox::activated, this, [this, i](int index) {
            Choice(source_, static_cast<std::size_t>(i)) = std::max(index, 0);
            Hear(i);
        });
        // A volume is heard when the thumb is let go, once after the last key of a run of
        // arrow or page keys (eventFilter), and shortly after the wheel or a click beside the
        // thumb moved it.
        connect(row.volume, &QSlider::sliderReleased, this, [this, i] { Hear(i); });
        connect(row.volume, &QSlider::actionTriggered, this, [this, i](int action) {
            if (action == QAbstractSlider::SliderMove || keyHeld_)
                return;
            settling_ = i;
            settle_->start();
        });
        row.volume->installEventFilter(this);
    }
    LayOutControls();
}

void SoundSetupDialog::LayOutControls()
{
    const DialogUnits u = Units();
    grid_ = GridAtLeast(*group_, u.Rect(0, 0, 388, 226).size());
    grid_->setHorizontalSpacing(u.X(6));
    grid_->setVerticalSpacing(2);
    for (std::size_t c = 0; c < headings_.size(); ++c)
        grid_->addWidget(headings_[c], 0, static_cast<int>(c) + 2);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        const int line = static_cast<int>(i) + 1;
        grid_->addWidget(row.number, line, 0);
        grid_->addWidget(row.role, line, 1);
        grid_->addWidget(row.sound, line, 2);
        grid_->addWidget(row.volume, line, 3);
        grid_->addWidget(row.size, line, 4);
        grid_->addWidget(row.colour, line, 5);
        grid_->addWidget(row.preview, line, 6);
    }
    // The sound lists take the width the page has beyond the other columns, for long file
    // names; the sliders keep at least their English widths.
    grid_->setColumnStretch(2, 1);
    const int sliderWidths[] = {84, 56, 64};
    for (int c = 0; c < 3; ++c)
        grid_->setColumnMinimumWidth(c + 3, u.X(sliderWidths[c]));
    auto* page = new QGridLayout(this);
    page->setContentsMargins(u.X(6), u.Y(4), u.X(6), u.Y(4));
    page->addWidget(group_, 0, 0);
}

void SoundSetupDialog::Refresh(const Configuration::ConfigurationData& settings)
{
    source_ = settings.SoundEngineType;
    for (int source : {0, 1}) {
        const auto kind = static_cast<Configuration::SoundSource>(source);
        for (int i = 0; i < Configuration::VoiceCount; ++i)
            choices_[static_cast<std::size_t>(source)][static_cast<std::size_t>(i)]
                = kind == settings.SoundEngineType ? settings.Instrument[i] : settings.OtherInstrument[i];
    }
    Fill(source_ == Configuration::SoundSource::Midi ? InstrumentNames() : FileNamesOf(StoredFiles(settings)));
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        row.volume->setValue(settings.Volume[i]);
        row.size->setValue(settings.Size[i]);
        row.colour->setValue(settings.Colour[i]);
        // Set even when a slider kept its position, so the preview shows the settings' values.
        row.preview->SetSize(settings.Size[i]);
        row.preview->SetColour(settings.Colour[i]);
    }
}

void SoundSetupDialog::ShowMidiInstruments()
{
    source_ = Configuration::SoundSource::Midi;
    Fill(InstrumentNames());
}

void SoundSetupDialog::ShowAudioFiles(const QStringList& paths, const Configuration::ConfigurationData& /*settings*/)
{
    source_ = Configuration::SoundSource::AudioFiles;
    QStringList names = FileNamesOf(paths);
    while (names.size() < Configuration::VoiceCount)
        names.append(QString());
    names.resize(Configuration::VoiceCount);
    Fill(names);
}

std::int32_t& SoundSetupDialog::Choice(Configuration::SoundSource source, std::size_t voice)
{
    return choices_[source == Configuration::SoundSource::Midi ? 0 : 1][voice];
}

void SoundSetupDialog::Fill(const QStringList& items)
{
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        QComboBox* list = rows_[i].sound;
        list->setUpdatesEnabled(false);
        list->clear();
        list->addItems(items);
        const std::int32_t instrument = Choice(source_, i);
        list->setCurrentIndex(instrument >= 0 && instrument < items.size() ? instrument : 0);
        list->setUpdatesEnabled(true);
    }
}

bool SoundSetupDialog::Apply(Configuration::ConfigurationData& record)
{
    // The Options page has made its sound source the record's; the list shows one source's
    // choices, the page keeps the other's.
    const auto hidden = source_ == Configuration::SoundSource::Midi ? Configuration::SoundSource::AudioFiles
                                                                    : Configuration::SoundSource::Midi;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        const int voice = static_cast<int>(i);
        record.InstrumentFor(source_, voice) = std::max(row.sound->currentIndex(), 0);
        record.InstrumentFor(hidden, voice) = Choice(hidden, i);
        record.Volume[i] = row.volume->value();
        record.Size[i] = row.size->value();
        record.Colour[i] = row.colour->value();
    }
    return true;
}

bool SoundSetupDialog::eventFilter(QObject* watched, QEvent* event)
{
    const auto voice = std::find_if(rows_.begin(), rows_.end(), [watched](const Row& row) { return row.volume == watched; });
    if (voice != rows_.end()) {
        if (event->type() == QEvent::FocusOut)
            keyHeld_ = false;
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            switch (key->key()) {
            case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
            case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
                // A held key repeats presses and releases marked as repeated; the last
                // release is the one the user made.
                keyHeld_ = event->type() == QEvent::KeyPress || key->isAutoRepeat();
                if (!keyHeld_)
                    Hear(static_cast<int>(voice - rows_.begin()));
                break;
            default:
                break;
            }
        }
    }
    return TabDialog::eventFilter(watched, event);
}

Configuration::ConfigurationData SoundSetupDialog::HeardSettings()
{
    Configuration::ConfigurationData settings = configuration_.GetData();
    settings.SetSoundSource(source_);
    Apply(settings);
    if (TabDialog* files = Frame().GetPage(0)) {
        const QStringList paths = files->FileNames();
        for (int i = 0; i < Configuration::VoiceCount && i < paths.size(); ++i)
            settings.File[i] = paths[i].toStdU16String();
    }
    return settings;
}

void SoundSetupDialog::Hear(int voice)
{
    settle_->stop();
    hearing_ = voice;
    retries_ = 0;
    TryHearing();
}

void SoundSetupDialog::StopHearing()
{
    retry_->stop();
    settle_->stop();
    hearing_ = -1;
    keyHeld_ = false;
}

void SoundSetupDialog::TryHearing()
{
    if (hearing_ < 0)
        return;
    using Heard = Core::IMetronome::Heard;
    const Configuration::ConfigurationData settings = HeardSettings();
    Heard heard = metronome_.ChangeSounds(settings);
    if (heard == Heard::Refused)
        heard = metronome_.Preview(settings, hearing_);
    // A note being rendered or a file being read comes within a moment; a sound that takes
    // longer would no longer belong to what the user did.
    if (heard == Heard::Waiting && ++retries_ < 150)
        retry_->start();
    else
        hearing_ = -1;
}

void SoundSetupDialog::NameControls()
{
    // The sound lists are wide enough for the longest instrument name of the language shown.
    int longestName = 0;
    const QFontMetrics metrics = rows_[0].sound->fontMetrics();
    for (const QString& name : InstrumentNames())
        longestName = std::max(longestName, metrics.horizontalAdvance(name));
    const DialogUnits u = Units();
    grid_->setColumnMinimumWidth(2, std::max(u.X(120), longestName + u.X(24)));

    // Each row says its role, and its controls are named by their column and voice, in the
    // language shown.
    const auto language = System::CurrentLanguage();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        row.role->setText(FromTableText(language->GetText(System::VoiceRoleText(static_cast<int>(i)))));
        QWidget* controls[] = {row.sound, row.volume, row.size, row.colour};
        for (std::size_t c = 0; c < 4; ++c)
            controls[c]->setAccessibleName(headings_[c]->text() + u' ' + row.number->text());
        row.preview->setAccessibleName(headings_[3]->text() + u' ' + row.number->text());
    }
}

} // namespace GUI
