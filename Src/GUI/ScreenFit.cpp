#include "GUI/ScreenFit.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace GUI {

namespace {

// The text a control shows as it reads, or empty for a control without one.
QString ShownText(const QWidget* control)
{
    QString text;
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        text = button->text();
    else if (const auto* label = qobject_cast<const QLabel*>(control); label && !label->wordWrap())
        text = label->text();
    else if (const auto* group = qobject_cast<const QGroupBox*>(control))
        text = group->title();
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

constexpr const char* FrameProperty = "windowFrame";

// The frame's share of the window's outer size; (0, 0) while no frame is known.
QSize FrameOf(const QWidget& window)
{
    return (window.frameGeometry().size() - window.size()).expandedTo(QSize(0, 0));
}

class FrameWatch final : public QObject {
public:
    FrameWatch(QWidget& window, std::function<void()> fit) : QObject(&window), window_(window), fit_(std::move(fit))
    {
        timer_.setInterval(LookMs);
        connect(&timer_, &QTimer::timeout, this, &FrameWatch::Look);
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Show) {
            looks_ = 0;
            timer_.start();
        }
        return false;
    }

private:
    static constexpr int LookMs = 100;
    static constexpr int MostLooks = 100;

    void Look()
    {
        const QSize frame = FrameOf(window_);
        if (!window_.isVisible() || ++looks_ > MostLooks) {
            timer_.stop();
            return;
        }
        if (frame == QSize(0, 0))
            return;
        timer_.stop();
        window_.setProperty(FrameProperty, frame);
        fit_();
        KeepInside();
    }

    void KeepInside()
    {
        const QScreen* screen = window_.screen();
        if (!screen || window_.isMaximized() || window_.isFullScreen())
            return;
        const QRect area = screen->availableGeometry();
        const QRect outer = window_.frameGeometry();
        const QPoint corner(std::clamp(outer.left(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
                            std::clamp(outer.top(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
        if (corner != outer.topLeft())
            window_.move(corner); // a window's position is its frame's
    }

    QWidget& window_;
    std::function<void()> fit_;
    QTimer timer_;
    int looks_ = 0;
};

} // namespace

void FitWhenFramed(QWidget& window, std::function<void()> fit)
{
    new FrameWatch(window, std::move(fit));
}

void TipCutTexts(QWidget& window)
{
    constexpr const char* TipProperty = "cutTextTip";
    for (QWidget* control : window.findChildren<QWidget*>()) {
        const QString text = ShownText(control);
        if (text.isEmpty())
            continue;
        // A control's own tooltip (a toolbar button's) is not replaced.
        const bool ownTip = !control->toolTip().isEmpty() && !control->property(TipProperty).toBool();
        const bool cut = control->width() < control->sizeHint().width();
        if (cut && !ownTip) {
            control->setToolTip(text);
            control->setProperty(TipProperty, true);
        } else if (control->property(TipProperty).toBool()) {
            control->setToolTip(QString());
            control->setProperty(TipProperty, QVariant());
        }
    }
}

QSize ScreenRoom(const QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    QSize frame = window.isVisible() ? FrameOf(window) : QSize(0, 0);
    if (frame == QSize(0, 0))
        frame = window.property(FrameProperty).toSize().expandedTo(QSize(0, 0));
    return screen->availableGeometry().size() - frame;
}

void FitToScreen(QWidget& window)
{
    QLayout* layout = window.layout();
    if (!layout)
        return;
    // The window's size is set here, not by the layout, so that it can be less than what the
    // layout would like.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    window.setMinimumSize(0, 0);
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout->invalidate();
    const QSize wanted = layout->totalSizeHint().expandedTo(layout->totalMinimumSize());
    window.setFixedSize(wanted.boundedTo(ScreenRoom(window)));
    layout->invalidate();
    layout->activate();
    // The layouts inside (group boxes, the shown tab page) place their controls now, not at the
    // next show, so that the texts cut can be told.
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (QLayout* inner = child->layout(); inner && !child->isWindow()) {
            inner->invalidate();
            inner->activate();
        }
    }
    TipCutTexts(window);
}

QGridLayout* GridAtLeast(QWidget& owner, QSize size)
{
    // The grid shares its one cell of the owner's layout with an empty item of the English
    // size (less the owner's frame, a group box's title): the cell is as large as the larger.
    auto* outer = new QGridLayout(&owner);
    auto* grid = new QGridLayout;
    grid->setContentsMargins(outer->contentsMargins());
    outer->setContentsMargins(0, 0, 0, 0);
    const QMargins frame = owner.contentsMargins();
    size -= QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    outer->addItem(new QSpacerItem(std::max(0, size.width()), std::max(0, size.height()), QSizePolicy::Minimum,
                                   QSizePolicy::Minimum),
                   0, 0);
    outer->addLayout(grid, 0, 0);
    return grid;
}

} // namespace GUI
