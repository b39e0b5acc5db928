#include "GUI/Dialogs/AboutPages.h"

#include "Platform/Audio/SoundFonts.h"

#include <QByteArray>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace GUI {

namespace {

// The soundfont the built-in synthesizer would load, with its licence where it is one of the
// General MIDI soundfonts Debian ships; empty when none is installed.
QString SoundFontInUse()
{
    const auto candidates = Platform::Audio::SoundFontCandidates(Platform::Audio::SoundFontSearch{});
    if (candidates.empty())
        return {};
    const QFileInfo file(QString::fromStdString(candidates.front()));
    const QString name = file.canonicalFilePath().isEmpty() ? file.fileName() : QFileInfo(file.canonicalFilePath()).fileName();
    const struct {
        const char* prefix;
        const char* licence;
    } known[] = {{"FluidR3_GM", "MIT"}, {"MuseScore_General", "MIT"}, {"TimGM6mb", "GPL 2"}};
    for (const auto& font : known) {
        if (name.startsWith(QLatin1String(font.prefix)))
            return QStringLiteral("%1 (%2)").arg(name, QLatin1String(font.licence));
    }
    return name;
}

} // namespace

InformationPage::InformationPage(std::function<void()> openManual) : DialogBase(*this, 0, HelpTable())
{
    Place(new QGroupBox(QStringLiteral("Tolvane"), this), GroupId, 6, 4, 330, 102);
    auto* what = Place(new QLabel(QStringLiteral("Tolvane is a metronome for practising musicians: accents, "
                                                 "subdivisions, custom patterns, a step sequencer and a speed "
                                                 "trainer. Its manual, Tolvane.pdf, tells how to use every part of "
                                                 "it; Help (Ctrl+F1) or the button below opens it."),
                                  this),
                       WhatId, 14, 16, 314, 34);
    auto* builtOn = Place(new QLabel(QStringLiteral("Tolvane is free software under the MIT licence, built on Qt 6 "
                                                    "(LGPL 3), FluidSynth (LGPL 2.1), RtAudio (MIT) and "
                                                    "libsamplerate (BSD), and plays the General MIDI soundfont"),
                                     this),
                          BuiltOnId, 14, 52, 314, 34);
    for (QLabel* label : {what, builtOn}) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    auto* manual = Place(new QPushButton(QStringLiteral("Open the &Manual"), this), ManualId, 14, 84, 90, 14);
    QObject::connect(manual, &QPushButton::clicked, this, std::move(openManual));
}

void InformationPage::Prepare()
{
    auto* builtOn = static_cast<QLabel*>(Control(BuiltOnId));
    const QString font = SoundFontInUse();
    builtOn->setText(builtOn->text() + (font.isEmpty() ? QStringLiteral(" (none found).") : QStringLiteral(": ") + font + QLatin1Char('.')));
}

LicencePage::LicencePage(const QByteArray& text) : DialogBase(*this, 0, HelpTable())
{
    view_ = new QPlainTextEdit(this);
    view_->setProperty("controlId", ViewId);
    view_->setReadOnly(true);
    view_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view_->setPlainText(QString::fromUtf8(text));
    view_->installEventFilter(this);
}

void LicencePage::resizeEvent(QResizeEvent* /*event*/)
{
    view_->setGeometry(rect().adjusted(Units().X(4), Units().Y(4), -Units().X(4), -Units().Y(4)));
}

bool LicencePage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != view_ || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
        return false; // the view's own caret movement
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        focusNextPrevChild(key == Qt::Key_Tab);
        return true;
    case Qt::Key_Escape:
        window()->close();
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        view_->verticalScrollBar()->triggerAction(key == Qt::Key_PageUp ? QAbstractSlider::SliderPageStepSub
                                                                        : QAbstractSlider::SliderPageStepAdd);
        return true;
    default:
        return true; // arrows up and down, typing and every other key do nothing
    }
}

} // namespace GUI
