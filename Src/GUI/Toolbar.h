#pragma once
#include <QToolBar>

#include <array>

class QAction;
class QToolButton;

namespace GUI {

/// The main window's toolbar: four 94 x 50 buttons with a 24 x 24 picture and the text under it
/// (a button grows wider where its text needs more room), showing the actions of the commands
/// that open the four pages of the settings dialog (32773 Options, 32774 Sound Settings, 32775
/// Audio Files, 32776 Presets). The toolbar gives each action its picture, its toolbar text
/// (the action's icon text; its text stays the menu's) and its tooltip from the current text
/// tables. GUI thread only.
class Toolbar : public QToolBar {
    Q_OBJECT
public:
    static constexpr int FirstCommand = 32773;
    static constexpr int ButtonCount = 4;

    /// actions: the four commands' actions, in button order; the toolbar makes its own (with
    /// the command as data) for those not given.
    explicit Toolbar(QWidget* parent = nullptr, std::array<QAction*, 4> actions = {});
    ~Toolbar() override;

    /// Relabels the buttons, their tooltips and their accessible descriptions from the current
    /// text tables (after a language switch), and widens a button whose text needs more than
    /// 94 pixels.
    void SetTexts();
    /// As wide as all four buttons: a layout never hides one behind the toolbar's extension
    /// menu.
    QSize minimumSizeHint() const override { return sizeHint(); }

    /// The button at position 0..3 (its "controlId" property holds its command).
    QToolButton* Button(int position) const;

private:
    std::array<QAction*, ButtonCount> actions_{};
};

} // namespace GUI
