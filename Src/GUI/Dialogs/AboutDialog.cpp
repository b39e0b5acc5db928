#include "GUI/Dialogs/AboutDialog.h"

#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/AboutPages.h"
#include "GUI/ProgramFont.h"
#include "System/CurrentLanguage.h"
#include "System/Log.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QPushButton>
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
    auto* icon = Place(new QLabel(this), IconId, 10, 8, 21, 21);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/2.png")).pixmap(Units().X(21), Units().Y(21)));
    auto* version = Place(new QLabel(QStringLiteral("Tolvane Version " TOLVANE_VERSION), this), VersionId, 38, 6,
                          284, 10);
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    auto* notice = Place(new QLabel(QStringLiteral("Copyright \u00A9 %1 The Tolvane developers. Released under the MIT "
                                                   "licence.")
                                        .arg(ReleaseYear()),
                                    this),
                         NoticeId, 38, 16, 284, 9);
    auto* link = Place(new Hyperlink(QStringLiteral("The Tolvane developers"), this, [this] { OpenLink(); }), LinkId,
                       38, 26, 284, 9);
    for (QLabel* label : {version, notice, static_cast<QLabel*>(link)})
        label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    tabs_ = Place(new QTabWidget(this), TabsId, 7, 38, 346, 137);
    information_ = new InformationPage([this] { window_.ShowHelp(); });
    licencePage_ = new LicencePage(licence_);
    tabs_->addTab(information_, QStringLiteral("Information"));
    tabs_->addTab(licencePage_, QStringLiteral("User Licence Agreement"));

    auto* close = Place(new QPushButton(QStringLiteral("Close"), this), CloseId, 303, 181, 50, 14);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(Units().X(360), Units().Y(202));
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
