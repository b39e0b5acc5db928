#pragma once
#include <QSize>

#include <functional>

class QGridLayout;
class QWidget;

namespace GUI {

/// The room a window has on its screen: the screen's available area (without panels and
/// docks) less the window's frame, as far as the frame is known (while the window is shown,
/// or as it was at its last showing, FitWhenFramed). GUI thread only.
QSize ScreenRoom(const QWidget& window);

/// Sizes window again once the frame its window manager gives it (title bar, borders) is
/// known. That is some time after each showing, later still on a loaded machine, so the
/// window looks for it a few times a second for ten seconds at most; then fit() sizes the
/// window (ScreenRoom now leaves room for the frame), a window whose frame reaches past its
/// screen's available area is moved inside it, and the frame is kept for the next showing.
/// GUI thread only; call once per window.
void FitWhenFramed(QWidget& window, std::function<void()> fit);

/// Gives a window laid out by a Qt layout a fixed size: what its layout asks for, at most its
/// screen's room. When the room is smaller (a translation with very long texts, a small
/// screen), the layout shares out what there is, and every text control that is left narrower
/// than its text shows its full text as its tooltip. Call whenever the texts change. GUI thread
/// only.
void FitToScreen(QWidget& window);

/// Every text control of window narrower than its text (after FitToScreen had to make the
/// window smaller than its layout wanted) shows its full text as its tooltip; the others show
/// no such tooltip. FitToScreen calls it; a window calls it again when it shows other controls
/// (another tab page).
void TipCutTexts(QWidget& window);

/// A new grid that lays out owner (a page, a group box) at least size in pixels: the size it
/// has in English, which longer texts may enlarge but nothing shrinks. The room beyond the
/// contents goes to the grid's stretching rows and columns (to all where none stretches).
QGridLayout* GridAtLeast(QWidget& owner, QSize size);

} // namespace GUI
