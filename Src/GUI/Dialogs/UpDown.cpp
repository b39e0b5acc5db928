#include "GUI/Dialogs/UpDown.h"

#include <QToolButton>

#include <algorithm>

namespace GUI {

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    for (QToolButton* button : {up_, down_}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    // Read out as the signs they stand for (the edit beside them is the tab stop and takes the
    // arrow keys).
    up_->setAccessibleName(QStringLiteral("+"));
    down_->setAccessibleName(QString(QChar(0x2212)));
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
    setFocusPolicy(Qt::NoFocus);
}

void UpDown::SetRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    SetPosition(position_);
}

void UpDown::SetPosition(int position)
{
    position_ = std::clamp(position, minimum_, maximum_);
}

void UpDown::Step(int direction)
{
    const int next = std::clamp(position_ + direction, minimum_, maximum_);
    if (next == position_)
        return;
    position_ = next;
    emit valueChanged(position_);
}

void UpDown::resizeEvent(QResizeEvent* /*event*/)
{
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

} // namespace GUI
