// The Sound Settings page: the twelve voices' sounds, volumes and beat-lamp markers.
#include "GUI/Dialogs/SoundSetupDialog.h"

#include "Configuration/IConfiguration.h"
#include "Core/Sound/InstrumentList.h"
#include "GUI/MarkerPalette.h"
#include "GUI/ProgramFont.h"
#include "GUI/VisualColourControl.h"
#include "Platform/Files.h"
#include "Platform/Text.h"
#include "System/CurrentLanguage.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>

#include <QResizeEvent>

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
        paths.append(QString::fromUtf16(file, static_cast<qsizetype>(Platform::Text::Length(file, std::size(file)))));
    return paths;
}

} // namespace

SoundSetupDialog::SoundSetupDialog(Configuration::IConfiguration& configuration, IParentWindow& frame,
                                   ControlSubClasser& helpReceiver, HelpTable help)
    : TabDialog(frame, helpReceiver, help), configuration_(configuration)
{
    // Created in the order Tab moves through them (row by row); LayOut places them.
    const auto make = [this](auto* control, int id) { return Place(control, id, 0, 0, 0, 0); };
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
        row.sound = make(new QComboBox(this), SoundId + i);
        row.sound->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        row.volume = slider(VolumeId + i, LargestVolume);
        row.size = slider(SizeId + i, LargestSize);
        row.colour = slider(ColourId + i, MarkerColourCount - 1);
        row.preview = new VisualColourControl(this, PreviewId + i, 0, 0);
        // The preview follows a size or colour slider at once, also while it is dragged.
        connect(row.size, &QSlider::valueChanged, row.preview, &VisualColourControl::SetSize);
        connect(row.colour, &QSlider::valueChanged, row.preview, &VisualColourControl::SetColour);
    }
    group_->lower();
}

void SoundSetupDialog::Refresh(const Configuration::ConfigurationData& settings)
{
    source_ = settings.SoundEngineType;
    Fill(source_ == Configuration::SoundSource::Midi ? InstrumentNames() : FileNamesOf(StoredFiles(settings)), settings);
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
    Fill(InstrumentNames(), configuration_.GetData());
}

void SoundSetupDialog::ShowAudioFiles(const QStringList& paths, const Configuration::ConfigurationData& settings)
{
    source_ = Configuration::SoundSource::AudioFiles;
    QStringList names = FileNamesOf(paths);
    while (names.size() < Configuration::VoiceCount)
        names.append(QString());
    names.resize(Configuration::VoiceCount);
    Fill(names, settings);
}

void SoundSetupDialog::Fill(const QStringList& items, const Configuration::ConfigurationData& settings)
{
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        QComboBox* list = rows_[i].sound;
        list->setUpdatesEnabled(false);
        list->clear();
        list->addItems(items);
        const std::int32_t instrument = settings.Instrument[i];
        list->setCurrentIndex(instrument >= 0 && instrument < items.size() ? instrument : 0);
        list->setUpdatesEnabled(true);
    }
}

bool SoundSetupDialog::Apply(Configuration::ConfigurationData& record)
{
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        record.Instrument[i] = std::max(row.sound->currentIndex(), 0);
        record.Volume[i] = row.volume->value();
        record.Size[i] = row.size->value();
        record.Colour[i] = row.colour->value();
    }
    return true;
}

void SoundSetupDialog::LayOut()
{
    setMinimumSize(Arrange(0));
    Arrange(std::max(0, width() - minimumWidth()));
    NameRowControls();
}

void SoundSetupDialog::resizeEvent(QResizeEvent* event)
{
    TabDialog::resizeEvent(event);
    Arrange(std::max(0, width() - minimumWidth()));
}

QSize SoundSetupDialog::Arrange(int extra)
{
    const DialogUnits u = Units();
    const auto fit = [&u](QWidget* control, int units) { return std::max(u.X(units), control->sizeHint().width()); };
    const int outer = u.X(6), inner = u.X(8), gap = u.X(6);
    const int pitch = u.Y(16), firstRow = u.Y(29);

    // Columns: voice number, sound, volume, size, colour, preview; each as wide as its
    // heading needs at least. The sound lists fit the longest instrument name and take the
    // width the page has beyond that, for long file names.
    int numberWidth = 0;
    for (const Row& row : rows_)
        numberWidth = std::max(numberWidth, row.number->sizeHint().width());
    int longestName = 0;
    const QFontMetrics metrics = rows_[0].sound->fontMetrics();
    for (const QString& name : InstrumentNames())
        longestName = std::max(longestName, metrics.horizontalAdvance(name));
    int widths[] = {std::max({u.X(120), longestName + u.X(24), headings_[0]->sizeHint().width()}),
                    fit(headings_[1], 84), fit(headings_[2], 56), fit(headings_[3], 64)};
    const int left = outer + inner + numberWidth + u.X(4);
    int natural = left + VisualColourControl::Width + inner - outer;
    for (const int width : widths)
        natural += width + gap;
    const int groupWidth = std::max(u.X(388), natural) + extra;
    widths[0] += groupWidth - natural;

    int columnX[4] = {};
    int x = left;
    for (std::size_t c = 0; c < 4; ++c) {
        columnX[c] = x;
        headings_[c]->setGeometry(x, u.Y(15), widths[c], u.Y(10));
        x += widths[c] + gap;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        const int top = firstRow + pitch * static_cast<int>(i);
        const int middle = top + VisualColourControl::Height / 2;
        const auto centre = [middle, &u](QWidget* control, int controlX, int width) {
            const int height = std::max(u.Y(14), control->sizeHint().height());
            control->setGeometry(controlX, middle - height / 2, width, height);
        };
        row.number->setGeometry(outer + inner, middle - u.Y(5), numberWidth, u.Y(10));
        centre(row.sound, columnX[0], widths[0]);
        centre(row.volume, columnX[1], widths[1]);
        centre(row.size, columnX[2], widths[2]);
        centre(row.colour, columnX[3], widths[3]);
        row.preview->move(x, top);
    }
    const int groupHeight = std::max(u.Y(226), firstRow + pitch * (Configuration::VoiceCount - 1) + u.Y(20));
    group_->setGeometry(outer, u.Y(4), groupWidth, groupHeight);
    return {outer + groupWidth + outer, std::max(u.Y(234), u.Y(4) + groupHeight + u.Y(4))};
}

void SoundSetupDialog::NameRowControls()
{
    // Each row's controls are named by their column and voice, in the language shown.
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        QWidget* controls[] = {row.sound, row.volume, row.size, row.colour};
        for (std::size_t c = 0; c < 4; ++c)
            controls[c]->setAccessibleName(headings_[c]->text() + u' ' + row.number->text());
        row.preview->setAccessibleName(headings_[3]->text() + u' ' + row.number->text());
    }
}

} // namespace GUI
