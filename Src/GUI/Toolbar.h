#pragma once
#include <QToolBar>

#include <array>

class QAction;
class QToolButton;

namespace GUI {

/// The main window's toolbar: four 94 x 50 buttons with a 24 x 24 picture and the text under it
/// (a button grows wider where its text needs more room),
/// opening the four pages of the settings dialog (commands 32773 Options, 32774 Sound Settings,
/// 32775 Audio Files, 32776 Presets). Texts and tooltips come from the current text tables.
/// GUI thread only.
class Toolbar : public QToolBar {
    Q_OBJECT
public:
    static constexpr int FirstCommand = 32773;
    static constexpr int ButtonCount = 4;

    explicit Toolbar(QWidget* parent = nullptr);
    ~Toolbar() override;

    /// Relabels the buttons, their tooltips and their accessible descriptions from the current
    /// text tables (after a language switch), and widens a button whose text needs more than
    /// 94 pixels.
    void SetTexts();
    /// How many pixels wider than 4 x 94 the buttons are together (0 when every text fits).
    int ExtraWidth() const { return extraWidth_; }

    /// The button at position 0..3 (its "controlId" property holds its command).
    QToolButton* Button(int position) const;

signals:
    /// A button was clicked; command is 32773..32776.
    void CommandTriggered(int command);

private:
    std::array<QAction*, ButtonCount> actions_{};
    int extraWidth_ = 0;
};

} // namespace GUI
