#pragma once
#include <QChar>
#include <QEvent>
#include <QString>

class QFileDialog;
class QWidget;

namespace GUI {

/// Sent to a hooked control's parent when the control refused a typed character because it is
/// not among the control's accepted characters. The owner usually answers with
/// ControlSubClasser::ShowInputBalloon.
class RejectedCharacterEvent : public QEvent {
public:
    /// The event's type (user event 2).
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(QEvent::User + 2);

    RejectedCharacterEvent(QChar character, QWidget* control)
        : QEvent(EventType), character_(character), control_(control)
    {
    }
    QChar Character() const { return character_; }
    QWidget* Control() const { return control_; }

private:
    QChar character_;
    QWidget* control_;
};

/// Keyboard and mouse behaviour that chosen controls of a window share, and window placement:
/// key presses sent on to the parent (key forwarding), a fixed set of accepted characters
/// (input filter), and sliders that take the focus when the mouse enters them. The help texts
/// of controls are their status tips (see DialogBase); nothing here shows them.
///
/// A control set up here carries these dynamic properties, read by one event filter shared by
/// every such control:
///   "KD"  true: key presses go to the parent window instead of the control
///   "AC"  the characters the control accepts (a QString), or no property
///   "FC"  true: the control takes the keyboard focus when the mouse enters it
///
/// Windows derive from this class (next to their QWidget base) to call these unqualified.
/// Everything runs on the GUI thread.
class ControlSubClasser {
public:
    virtual ~ControlSubClasser();

    /// Removes the filter and its properties from every direct child of parent, so that no key
    /// reaches the parent through it any more (at shutdown, before the window goes).
    static void RestoreChildControls(QWidget* parent);

    /// Key forwarding: with on set, key presses on control go to its parent widget.
    static void SetKeysToParent(QWidget* control, bool on);
    /// The control (a slider) takes the keyboard focus when the mouse enters it.
    static void SetFocusOnHover(QWidget* control);
    /// Input filter: the control accepts only these characters. A refused character is
    /// reported to the parent with a RejectedCharacterEvent; Tab and Shift+Tab move the focus,
    /// Escape sends the parent a close request, Page Up and Page Down page the control if it
    /// can, the editing keys and the copy, cut and paste shortcuts work, Return and Enter reach
    /// the control (a line edit passes them on to its dialog's default button), and Up, Down and
    /// every other key are dropped. A line edit never holds other characters: text pasted,
    /// dropped or set into it keeps only the accepted ones.
    static void SetAcceptedCharacters(QWidget* control, const QString& characters);

    /// Shows a balloon tip at an edit with the error sign, the title "Unacceptable Character"
    /// (miscellaneous text 2 of the current text tables) and miscellaneous text textIndex, then
    /// sounds the system beep.
    static void ShowInputBalloon(QWidget* edit, int textIndex);
    /// Moves window, without resizing it, so that a width x height rectangle at its position is
    /// centred on the available area of its screen.
    static void CentreWindowOnDesktop(QWidget* window, int width, int height);
    /// Makes a file dialog centre itself on the desktop when it is first shown. The dialog is
    /// switched to Qt's own dialog, which unlike a desktop portal can be placed.
    static void CentreFileDialogHook(QFileDialog* dialog);
};

} // namespace GUI
