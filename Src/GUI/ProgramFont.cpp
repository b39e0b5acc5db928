#include "GUI/ProgramFont.h"

#include <QApplication>

namespace GUI {

QFont ProgramFont(int points, int weight)
{
    QFont font(QApplication::font("QMenu").family());
    // Rounded as the font mapper rounds point sizes to em heights at 96 dots per inch.
    font.setPixelSize((points * 96 + 36) / 72);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

QString FromTableText(const char16_t* text)
{
    return text ? QString::fromUtf16(text) : QString();
}

} // namespace GUI
