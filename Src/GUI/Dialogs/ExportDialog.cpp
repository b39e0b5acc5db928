#include "GUI/Dialogs/ExportDialog.h"

#include "Core/Songs/SongFiles.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "GUI/SongControl.h"
#include "System/CurrentLanguage.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusTipEvent>

namespace GUI {

namespace {

using Core::Export::FileKind;

// [Text] entries of the window.
enum TextId {
    TitleText = ExportDialog::FirstText + 2, WhatText, CurrentText, PresetText, FormatText, FirstFormatText,
    RateText = FirstFormatText + 6, LengthText,
    BarsText, SecondsText, WholeRunText, FileText, BrowseText, ExportText, CancelText, CloseText, ExportedText,
    ReplaceText, WhatHelp, FormatHelp, RateHelp, LengthHelp, FileHelp, BrowseHelp, ExportHelp, ProgressHelp, FilterText,
    SongText = 329, ChooseSongText, WholeSongText, SongFilterText,
};

constexpr FileKind Kinds[] = {FileKind::Wav16, FileKind::Wav24, FileKind::WavFloat, FileKind::Flac, FileKind::OggVorbis, FileKind::Midi};
constexpr const char* Extensions[] = {".wav", ".wav", ".wav", ".flac", ".ogg", ".mid"};
const QString PresetPrefix = QStringLiteral("preset:");
const QString SongPrefix = QStringLiteral("song:");
const QString ChooseSongData = QStringLiteral("choose-song");

QString Text(int index)
{
    return FromTableText(System::CurrentLanguage()->GetText(index));
}

} // namespace

ExportDialog::ExportDialog(QWidget* parent, Configuration::IConfiguration& configuration)
    : QDialog(parent), configuration_(configuration)
{
    setObjectName(QStringLiteral("exportDialog"));
    what_ = new QComboBox(this);
    format_ = new QComboBox(this);
    rate_ = new QComboBox(this);
    amount_ = new QDoubleSpinBox(this);
    unit_ = new QComboBox(this);
    file_ = new QLineEdit(this);
    browse_ = new QPushButton(this);
    progress_ = new QProgressBar(this);
    export_ = new QPushButton(this);
    close_ = new QPushButton(this);
    help_ = new QLabel(this);
    const std::pair<QWidget*, const char*> names[] = {
        {what_, "what"}, {format_, "format"}, {rate_, "rate"}, {amount_, "amount"}, {unit_, "unit"}, {file_, "file"},
        {browse_, "browse"}, {progress_, "progress"}, {export_, "export"}, {close_, "close"}, {help_, "help"}};
    for (const auto& [control, name] : names)
        control->setObjectName(QLatin1String(name));
    for (const std::uint32_t rate : Core::Export::Rates)
        rate_->addItem(QStringLiteral("%1 Hz").arg(rate), rate);
    amount_->setRange(1, 10800);
    amount_->setDecimals(0);
    file_->setMinimumWidth(320);
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setTextVisible(true);
    export_->setDefault(true);
    help_->setWordWrap(true);
    help_->setMinimumHeight(2 * help_->fontMetrics().lineSpacing());
    help_->setFrameShape(QFrame::StyledPanel);

    auto* grid = new QGridLayout(this);
    int row = 0;
    const auto addRow = [&](QWidget* control, QWidget* second = nullptr) {
        auto* label = new QLabel(this);
        label->setBuddy(control);
        grid->addWidget(label, row, 0);
        if (second == nullptr) {
            grid->addWidget(control, row, 1, 1, 2);
        } else {
            grid->addWidget(control, row, 1);
            grid->addWidget(second, row, 2);
        }
        ++row;
    };
    addRow(what_);
    addRow(format_);
    addRow(rate_);
    addRow(amount_, unit_);
    addRow(file_, browse_);
    grid->addWidget(progress_, row++, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(export_);
    buttons->addWidget(close_);
    grid->addLayout(buttons, row++, 0, 1, 3);
    grid->addWidget(help_, row, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    connect(format_, &QComboBox::currentIndexChanged, this, [this] { FollowFormat(); });
    connect(what_, &QComboBox::currentIndexChanged, this, [this] { FollowWhat(); });
    connect(unit_, &QComboBox::currentIndexChanged, this, [this] {
        amount_->setEnabled(unit_->currentIndex() != 2);
        amount_->setDecimals(unit_->currentIndex() == 1 ? 1 : 0);
    });
    connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
    connect(export_, &QPushButton::clicked, this, [this] { StartExport(); });
    connect(close_, &QPushButton::clicked, this, [this] { reject(); });
}

ExportDialog::~ExportDialog()
{
    if (control_)
        control_->cancel = true;
    if (worker_.joinable())
        worker_.join();
}

void ExportDialog::ApplyTexts()
{
    setWindowTitle(Text(TitleText));
    const auto fill = [](QComboBox* box, std::initializer_list<QString> texts) {
        const int current = std::max(box->currentIndex(), 0);
        const QSignalBlocker quiet(box);
        box->clear();
        for (const QString& text : texts)
            box->addItem(text);
        box->setCurrentIndex(std::min(current, box->count() - 1));
    };
    const int format = std::max(format_->currentIndex(), 0);
    const QSignalBlocker quietFormat(format_);
    format_->clear();
    for (int k = 0; k < 6; ++k)
        format_->addItem(Text(FirstFormatText + k));
    format_->setCurrentIndex(format);
    fill(unit_, {Text(BarsText), Text(SecondsText), Text(WholeRunText)});

    // The current settings, each preset by name, the song files chosen, and "A song file..."
    // to choose another.
    const QString chosen = what_->currentData().toString();
    QStringList songs;
    for (int k = 0; k < what_->count(); ++k) {
        if (const QString data = what_->itemData(k).toString(); data.startsWith(SongPrefix) && !songs.contains(data.mid(SongPrefix.size())))
            songs << data.mid(SongPrefix.size());
    }
    const QSignalBlocker quietWhat(what_);
    what_->clear();
    what_->addItem(Text(CurrentText), QString());
    configuration_.ForEachPreset([this](const Configuration::ConfigurationData& preset) {
        const QString name = QString::fromStdU16String(preset.Name);
        what_->addItem(Text(PresetText).arg(name), PresetPrefix + name);
    });
    for (const QString& song : songs)
        what_->addItem(Text(SongText).arg(QFileInfo(song).completeBaseName()), SongPrefix + song);
    what_->addItem(Text(ChooseSongText), ChooseSongData);
    what_->setCurrentIndex(std::max(what_->findData(chosen), 0));
    shownWhat_ = what_->currentIndex();
    unit_->setItemText(2, Text(what_->currentData().toString().startsWith(SongPrefix) ? WholeSongText : WholeRunText));

    const struct {
        QWidget* control;
        int label;
        int help;
    } controls[] = {
        {what_, WhatText, WhatHelp}, {format_, FormatText, FormatHelp}, {rate_, RateText, RateHelp},
        {amount_, LengthText, LengthHelp}, {unit_, -1, LengthHelp}, {file_, FileText, FileHelp},
        {browse_, BrowseText, BrowseHelp}, {export_, ExportText, ExportHelp}, {close_, -1, -1},
        {progress_, -1, ProgressHelp},
    };
    for (const auto& c : controls) {
        if (c.help >= 0) {
            c.control->setStatusTip(Text(c.help));
            c.control->setAccessibleDescription(Text(c.help));
        }
        if (c.label < 0)
            continue;
        if (auto* button = qobject_cast<QPushButton*>(c.control)) {
            button->setText(Text(c.label));
            button->setAccessibleName(Text(c.label).remove(QLatin1Char('&')).remove(QStringLiteral("...")));
            continue;
        }
        for (QLabel* label : findChildren<QLabel*>()) {
            if (label->buddy() == c.control)
                label->setText(Text(c.label));
        }
        c.control->setAccessibleName(Text(c.label).remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed());
    }
    unit_->setAccessibleName(amount_->accessibleName());
    progress_->setAccessibleName(Text(TitleText));
    SetBusy(Exporting());
}

void ExportDialog::Prepare()
{
    ApplyTexts();
    Restore();
    help_->clear();
    adjustSize();
    FitToScreen(*this);
}

void ExportDialog::Open()
{
    Prepare();
    exec();
}

bool ExportDialog::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        help_->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void ExportDialog::reject()
{
    // Cancel while exporting; Close otherwise.
    if (Exporting()) {
        control_->cancel = true;
        return;
    }
    Remember();
    QDialog::reject();
}

void ExportDialog::Restore()
{
    const Configuration::ProgramSwitches& kept = configuration_.GetSwitches();
    // A song file chosen last time is offered again while it reads.
    const QString what = QString::fromStdString(kept.ExportWhat);
    if (what.startsWith(SongPrefix) && what_->findData(what) < 0)
        ChooseSong(what.mid(SongPrefix.size()), false);
    {
        const QSignalBlocker quiet(what_);
        what_->setCurrentIndex(std::max(what_->findData(what), 0));
    }
    shownWhat_ = what_->currentIndex();
    unit_->setItemText(2, Text(what_->currentData().toString().startsWith(SongPrefix) ? WholeSongText : WholeRunText));
    {
        const QSignalBlocker quiet(format_);
        format_->setCurrentIndex(std::clamp(kept.ExportFormat, 0, format_->count() - 1));
    }
    const int rate = rate_->findData(static_cast<std::uint32_t>(kept.ExportRate));
    rate_->setCurrentIndex(rate >= 0 ? rate : 1);
    unit_->setCurrentIndex(std::clamp(kept.ExportUnit, 0, unit_->count() - 1));
    amount_->setDecimals(unit_->currentIndex() == 1 ? 1 : 0);
    amount_->setValue(kept.ExportLength / 10.0);
    file_->setText(kept.ExportFile.empty() ? QDir::home().filePath(QStringLiteral("click"))
                                           : QString::fromStdString(kept.ExportFile));
    FollowFormat();
}

void ExportDialog::Remember()
{
    Configuration::ProgramSwitches& kept = configuration_.GetSwitches();
    kept.ExportFormat = std::max(format_->currentIndex(), 0);
    kept.ExportRate = static_cast<std::int32_t>(rate_->currentData().toUInt());
    kept.ExportUnit = std::max(unit_->currentIndex(), 0);
    kept.ExportLength = static_cast<std::int32_t>(std::lround(amount_->value() * 10));
    kept.ExportWhat = what_->itemData(shownWhat_).toString().toStdString();
    kept.ExportFile = file_->text().toStdString();
}

void ExportDialog::FollowFormat()
{
    const int format = std::max(format_->currentIndex(), 0);
    rate_->setEnabled(Kinds[format] != FileKind::Midi);
    // The file name follows the file type.
    QString name = file_->text();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > name.lastIndexOf(QLatin1Char('/')))
        name.truncate(dot);
    file_->setText(name + QString::fromLatin1(Extensions[format]));
}

void ExportDialog::FollowWhat()
{
    const QString data = what_->currentData().toString();
    if (data == ChooseSongData) {
        const QString folder = QString::fromStdString(Core::DefaultSongFolder());
        const QString path = QFileDialog::getOpenFileName(this, Text(TitleText), folder, Text(SongFilterText));
        if (path.isEmpty() || !ChooseSong(path, true)) {
            const QSignalBlocker quiet(what_);
            what_->setCurrentIndex(shownWhat_);
        }
        return;
    }
    const bool wasSong = what_->itemData(shownWhat_).toString().startsWith(SongPrefix);
    shownWhat_ = what_->currentIndex();
    const bool song = data.startsWith(SongPrefix);
    unit_->setItemText(2, Text(song ? WholeSongText : WholeRunText));
    if (song != wasSong)
        unit_->setCurrentIndex(song ? 2 : 0); // a song whole; the settings in bars again
}

bool ExportDialog::ChooseSong(const QString& path, bool tell)
{
    SongControl song;
    QString error;
    if (!song.LoadSong(path.toStdString(), std::string(), 1.0, error)) {
        if (tell)
            QMessageBox::warning(this, Text(TitleText), error);
        return false;
    }
    int index = what_->findData(SongPrefix + path);
    if (index < 0) {
        index = what_->count() - 1; // before "A song file..."
        const QSignalBlocker quiet(what_);
        what_->insertItem(index, Text(SongText).arg(QFileInfo(path).completeBaseName()), SongPrefix + path);
    }
    what_->setCurrentIndex(index);
    FollowWhat();
    return true;
}

void ExportDialog::Browse()
{
    QFileDialog dialog(this, Text(TitleText), file_->text(), Text(FilterText));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // Export asks, as it does for a typed name
    dialog.selectFile(file_->text());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        file_->setText(dialog.selectedFiles().constFirst());
    FollowFormat();
}

Core::Export::Request ExportDialog::MakeRequest() const
{
    Core::Export::Request request;
    request.settings = configuration_.GetData();
    const QString chosen = what_->currentData().toString();
    const QString preset = chosen.startsWith(PresetPrefix) ? chosen.mid(PresetPrefix.size()) : QString();
    if (!preset.isEmpty()) {
        configuration_.ForEachPreset([&](const Configuration::ConfigurationData& data) {
            if (QString::fromStdU16String(data.Name) == preset)
                request.settings = data;
        });
    }
    request.path = file_->text().toStdString();
    request.kind = Kinds[std::max(format_->currentIndex(), 0)];
    request.rate = rate_->currentData().toUInt();
    using Unit = Core::Export::Length::Unit;
    const Unit units[] = {Unit::Bars, Unit::Seconds, Unit::WholeRun};
    request.length = {units[std::max(unit_->currentIndex(), 0)], amount_->value()};
    return request;
}

void ExportDialog::StartExport(bool replace)
{
    if (Exporting())
        return;
    Remember();
    Core::Export::Request request = MakeRequest();
    if (const QString data = what_->currentData().toString(); data.startsWith(SongPrefix)) {
        SongControl song;
        QString error;
        if (!song.LoadSong(data.mid(SongPrefix.size()).toStdString(), std::string(), 1.0, error)) {
            QMessageBox::warning(this, Text(TitleText), error);
            return;
        }
        request.song = song.Song();
    }
    if (QFileInfo::exists(file_->text()) || QFileInfo(file_->text()).isSymLink()) {
        if (!replace) {
            const auto answer = QMessageBox::question(this, Text(TitleText), Text(ReplaceText).arg(file_->text()),
                                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes)
                return;
        }
        request.replace = true;
    }
    control_ = std::make_unique<Core::Export::Control>();
    QPointer<ExportDialog> self(this);
    control_->progress = [self](double share) {
        QMetaObject::invokeMethod(self, [self, share] {
            if (self)
                self->progress_->setValue(static_cast<int>(share * 1000));
        }, Qt::QueuedConnection);
    };
    SetBusy(true);
    progress_->setValue(0);
    worker_ = std::thread([this, self, request, control = control_.get()] {
        Core::Export::Outcome outcome = Core::Export::ExportClickTrack(request, control);
        QMetaObject::invokeMethod(self, [self, outcome, path = request.path] {
            if (self)
                self->Finished(outcome, path);
        }, Qt::QueuedConnection);
    });
}

void ExportDialog::Finished(Core::Export::Outcome outcome, std::string path)
{
    if (worker_.joinable())
        worker_.join();
    SetBusy(false);
    if (outcome.failure == Core::Export::Failure::None) {
        progress_->setValue(1000);
        help_->setText(Text(ExportedText).arg(QString::fromStdString(path)));
        return;
    }
    progress_->setValue(0);
    const QString message = QString::fromStdU16String(Core::Export::FailureMessage(outcome, path));
    help_->setText(message);
    if (outcome.failure != Core::Export::Failure::Cancelled && isVisible())
        QMessageBox::warning(this, Text(TitleText), message);
}

void ExportDialog::SetBusy(bool busy)
{
    for (QWidget* control : {static_cast<QWidget*>(what_), static_cast<QWidget*>(format_), static_cast<QWidget*>(unit_),
                             static_cast<QWidget*>(file_), static_cast<QWidget*>(browse_), static_cast<QWidget*>(export_)})
        control->setEnabled(!busy);
    rate_->setEnabled(!busy && Kinds[std::max(format_->currentIndex(), 0)] != FileKind::Midi);
    amount_->setEnabled(!busy && unit_->currentIndex() != 2);
    close_->setText(Text(busy ? CancelText : CloseText));
    close_->setStatusTip(busy ? Text(ProgressHelp) : QString());
}

} // namespace GUI
