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

/// Control help for a window: hooks every child control so that the mouse moving over a control
/// tells the owner which control it is (the owner then shows the control's help text), and lets
/// chosen controls send their key presses to their parent (key forwarding) or accept only a
/// fixed set of characters (input filter).
///
/// Each hooked control carries these dynamic properties:
///   "WP"  whether the control had hover events before it was hooked (restored on removal)
///   "KD"  true: key presses go to the parent window instead of the control
///   "AC"  the characters the control accepts (a QString), or no property
///   "SC"  the receiver of hover reports (a ControlSubClasser*, as void*)
///   "FC"  true for sliders: the control takes the keyboard focus when the mouse moves over it
/// and its numeric identifier in the property "controlId".
///
/// Owners derive from this class (next to their QWidget base) and implement OnControlHover.
/// Everything runs on the GUI thread.
class ControlSubClasser {
public:
    virtual ~ControlSubClasser();

    /// The mouse moved over the control with identifier controlId (a different one from the
    /// last reported). The owner shows that control's help text.
    virtual void OnControlHover(int controlId) = 0;

    /// Identifier of the control last reported as hovered; 0 when none is marked.
    int HoveredControl() const { return hoveredControl_; }
    /// Clears the hovered mark, so that moving over the same control reports it again. Owners call
    /// it when the mouse reaches their own surface. Returns true when a control was marked (the
    /// owner then shows its default help).
    bool ResetHoveredControl();
    /// Reports controlId through OnControlHover unless it is the control already marked.
    void ReportHover(int controlId);

    /// Hooks every direct child widget of parent, in child order, with receiver as the receiver
    /// of hover reports. Left-aligned text labels are skipped; centred and right-aligned labels,
    /// picture labels and every other control are hooked. Sliders take the focus when the mouse
    /// moves over them. Widgets created later are not hooked.
    static void SubclassChildControls(QWidget* parent, ControlSubClasser* receiver);
    /// Removes the hook and its properties from every child that SubclassChildControls hooked.
    static void RestoreChildControls(QWidget* parent);

    /// Key forwarding: with on set, key presses on the hooked control go to its parent widget.
    static void SetKeysToParent(QWidget* control, bool on);
    /// Input filter: the hooked control accepts only these characters. A refused character is
    /// reported to the parent with a RejectedCharacterEvent; Tab and Shift+Tab move the focus,
    /// Escape sends the parent a close request, Page Up and Page Down page the control if it
    /// can, the editing keys and the copy, cut and paste shortcuts work, and Up, Down, Enter and
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

protected:
    int hoveredControl_ = 0;
};

} // namespace GUI
