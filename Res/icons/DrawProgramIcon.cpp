// Draws the program's icon (icon 2): a wooden metronome with its pendulum swung to the right
// and a blue beat lamp, at 32 x 32 and 128 x 128, into the folder given as the first argument,
// and the desktop's icon theme files (16 to 256 pixels, named by the application id) into
// <second argument>/<size>x<size>/apps/.
// Not part of the build; the PNG files it writes are what the program ships. To redraw them:
//   g++ -std=c++20 -fPIC DrawProgramIcon.cpp -o DrawProgramIcon $(pkg-config --cflags --libs Qt6Gui)
//   QT_QPA_PLATFORM=offscreen ./DrawProgramIcon Res/icons Res/desktop/hicolor
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

// All drawing in a 32-unit coordinate space.
static QImage Draw(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // Body: a tall trapezoid of warm wood with a dark outline.
    QPainterPath body;
    body.moveTo(11.5, 2.5);
    body.lineTo(20.5, 2.5);
    body.lineTo(27, 27.5);
    body.lineTo(5, 27.5);
    body.closeSubpath();
    QLinearGradient wood(5, 0, 27, 0);
    wood.setColorAt(0, QColor(150, 82, 38));
    wood.setColorAt(0.5, QColor(205, 128, 64));
    wood.setColorAt(1, QColor(130, 70, 32));
    p.setPen(QPen(QColor(70, 36, 16), 1.0));
    p.setBrush(wood);
    p.drawPath(body);

    // Scale plate behind the pendulum.
    QPainterPath plate;
    plate.moveTo(13.5, 5);
    plate.lineTo(18.5, 5);
    plate.lineTo(21.5, 21);
    plate.lineTo(10.5, 21);
    plate.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 232, 205));
    p.drawPath(plate);
    p.setPen(QPen(QColor(120, 90, 60), 0.5));
    for (int i = 0; i < 6; ++i) {
        const double y = 7 + i * 2.5;
        p.drawLine(QPointF(15.2, y), QPointF(16.8, y));
    }

    // Base.
    p.setPen(QPen(QColor(50, 26, 12), 1.0));
    p.setBrush(QColor(95, 50, 22));
    p.drawRoundedRect(QRectF(3.5, 26.5, 25, 4), 1.2, 1.2);

    // Pendulum rod from the pivot, swung to the right, with its sliding weight.
    const QPointF pivot(16, 23.5);
    const QPointF tip(22.5, 3.5);
    p.setPen(QPen(QColor(60, 60, 70), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(pivot, tip);
    const QPointF weight = pivot + (tip - pivot) * 0.55;
    QLinearGradient metal(weight.x() - 2.5, 0, weight.x() + 2.5, 0);
    metal.setColorAt(0, QColor(140, 145, 155));
    metal.setColorAt(0.5, QColor(235, 238, 245));
    metal.setColorAt(1, QColor(110, 115, 125));
    p.setPen(QPen(QColor(50, 52, 60), 0.7));
    p.setBrush(metal);
    p.save();
    p.translate(weight);
    p.rotate(18);
    p.drawRoundedRect(QRectF(-2.6, -1.6, 5.2, 3.2), 0.8, 0.8);
    p.restore();
    p.setBrush(QColor(60, 60, 70));
    p.drawEllipse(pivot, 1.1, 1.1);

    // The beat lamp: a blue disc at the lower left of the body.
    QRadialGradient lamp(QPointF(9.3, 23.3), 3.2, QPointF(8.6, 22.6));
    lamp.setColorAt(0, QColor(190, 200, 255));
    lamp.setColorAt(0.5, QColor(84, 84, 192));
    lamp.setColorAt(1, QColor(40, 40, 120));
    p.setPen(QPen(QColor(30, 30, 80), 0.6));
    p.setBrush(lamp);
    p.drawEllipse(QPointF(9.5, 23.5), 2.6, 2.6);
    return image;
}

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    Draw(32).save(folder + QStringLiteral("/2.png"));
    Draw(128).save(folder + QStringLiteral("/2-128.png"));
    if (argc > 2) {
        const QString theme = QString::fromLocal8Bit(argv[2]);
        for (const int size : {16, 32, 48, 64, 128, 256}) {
            const QString apps = QStringLiteral("%1/%2x%2/apps").arg(theme).arg(size);
            QDir().mkpath(apps);
            Draw(size).save(apps + QStringLiteral("/org.tolvane.Tolvane.png"));
        }
    }
    return 0;
}
