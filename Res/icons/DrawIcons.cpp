// Draws the toolbar pictures 130 to 133 (Options, Sound Settings, Audio Files, Presets) and
// the error sign of the input balloon, at 1x and 2x, into the folder given as the argument.
// Not part of the build; the PNG files beside it are what the program ships. To redraw them:
//   g++ -std=c++20 -fPIC DrawIcons.cpp -o DrawIcons $(pkg-config --cflags --libs Qt6Gui)
//   QT_QPA_PLATFORM=offscreen ./DrawIcons Res/icons
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

static QImage Canvas(int size)
{
    QImage i(size, size, QImage::Format_ARGB32_Premultiplied);
    i.fill(Qt::transparent);
    return i;
}

// All drawing in a 24-unit coordinate space.
static void Gear(QPainter& p)
{
    QPainterPath gear;
    const double cx = 12, cy = 12, outer = 10.5, inner = 8.0;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        double a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
        double r = (i % 2 == 0) ? outer : inner;
        double b0 = a0 + (i % 2 == 0 ? 0.08 : -0.08), b1 = a1 - (i % 2 == 0 ? 0.08 : -0.08);
        QPointF p0(cx + r * std::cos(b0), cy + r * std::sin(b0)), p1(cx + r * std::cos(b1), cy + r * std::sin(b1));
        if (i == 0)
            gear.moveTo(p0);
        else
            gear.lineTo(p0);
        gear.lineTo(p1);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(cx, cy), 3.4, 3.4);
    gear = gear.subtracted(hole);
    QLinearGradient g(0, 2, 0, 22);
    g.setColorAt(0, QColor(150, 160, 175));
    g.setColorAt(1, QColor(80, 90, 110));
    p.setPen(QPen(QColor(45, 50, 62), 0.9));
    p.setBrush(g);
    p.drawPath(gear);
    p.setPen(QPen(QColor(255, 255, 255, 120), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(cx, cy), 5.6, 5.6);
}

static void Speaker(QPainter& p)
{
    QPainterPath body;
    body.moveTo(2.5, 9);
    body.lineTo(7, 9);
    body.lineTo(12.5, 3.5);
    body.lineTo(12.5, 20.5);
    body.lineTo(7, 15);
    body.lineTo(2.5, 15);
    body.closeSubpath();
    QLinearGradient g(0, 3, 0, 21);
    g.setColorAt(0, QColor(90, 110, 150));
    g.setColorAt(1, QColor(40, 55, 90));
    p.setPen(QPen(QColor(25, 32, 55), 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    QColor wave(40, 120, 210);
    for (int i = 0; i < 3; ++i) {
        double r = 3.5 + i * 3.2;
        p.setPen(QPen(wave, 1.7, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(12.5 - r, 12 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
}

static void Document(QPainter& p)
{
    QPainterPath page;
    page.moveTo(4.5, 1.5);
    page.lineTo(14.5, 1.5);
    page.lineTo(19.5, 6.5);
    page.lineTo(19.5, 22.5);
    page.lineTo(4.5, 22.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 95, 105), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    QLinearGradient g(0, 1, 0, 23);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(1, QColor(222, 228, 238));
    p.setBrush(g);
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(14.5, 1.5);
    fold.lineTo(14.5, 6.5);
    fold.lineTo(19.5, 6.5);
    fold.closeSubpath();
    p.setBrush(QColor(200, 205, 215));
    p.drawPath(fold);
    // waveform
    QPainterPath wave;
    const double base = 14.5;
    const double heights[] = { 1, 3, 6, 2.5, 7, 4, 1.5, 5, 2, 1 };
    p.setPen(QPen(QColor(30, 140, 90), 1.3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 10; ++i) {
        double x = 6.5 + i * 1.2;
        p.drawLine(QPointF(x, base - heights[i] / 1.4), QPointF(x, base + heights[i] / 1.4));
    }
}

static void Presets(QPainter& p)
{
    // two cards behind, one in front with a star
    p.setPen(QPen(QColor(110, 90, 40), 0.9));
    p.setBrush(QColor(235, 215, 160));
    p.drawRoundedRect(QRectF(6.5, 1.5, 15, 17), 2, 2);
    p.setBrush(QColor(245, 228, 180));
    p.drawRoundedRect(QRectF(4.5, 3.5, 15, 17), 2, 2);
    QLinearGradient g(0, 5, 0, 23);
    g.setColorAt(0, QColor(255, 250, 235));
    g.setColorAt(1, QColor(250, 235, 200));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2.5, 5.5, 15, 17), 2, 2);
    QPainterPath star;
    const double cx = 10, cy = 14.2, ro = 5.6, ri = 2.3;
    for (int i = 0; i < 10; ++i) {
        double a = -M_PI / 2 + i * M_PI / 5;
        double r = i % 2 ? ri : ro;
        QPointF pt(cx + r * std::cos(a), cy + r * std::sin(a));
        if (i == 0)
            star.moveTo(pt);
        else
            star.lineTo(pt);
    }
    star.closeSubpath();
    QRadialGradient sg(cx, cy - 1, 6);
    sg.setColorAt(0, QColor(255, 220, 60));
    sg.setColorAt(1, QColor(235, 150, 10));
    p.setPen(QPen(QColor(170, 100, 0), 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(sg);
    p.drawPath(star);
}

static void Error(QPainter& p)
{ // 16-unit space
    QRadialGradient g(7, 6, 9);
    g.setColorAt(0, QColor(240, 80, 70));
    g.setColorAt(1, QColor(180, 20, 20));
    p.setPen(QPen(QColor(120, 10, 10), 0.8));
    p.setBrush(g);
    p.drawEllipse(QRectF(0.8, 0.8, 14.4, 14.4));
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
    p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
}

static void Save(void (*draw)(QPainter&), double units, int size, const QString& path)
{
    QImage img = Canvas(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / units, size / units);
    draw(p);
    p.end();
    img.convertToFormat(QImage::Format_ARGB32).save(path);
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString out = argv[1];
    struct {
        void (*f)(QPainter&);
        const char* name;
    } icons[] = { { Gear, "130" }, { Speaker, "131" }, { Document, "132" }, { Presets, "133" } };
    for (auto& i : icons) {
        Save(i.f, 24, 24, out + "/" + i.name + ".png");
        Save(i.f, 24, 48, out + "/" + i.name + "@2x.png");
    }
    Save(Error, 16, 16, out + "/error.png");
    Save(Error, 16, 32, out + "/error@2x.png");
}
