#pragma once
#include "GUI/ControlSubClasser.h"
#include "GUI/Dialogs/DialogUnits.h"
#include "GUI/Dialogs/HelpTable.h"

#include <QList>

class QWidget;

namespace GUI {

/// What every dialog and every tab page of the program shares, next to its Qt base class:
/// - its controls carry their numeric identifiers in the property "controlId" (Tag); Qt
///   layouts place them, inside group boxes where the window groups them;
/// - the texts of the current language: the dialog's title and every control text a language
///   file gives, the texts the window was made with (English) otherwise (ApplyTexts);
/// - control help as status tips: the mouse entering a control sends its help text up to the
///   dialog, which shows it in its help line; leaving it clears the line (DescribeControls);
/// - names and descriptions for assistive technology (DescribeControls).
///
/// A tab page's status tips reach the dialog it sits in, whose help line serves every page.
/// GUI thread only.
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
    /// The control with identifier id among the window's controls (see Controls), or null.
    QWidget* Control(int id) const;
    /// Every tagged widget inside the window, group boxes included, in creation order; a
    /// page of this kind inside it (a tab page) and other windows are not looked into.
    QList<QWidget*> Controls() const;

    /// Tags control with identifier id; a layout places it.
    template <typename T>
    static T* Tag(T* control, int id)
    {
        control->setProperty("controlId", id);
        return control;
    }

    /// Puts the current language's texts on the window: the title for dialogs 101..104 and
    /// the text of each control with an identifier in 1001..1096, where the language gives
    /// one; elsewhere the text the window had when it first came here. Call at each opening.
    void ApplyTexts();
    /// Gives every tagged control its help text as status tip and description, the sliders
    /// the focus when the mouse enters them, and the controls without a text of their own a
    /// name: the text of the label whose buddy they are, else the help text. Call after
    /// ApplyTexts.
    void DescribeControls();

private:
    QWidget& window_;
    int dialogId_;
    HelpTable help_;
};

} // namespace GUI
