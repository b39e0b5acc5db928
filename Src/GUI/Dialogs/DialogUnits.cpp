#include "GUI/Dialogs/DialogUnits.h"

#include <QFontMetrics>

namespace GUI {

namespace {

// units × base / divisor, rounded to the nearest integer with halves away from zero.
int Scale(int units, int base, int divisor)
{
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : -((-product + half) / divisor));
}

} // namespace

DialogUnits DialogUnits::Of(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits((letters / 26 + 1) / 2, metrics.height());
}

int DialogUnits::X(int units) const
{
    return Scale(units, averageCharWidth_, 4);
}

int DialogUnits::Y(int units) const
{
    return Scale(units, fontHeight_, 8);
}

} // namespace GUI
