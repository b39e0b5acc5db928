#pragma once
#include <QStatusBar>
#include <QString>

namespace GUI {

/// The main window's one-field status line at its bottom edge, showing the help text of the
/// control, menu item or toolbar button under the mouse. GUI thread only.
class Statusbar : public QStatusBar {
    Q_OBJECT
public:
    explicit Statusbar(QWidget* parent = nullptr);
    ~Statusbar() override;

    /// Shows text until the next call; the empty text clears the line.
    void SetText(const QString& text);
    QString Text() const { return currentMessage(); }
};

} // namespace GUI
