#pragma once
#include "GUI/ControlSubClasser.h"
#include "GUI/Dialogs/DialogUnits.h"
#include "GUI/Dialogs/HelpTable.h"

class QObject;
class QWidget;

namespace GUI {

/// What every dialog and every tab page of the program shares, next to its Qt base class:
/// - its controls are direct children placed in dialog units of the window's font and tagged
///   with their numeric identifiers (Place);
/// - the texts of the current language: the dialog's title and every control text a language
///   file gives, the texts the window was made with (English) otherwise (ApplyTexts);
/// - control help: the mouse over a control shows its help text, the mouse on the window's own
///   surface clears it (HookControls, OnControlHover, ShowHelp);
/// - names and descriptions for assistive technology (DescribeControls).
///
/// A dialog passes itself as the help receiver; a tab page passes the dialog it sits in, whose
/// help line then serves every page. GUI thread only.
class DialogBase : public ControlSubClasser {
public:
    /// window is the derived object's own widget; dialogId its number (a title of its own in
    /// the language files for 101..104, 0 for a page); help its control-help table.
    DialogBase(QWidget& window, int dialogId, HelpTable help);
    ~DialogBase() override;

    int DialogId() const { return dialogId_; }
    const HelpTable& Help() const { return help_; }
    /// The dialog units of the window's current font.
    DialogUnits Units() const;
    /// The direct child with control identifier id, or null.
    QWidget* Control(int id) const;

    /// Tags control with identifier id and places it at x, y, width, height in dialog units.
    template <typename T>
    T* Place(T* control, int id, int x, int y, int width, int height)
    {
        PlaceWidget(control, id, Units().Rect(x, y, width, height));
        return control;
    }

    /// Puts the current language's texts on the window: the title for dialogs 101..104 and
    /// the text of each control with an identifier in 1001..1095, where the language gives
    /// one; elsewhere the text the window had when it first came here. Call at each opening.
    void ApplyTexts();
    /// Hooks the window's controls for hover help with receiver as the receiver, and lets the
    /// mouse on the window's own surface clear receiver's help. Hooks once; the hooks stay
    /// until the object is destroyed.
    void HookControls(ControlSubClasser& receiver);
    /// Gives every tagged control a description (its help text) and the controls without a
    /// text of their own a name: the text of the label whose buddy they are, else the help
    /// text. Call after ApplyTexts.
    void DescribeControls();

    /// Shows the help text of controlId (or clears the help for a control without one).
    void OnControlHover(int controlId) override;

protected:
    /// Shows a help text; empty clears it. A tab page, whose help goes to its dialog, shows
    /// nothing itself.
    virtual void ShowHelp(const QString& text);

private:
    void PlaceWidget(QWidget* control, int id, const QRect& pixels);

    QWidget& window_;
    int dialogId_;
    HelpTable help_;
    QObject* surfaceFilter_ = nullptr;
};

} // namespace GUI
