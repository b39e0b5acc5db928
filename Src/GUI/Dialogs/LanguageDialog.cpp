#include "GUI/Dialogs/LanguageDialog.h"

#include "Configuration/IConfiguration.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/ScreenFit.h"
#include "System/ErrorReport.h"
#include "System/LanguageFileReader.h"

#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>

#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace GUI {

namespace {

// The code of a stem: each character one byte, the first the most significant. Zero when a
// character does not fit in a byte or the stem is too long to pack.
std::uint32_t Pack(std::u16string_view stem)
{
    std::uint32_t code = 0;
    if (stem.size() > 4)
        return 0;
    for (const char16_t unit : stem) {
        if (unit == 0 || unit > 0xFF)
            return 0;
        if (code != 0)
            code <<= 8;
        code |= unit;
    }
    return code;
}

// The language name a code stands for; the built-in English (and no code) give the empty name.
std::u16string Unpack(std::uint32_t code)
{
    std::u16string name;
    if (code == LanguageDialog::EnglishCode)
        return name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (const auto unit = static_cast<char16_t>((code >> shift) & 0xFF))
            name += unit;
    }
    return name;
}

// The stem of a language file's name, or empty when the name is not one the chooser lists:
// "<stem>.lng", shorter than 8 characters, with no other dot in the stem (the program loads
// the language by its stem, so "a.b.lng" would not load as "a").
QString ListedStem(const QString& fileName)
{
    if (fileName.size() >= 8 || !fileName.endsWith(QStringLiteral(".lng")))
        return {};
    const QString stem = fileName.chopped(4);
    return stem.contains(QLatin1Char('.')) ? QString() : stem;
}

} // namespace

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
    const std::u16string current(configuration_.GetLanguage());
    currentCode_ = current.empty() ? EnglishCode : Pack(current);

    list_->setUpdatesEnabled(false);
    list_->clear();
    list_->addItem(QStringLiteral("English (English)"), EnglishCode);
    AddLanguageFiles(window_.LanguageFolder());
    list_->model()->sort(0);
    list_->setCurrentIndex(list_->findData(currentCode_));
    list_->setUpdatesEnabled(true);
}

void LanguageDialog::AddLanguageFiles(const std::string& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return; // no language folder: English only
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folder.c_str()), ::closedir);
    if (!directory) {
        HandleFindFileError(folder);
        return;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(directory.get())) {
        const QString stem = ListedStem(QString::fromUtf8(entry->d_name));
        const std::uint32_t code = Pack(stem.toStdU16String());
        System::LanguageNames names;
        if (code != 0 && System::ReadLanguageNames(folder + entry->d_name, names)) {
            list_->addItem(QStringLiteral("%1 (%2)").arg(QString::fromUtf16(names.english),
                                                         QString::fromUtf16(names.native)),
                           code);
        }
        errno = 0;
    }
    if (errno != 0)
        HandleFindFileError(folder);
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
    const auto code = list_->currentData().toUInt();
    if (code == currentCode_)
        return;
    const std::u16string name = Unpack(code);
    char16_t* stored = configuration_.GetLanguage();
    name.copy(stored, Configuration::LanguageCapacity - 1);
    stored[name.size()] = u'\0';
    window_.SwitchLanguage(name);
}

} // namespace GUI
