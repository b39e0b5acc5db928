#include "GUI/Dialogs/AboutDialog.h"

#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/AboutPages.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "System/CurrentLanguage.h"
#include "System/Log.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QUrl>

namespace GUI {

namespace {

constexpr int InformationTab = 10, LicenceTab = 11; // [Text] indices of the tab names

// The release year, from the build's release date (YYYY-MM-DD).
QString ReleaseYear()
{
    return QStringLiteral(TOLVANE_RELEASE_DATE).left(4);
}

// A label that reads as a link: blue text, the hand cursor, underlined while the pointer is
// over it; a click with the left button calls clicked.
class Hyperlink final : public QLabel {
public:
    Hyperlink(const QString& text, QWidget* parent, std::function<void()> clicked)
        : QLabel(text, parent), clicked_(std::move(clicked))
    {
        QPalette colours = palette();
        colours.setColor(QPalette::WindowText, QColor(0, 0, 192));
        setPalette(colours);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void enterEvent(QEnterEvent* event) override
    {
        Underline(true);
        QLabel::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override
    {
        Underline(false);
        QLabel::leaveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            clicked_();
        QLabel::mouseReleaseEvent(event);
    }

private:
    void Underline(bool on)
    {
        QFont underlined = font();
        underlined.setUnderline(on);
        setFont(underlined);
    }

    std::function<void()> clicked_;
};

// The licence text from the program's resources; empty (and logged) when it is missing.
QByteArray LoadLicence()
{
    QFile file(QStringLiteral(":/text/138"));
    if (!file.open(QIODevice::ReadOnly)) {
        System::Log().Write(System::Error, "%s", "Unable to load EULA from resource section of application");
        return {};
    }
    return file.readAll();
}

} // namespace

AboutDialog::AboutDialog(const DialogContext& context)
    : Dialog(&context.window, 104, QStringLiteral("About Tolvane"), HelpTable()), window_(context.window),
      licence_(LoadLicence())
{
    const DialogUnits u = Units();
    auto* icon = Tag(new QLabel(this), IconId);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/2.png")).pixmap(u.X(21), u.Y(21)));
    auto* version = Tag(new QLabel(QStringLiteral("Tolvane Version " TOLVANE_VERSION), this), VersionId);
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    auto* notice = Tag(new QLabel(QStringLiteral("Copyright \u00A9 %1 The Tolvane developers. Released under the MIT "
                                                 "licence.")
                                      .arg(ReleaseYear()),
                                  this),
                       NoticeId);
    auto* link = Tag(new Hyperlink(QStringLiteral("The Tolvane developers"), this, [this] { OpenLink(); }), LinkId);
    for (QLabel* label : {version, notice, static_cast<QLabel*>(link)})
        label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    tabs_ = Tag(new QTabWidget(this), TabsId);
    information_ = new InformationPage([this] { window_.ShowHelp(); });
    licencePage_ = new LicencePage(licence_);
    tabs_->addTab(information_, QStringLiteral("Information"));
    tabs_->addTab(licencePage_, QStringLiteral("User Licence Agreement"));
    auto* close = Tag(new QPushButton(QStringLiteral("Close"), this), CloseId);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    // The icon beside the three centred lines, the tabs under them and Close at the bottom
    // right, at least at the English size.
    QGridLayout* grid = GridAtLeast(*this, u.Rect(0, 0, 360, 202).size());
    grid->setContentsMargins(u.X(7), u.Y(6), u.X(7), u.Y(7));
    grid->setVerticalSpacing(0);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(notice, 1, 1);
    grid->addWidget(link, 2, 1);
    grid->setRowMinimumHeight(3, u.Y(3));
    grid->addWidget(tabs_, 4, 0, 1, 2);
    grid->setRowMinimumHeight(5, u.Y(6));
    close->setMinimumSize(u.X(50), u.Y(14));
    grid->addWidget(close, 6, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
}

AboutDialog::~AboutDialog() = default;

QPlainTextEdit* AboutDialog::LicenceView() const
{
    return licencePage_->View();
}

void AboutDialog::Prepare(int /*argument*/)
{
    const auto language = System::CurrentLanguage();
    // The version number and the year are the build's, whatever a language file says.
    auto* version = static_cast<QLabel*>(Control(VersionId));
    QString text = version->text();
    text.replace(QRegularExpression(QStringLiteral("\\d+(\\.\\d+)+")), QStringLiteral(TOLVANE_VERSION));
    version->setText(text);
    auto* notice = static_cast<QLabel*>(Control(NoticeId));
    text = notice->text();
    text.replace(QRegularExpression(QStringLiteral("\\b(19|20)\\d\\d\\b")), ReleaseYear());
    notice->setText(text);

    for (const int tab : {InformationTab, LicenceTab}) {
        if (const char16_t* name = language->GetText(tab))
            tabs_->setTabText(tab - InformationTab, FromTableText(name));
    }
    tabs_->setCurrentIndex(0);
    // Named for assistive technology as the window and the licence's tab are.
    tabs_->setAccessibleName(windowTitle());
    licencePage_->View()->setAccessibleName(tabs_->tabText(1).remove(QLatin1Char('&')));
    for (DialogBase* page : {static_cast<DialogBase*>(information_), static_cast<DialogBase*>(licencePage_)}) {
        page->ApplyTexts();
        page->DescribeControls();
    }
    information_->Prepare();
}

void AboutDialog::OpenLink()
{
    const QString address = QStringLiteral(TOLVANE_HOME_URL);
    if (address.isEmpty())
        window_.ShowHelp();
    else
        QDesktopServices::openUrl(QUrl(address)); // a failure is not reported: nothing to offer instead
}

} // namespace GUI
