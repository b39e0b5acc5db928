#include "GUI/Dialogs/LanguageDialog.h"

#include "Configuration/IConfiguration.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/ScreenFit.h"
#include "System/ErrorReport.h"
#include "System/LanguageFileReader.h"

#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>

#include <vector>

namespace GUI {

LanguageDialog::LanguageDialog(const DialogContext& context)
    : Dialog(&context.window, 101, QStringLiteral("Language"), HelpTable()),
      configuration_(context.configuration), window_(context.window)
{
    list_ = Tag(new QComboBox(this), ListId);
    list_->setMaxVisibleItems(12);
    auto* ok = Tag(new QPushButton(QStringLiteral("OK"), this), OkId);
    auto* cancel = Tag(new QPushButton(QStringLiteral("Cancel"), this), CancelId);
    ok->setDefault(true);
    // The list over OK and Cancel at the right, at least at the English size; a longer
    // language name or button text widens the window.
    const DialogUnits u = Units();
    QGridLayout* grid = GridAtLeast(*this, u.Rect(0, 0, 174, 49).size());
    grid->setContentsMargins(u.X(7), u.Y(7), u.X(7), u.Y(7));
    grid->setHorizontalSpacing(u.X(4));
    grid->setVerticalSpacing(u.Y(7));
    grid->addWidget(list_, 0, 0, 1, 3);
    for (QPushButton* button : {ok, cancel})
        button->setMinimumSize(u.X(50), u.Y(14));
    grid->addWidget(ok, 1, 1);
    grid->addWidget(cancel, 1, 2);
    grid->setColumnStretch(0, 1);
    connect(ok, &QPushButton::clicked, this, [this] {
        Apply();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void LanguageDialog::Prepare(int /*argument*/)
{
    currentName_ = QString::fromStdU16String(configuration_.GetLanguage());

    list_->setUpdatesEnabled(false);
    list_->clear();
    // The built-in English is the empty name, which no file has: a file en.lng is a language
    // of its own.
    list_->addItem(QStringLiteral("English (English)"), QString());
    std::vector<System::LanguageFileChoice> files;
    const std::string folder = window_.LanguageFolder();
    if (!System::ListLanguageFiles(folder, files))
        HandleFindFileError(folder);
    for (const System::LanguageFileChoice& file : files) {
        list_->addItem(QStringLiteral("%1 (%2)").arg(QString::fromUtf16(file.names.english),
                                                     QString::fromUtf16(file.names.native)),
                       QString::fromStdU16String(file.name));
    }
    list_->model()->sort(0);
    list_->setCurrentIndex(list_->findData(currentName_));
    list_->setUpdatesEnabled(true);
}

void LanguageDialog::HandleFindFileError(const std::string& folder)
{
    const std::u16string path = QString::fromStdString(folder).toStdU16String();
    System::ReportSystemError(u".\\Src\\GUI\\LanguageDialog", u"GUI::LanguageDialog::HandleFindFileError", 207,
                              u"Error calling FindFirstFile (%s)", path.c_str());
}

void LanguageDialog::Apply()
{
    if (list_->currentIndex() < 0)
        return;
    const QString chosen = list_->currentData().toString();
    if (chosen == currentName_)
        return;
    const std::u16string name = chosen.toStdU16String();
    char16_t* stored = configuration_.GetLanguage();
    const std::size_t length = name.copy(stored, Configuration::LanguageCapacity - 1);
    stored[length] = u'\0';
    window_.SwitchLanguage(name);
}

} // namespace GUI
