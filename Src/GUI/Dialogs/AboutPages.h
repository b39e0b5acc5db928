#pragma once
#include "GUI/Dialogs/DialogBase.h"

#include <QWidget>

#include <functional>

class QByteArray;
class QLabel;
class QPlainTextEdit;

namespace GUI {

/// The About window's information page: what Tolvane is, where its manual is, what it is built
/// on and under which licences, and a button that opens the manual. GUI thread.
class InformationPage final : public QWidget, public DialogBase {
public:
    static constexpr int GroupId = 1092;
    static constexpr int WhatId = 1093;
    static constexpr int BuiltOnId = 1094;
    static constexpr int ManualId = 1095;

    /// openManual: what the button does.
    explicit InformationPage(std::function<void()> openManual);
    /// Adds the soundfont in use to the built-on text (after ApplyTexts).
    void Prepare();
};

/// The About window's licence page: the licence text in a read-only view that only scrolls
/// (Page Up, Page Down and the scroll bar), keeps Home, End, Left, Right and Backspace for
/// moving the caret, passes Tab on, and closes the window on Escape; other keys and typing do
/// nothing. GUI thread.
class LicencePage final : public QWidget, public DialogBase {
public:
    static constexpr int ViewId = 1324;

    /// text: the licence in UTF-8; empty leaves the view empty.
    explicit LicencePage(const QByteArray& text);
    QPlainTextEdit* View() const { return view_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* view_;
};

} // namespace GUI
