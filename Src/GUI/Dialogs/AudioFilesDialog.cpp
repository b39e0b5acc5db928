// The Audio Files page: the twelve voices' wave files, chosen and checked.
#include "GUI/Dialogs/AudioFilesDialog.h"

#include "Core/WaveFiles/VerifyAudioFile.h"
#include "GUI/ProgramFont.h"
#include "Platform/Files.h"
#include "Platform/Text.h"
#include "System/CurrentLanguage.h"

#include <QEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

#include <QResizeEvent>

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

} // namespace

AudioFilesDialog::AudioFilesDialog(IParentWindow& frame, ControlSubClasser& helpReceiver, HelpTable help)
    : TabDialog(frame, helpReceiver, help)
{
    const auto make = [this](auto* control, int id) { return Place(control, id, 0, 0, 0, 0); };
    group_ = make(new QGroupBox(QStringLiteral("Audio File Names And Paths"), this), GroupId);
    for (int i = 0; i < Configuration::VoiceCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        numbers_[index] = new QLabel(QString::number(i + 1), this);
        QLineEdit* edit = paths_[index] = make(new QLineEdit(this), PathId + i);
        browse_[index] = make(new QToolButton(this), BrowseId + i);
        browse_[index]->setText(QStringLiteral("..."));
        numbers_[index]->setBuddy(edit);
        edit->setMaxLength(Configuration::PathCapacity - 1);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (opened_)
                filesPresent_ = true;
        });
        connect(browse_[index], &QToolButton::clicked, this, [this, i] { Browse(i); });
    }
    group_->lower();
}

void AudioFilesDialog::Load(const Configuration::ConfigurationData& settings)
{
    opened_ = false;
    filesPresent_ = false;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        const auto& file = settings.File[i];
        paths_[i]->setText(QString::fromUtf16(file, static_cast<qsizetype>(Platform::Text::Length(file, std::size(file)))));
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
            file[0] = 0;
        return true;
    }
    for (std::size_t i = 0; i < paths_.size(); ++i)
        Platform::Text::Copy(record.File[i], names[static_cast<qsizetype>(i)].toStdU16String());
    const auto language = System::CurrentLanguage();
    bool largeFileTold = false;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        if (record.File[i][0] == 0)
            continue;
        const std::int32_t result = Core::VerifyAudioFile(record.File[i]);
        const Core::AudioFileCheckMessage answer = Core::MessageForAudioFileCheck(result);
        // One message about large files, however many there are.
        const bool tell = answer.showBox && !(result == Core::AudioFileCheck::LargeFile && largeFileTold);
        largeFileTold = largeFileTold || result == Core::AudioFileCheck::LargeFile;
        if (!answer.accepted)
            Frame().Request(IParentWindow::ShowPage, {2, nullptr});
        if (tell) {
            QMessageBox box(BoxIcon(answer.icon), FromTableText(language->GetMessageTitle(answer.title)),
                            FromTableText(language->GetMessage(answer.message)), QMessageBox::Ok, this);
            box.exec();
        }
        if (!answer.accepted) {
            paths_[i]->selectAll();
            paths_[i]->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    return true;
}

void AudioFilesDialog::LayOut()
{
    setMinimumSize(Arrange(0));
    Arrange(std::max(0, width() - minimumWidth()));
    NameRowControls();
}

void AudioFilesDialog::resizeEvent(QResizeEvent* event)
{
    TabDialog::resizeEvent(event);
    Arrange(std::max(0, width() - minimumWidth()));
}

QSize AudioFilesDialog::Arrange(int extra)
{
    // The path edits take every pixel the numbers and the buttons leave.
    const DialogUnits u = Units();
    const int outer = u.X(6), inner = u.X(8);
    const int pitch = u.Y(17), firstRow = u.Y(20), height = u.Y(14);
    int numberWidth = 0;
    for (const QLabel* number : numbers_)
        numberWidth = std::max(numberWidth, number->sizeHint().width());
    const int buttonWidth = std::max(u.X(20), browse_[0]->sizeHint().width());
    const int groupWidth = std::max(u.X(388), group_->sizeHint().width()) + extra;
    const int editX = outer + inner + numberWidth + u.X(4);
    const int buttonX = outer + groupWidth - inner - buttonWidth;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        const int top = firstRow + pitch * static_cast<int>(i);
        numbers_[i]->setGeometry(outer + inner, top, numberWidth, height);
        paths_[i]->setGeometry(editX, top, buttonX - u.X(4) - editX, height);
        browse_[i]->setGeometry(buttonX, top, buttonWidth, height);
    }
    const int groupHeight = std::max(u.Y(226), firstRow + pitch * (Configuration::VoiceCount - 1) + height + u.Y(6));
    group_->setGeometry(outer, u.Y(4), groupWidth, groupHeight);
    return {outer + groupWidth + outer, std::max(u.Y(234), u.Y(4) + groupHeight + u.Y(4))};
}

void AudioFilesDialog::NameRowControls()
{
    // Named by the page and the voice, in the language shown.
    const auto language = System::CurrentLanguage();
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        paths_[i]->setAccessibleName(FromTableText(language->GetText(AudioFilesText)) + u' ' + numbers_[i]->text());
        browse_[i]->setAccessibleName(FromTableText(language->GetText(OpenTitleText)) + u' ' + numbers_[i]->text());
    }
}

} // namespace GUI
