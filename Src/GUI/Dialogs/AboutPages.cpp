#include "GUI/Dialogs/AboutPages.h"

#include "GUI/ScreenFit.h"
#include "Platform/Audio/SoundFonts.h"

#include <QByteArray>
#include <QFileInfo>
#include <QGridLayout>
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
    // One group: two paragraphs and the button, at least at the English size.
    const DialogUnits u = Units();
    auto* group = Tag(new QGroupBox(QStringLiteral("Tolvane"), this), GroupId);
    auto* what = Tag(new QLabel(QStringLiteral("Tolvane is a metronome for practising musicians: accents, "
                                               "subdivisions, custom patterns, a step sequencer and a speed "
                                               "trainer. Its manual, Tolvane.pdf, tells how to use every part of "
                                               "it; Help (Ctrl+F1) or the button below opens it."),
                                this),
                     WhatId);
    auto* builtOn = Tag(new QLabel(QStringLiteral("Tolvane is free software under the MIT licence, built on Qt 6 "
                                                  "(LGPL 3), FluidSynth (LGPL 2.1), RtAudio (MIT) and "
                                                  "libsamplerate (BSD), and plays the General MIDI soundfont"),
                                   this),
                        BuiltOnId);
    auto* manual = Tag(new QPushButton(QStringLiteral("Open the &Manual"), this), ManualId);
    QObject::connect(manual, &QPushButton::clicked, this, std::move(openManual));
    QGridLayout* paragraphs = GridAtLeast(*group, u.Rect(0, 0, 330, 102).size());
    for (QLabel* label : {what, builtOn}) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setMinimumHeight(u.Y(34));
        paragraphs->addWidget(label, paragraphs->rowCount(), 0);
    }
    manual->setMinimumSize(u.X(90), u.Y(14));
    paragraphs->addWidget(manual, paragraphs->rowCount(), 0, Qt::AlignLeft);
    QGridLayout* page = GridAtLeast(*this, u.Rect(0, 0, 342, 110).size());
    page->setContentsMargins(u.X(6), u.Y(4), u.X(6), u.Y(4));
    page->addWidget(group, 0, 0);
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
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(Units().X(4), Units().Y(4), Units().X(4), Units().Y(4));
    layout->addWidget(view_, 0, 0);
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
