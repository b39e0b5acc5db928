#pragma once
#include <QWidget>

class QToolButton;

namespace GUI {

/// A pair of arrow buttons that step a position within a range, beside the edit it serves.
/// The owner writes the position into the edit (valueChanged) and moves the position when the
/// edit changes (SetPosition, which does not report back). Not a tab stop: the edit is.
class UpDown final : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    int Position() const { return position_; }
    /// Moves to position, limited to the range, without emitting valueChanged.
    void SetPosition(int position);
    /// One step up (+1) or down (-1), as the arrow buttons do; emits valueChanged on a move.
    void Step(int direction);

signals:
    void valueChanged(int position);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};

} // namespace GUI
