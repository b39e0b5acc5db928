#pragma once
#include <QSize>

class QGridLayout;
class QWidget;

namespace GUI {

/// The room a window has on its screen: the screen's available area (without panels and
/// docks) less the window's frame, as far as the frame is known. GUI thread only.
QSize ScreenRoom(const QWidget& window);

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
