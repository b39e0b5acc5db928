// The Audio Files page: the twelve voices' wave files, chosen and checked.
#include "GUI/Dialogs/AudioFilesDialog.h"

#include "Core/WaveFiles/VerifyAudioFile.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "Platform/Files.h"
#include "System/CurrentLanguage.h"

#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

#include <algorithm>

namespace GUI {

namespace {

constexpr int AudioFilesText = 8, OpenTitleText = 14, FilterText = 15;

QMessageBox::Icon BoxIcon(Core::AudioFileCheckMessage::Icon icon)
{
    switch (icon) {
    case Core::AudioFileCheckMessage::Icon::Warning:
        return QMessageBox::Warning;
    case Core::AudioFileCheckMessage::Icon::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The message box for a check result of voice's file: a refused file is named with its voice
// and what is wrong with it.
void ShowCheck(QWidget* owner, int voice, const std::u16string& path, std::int32_t result,
               const Core::FormatVerdict& verdict)
{
    const auto language = System::CurrentLanguage();
    const Core::AudioFileCheckMessage answer = Core::MessageForAudioFileCheck(result);
    const QString text = answer.accepted ? FromTableText(language->GetMessage(answer.message))
                                         : QString::fromStdU16String(
                                               Core::AudioFileRefusalText(*language, voice, path, result, verdict));
    QMessageBox box(BoxIcon(answer.icon), FromTableText(language->GetMessageTitle(answer.title)), text,
                    QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("audioFileCheck"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

bool AudioFilesDialog::TellRefusedFile(QWidget* owner, const Configuration::ConfigurationData& settings)
{
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        const std::u16string& path = settings.File[voice];
        Core::FormatVerdict verdict;
        const std::int32_t result = path.empty() ? Core::AudioFileCheck::Usable : Core::VerifyAudioFile(path.c_str(), &verdict);
        if (!Core::MessageForAudioFileCheck(result).accepted) {
            ShowCheck(owner, voice, path, result, verdict);
            return true;
        }
    }
    return false;
}

AudioFilesDialog::AudioFilesDialog(IParentWindow& frame, HelpTable help)
    : TabDialog(frame, help)
{
    // A row per voice of number, path edit and "..." button; the edits take every pixel the
    // numbers and the buttons leave.
    const auto make = [this](auto* control, int id) { return Tag(control, id); };
    const DialogUnits u = Units();
    group_ = make(new QGroupBox(QStringLiteral("Audio File Names And Paths"), this), GroupId);
    QGridLayout* grid = GridAtLeast(*group_, u.Rect(0, 0, 388, 226).size());
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(u.Y(3));
    for (int i = 0; i < Configuration::VoiceCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        numbers_[index] = new QLabel(QString::number(i + 1), this);
        QLineEdit* edit = paths_[index] = make(new QLineEdit(this), PathId + i);
        browse_[index] = make(new QToolButton(this), BrowseId + i);
        browse_[index]->setText(QStringLiteral("..."));
        numbers_[index]->setBuddy(edit);
        browse_[index]->setMinimumWidth(u.X(20));
        grid->addWidget(numbers_[index], i, 0);
        grid->addWidget(edit, i, 1);
        grid->addWidget(browse_[index], i, 2);
        edit->setMaxLength(Configuration::PathCapacity - 1);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (opened_)
                filesPresent_ = true;
        });
        connect(browse_[index], &QToolButton::clicked, this, [this, i] { Browse(i); });
    }
    auto* page = new QGridLayout(this);
    page->setContentsMargins(u.X(6), u.Y(4), u.X(6), u.Y(4));
    page->addWidget(group_, 0, 0);
}

void AudioFilesDialog::Load(const Configuration::ConfigurationData& settings)
{
    opened_ = false;
    filesPresent_ = false;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        paths_[i]->setText(QString::fromStdU16String(settings.File[i]));
        filesPresent_ = filesPresent_ || !paths_[i]->text().isEmpty();
    }
    opened_ = true;
}

QStringList AudioFilesDialog::FileNames() const
{
    QStringList names;
    for (const QLineEdit* edit : paths_)
        names.append(edit->text());
    return names;
}

bool AudioFilesDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && opened_)
        ReportChange();
    return TabDialog::eventFilter(watched, event);
}

void AudioFilesDialog::ReportChange()
{
    Frame().Notify(IParentWindow::AudioFilesChanged, 0);
}

void AudioFilesDialog::Browse(int voice)
{
    QLineEdit* edit = paths_[static_cast<std::size_t>(voice)];
    const std::u16string path = edit->text().toStdU16String();
    const QString folder = QString::fromStdU16String(path.substr(0, Platform::FileNameStart(path)));
    const auto language = System::CurrentLanguage();
    QFileDialog dialog(this, FromTableText(language->GetText(OpenTitleText)), folder,
                       FromTableText(language->GetText(FilterText)));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    CentreFileDialogHook(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    edit->setText(dialog.selectedFiles().constFirst());
    filesPresent_ = true;
    ReportChange();
}

bool AudioFilesDialog::Apply(Configuration::ConfigurationData& record)
{
    const QStringList names = FileNames();
    const bool anyNamed = std::any_of(names.begin(), names.end(), [](const QString& name) { return !name.isEmpty(); });
    if (!filesPresent_ || !anyNamed) {
        for (auto& file : record.File)
            file.clear();
        return true;
    }
    for (std::size_t i = 0; i < paths_.size(); ++i)
        // As long as the settings file holds a path.
        record.File[i] = names[static_cast<qsizetype>(i)].left(Configuration::PathCapacity - 1).toStdU16String();
    const auto language = System::CurrentLanguage();
    bool largeFileTold = false;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        if (record.File[i].empty())
            continue;
        Core::FormatVerdict verdict;
        const std::int32_t result = Core::VerifyAudioFile(record.File[i].c_str(), &verdict);
        const Core::AudioFileCheckMessage answer = Core::MessageForAudioFileCheck(result);
        // One message about large files, however many there are.
        const bool tell = answer.showBox && !(result == Core::AudioFileCheck::LargeFile && largeFileTold);
        largeFileTold = largeFileTold || result == Core::AudioFileCheck::LargeFile;
        if (!answer.accepted)
            Frame().Request(IParentWindow::ShowPage, {2, nullptr});
        if (tell) {
            ShowCheck(this, static_cast<int>(i), record.File[i], result, verdict);
        }
        if (!answer.accepted) {
            paths_[i]->selectAll();
            paths_[i]->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    return true;
}

void AudioFilesDialog::NameControls()
{
    // Named by the page and the voice, in the language shown.
    const auto language = System::CurrentLanguage();
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        paths_[i]->setAccessibleName(FromTableText(language->GetText(AudioFilesText)) + u' ' + numbers_[i]->text());
        browse_[i]->setAccessibleName(FromTableText(language->GetText(OpenTitleText)) + u' ' + numbers_[i]->text());
    }
}

} // namespace GUI
