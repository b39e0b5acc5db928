#pragma once
#include "GUI/Dialogs/Dialog.h"

#include <QByteArray>

class QPlainTextEdit;
class QTabWidget;

namespace GUI {

class InformationPage;
class LicencePage;

/// The "About Tolvane" window: the program's icon, its version, a one-line legal notice with
/// the release year and a link, over two tab pages: what Tolvane is, where its manual is and
/// what it is built on (with a button that opens the manual), and the licence text, read-only.
///
/// The version and the release year come from the build; a language file's version text keeps
/// its wording with the build's version number put in. The link opens the address the build
/// sets (TOLVANE_HOME_URL), the manual when it sets none. GUI thread.
class AboutDialog final : public Dialog {
public:
    static constexpr int CloseId = 1072;
    static constexpr int TabsId = 1205;
    static constexpr int IconId = 1089;
    static constexpr int VersionId = 1090;
    static constexpr int NoticeId = 1091;
    static constexpr int LinkId = 1096;

    explicit AboutDialog(const DialogContext& context);
    ~AboutDialog() override;

    QTabWidget* Tabs() const { return tabs_; }
    QPlainTextEdit* LicenceView() const;

protected:
    void Prepare(int argument) override;

private:
    void OpenLink();

    ApplicationWindow& window_;
    QByteArray licence_; // empty when it could not be loaded
    QTabWidget* tabs_;
    InformationPage* information_;
    LicencePage* licencePage_;
};

} // namespace GUI
