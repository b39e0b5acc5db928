#pragma once
#include "GUI/Dialogs/DialogBase.h"

#include <QDialog>

#include <memory>

class QLabel;

namespace Configuration {
class IConfiguration;
}
namespace Core {
class IMetronome;
}

namespace GUI {

class ApplicationWindow;

/// What a dialog opened by the main window may use. Everything outlives the dialog.
struct DialogContext {
    Configuration::IConfiguration& configuration; ///< the settings store
    Core::IMetronome& metronome;                  ///< stopped before a dialog that edits settings
    ApplicationWindow& window;                    ///< the owner: refresh, language switch
};

/// A modal dialog of the program in the program's 8-point font, with the texts of the current
/// language, control help in its help line (the status tips of its controls and of its pages'
/// controls) and described controls (DialogBase). Windows are at most as large as the
/// available area of their screen (FitToScreen). The main
/// window makes each dialog once, on its first opening, through its dialog table, keeps it,
/// and calls Open for every opening; the controls therefore persist between openings and
/// Prepare fills them afresh each time.
///
/// A dialog opened by the main window has a constructor taking a const DialogContext&.
class Dialog : public QDialog, public DialogBase {
    Q_OBJECT
public:
    /// title: the dialog's English title, kept when the language file gives none.
    Dialog(QWidget* owner, int dialogId, const QString& title, HelpTable help);

    /// Readies an opening: the current language's texts, Prepare (argument), the controls'
    /// help and descriptions, and a size that fits the texts and the screen. Tests call it and
    /// show the dialog themselves.
    void Initialise(int argument);
    /// Initialise, then shows the dialog modally; returns its result. argument is the table
    /// row's (the page the settings dialog opens on, for example).
    virtual int Open(int argument);

protected:
    /// Fills the controls for an opening (from the settings, usually). Does nothing here.
    virtual void Prepare(int argument);
    /// Sizes the window for the texts shown, at the end of Initialise: FitToScreen here, a
    /// fixed size. A resizable window sets its least size instead.
    virtual void Fit();
    /// The label that shows the help texts; without one, help shows nowhere.
    void SetHelpLine(QLabel* line) { helpLine_ = line; }
    /// A status tip reaching the dialog goes to its help line.
    bool event(QEvent* event) override;

private:
    QLabel* helpLine_ = nullptr;
};

/// How the main window's dialog table makes a dialog.
using DialogMaker = std::unique_ptr<Dialog> (*)(const DialogContext&);

/// The DialogMaker of dialog class D (constructed from a const DialogContext&).
template <typename D>
std::unique_ptr<Dialog> MakeDialog(const DialogContext& context)
{
    return std::make_unique<D>(context);
}

} // namespace GUI
