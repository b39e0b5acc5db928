#pragma once
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

namespace GUI {

/// The tempo read-out of the main window: the tempo in large black digits followed by the unit
/// label ("bpm") on the same baseline, over a light blue gradient picture, 200 x 80 pixels or
/// larger (SetShownSize; its size hint, which its parent's layout follows): the texts' fonts
/// grow with its height. Control identifier 1201. GUI thread only.
class BeatsPerMinuteDisplay : public QWidget {
    Q_OBJECT
public:
    static constexpr int ControlId = 1201;
    static constexpr int Width = 200;
    static constexpr int Height = 80;

    /// Creates the read-out showing tempo (beats per minute) with the unit label of the current
    /// text tables.
    explicit BeatsPerMinuteDisplay(int tempo, QWidget* parent = nullptr);
    ~BeatsPerMinuteDisplay() override;

    /// Shows tempo and repaints at once; when announce is set, assistive technology is told of
    /// a changed tempo (the user's changes, not a speed trainer's steps while it plays).
    void ShowTempo(int tempo, bool announce = true);
    int Tempo() const { return tempo_; }
    /// The read-out as text ("120 bpm"), its accessible value.
    QString ValueText() const;

    /// The size the read-out asks its layout for: at least 200 x 80 pixels.
    void SetShownSize(QSize size);

    QSize sizeHint() const override { return shownSize_; }
    QSize minimumSizeHint() const override { return {Width, Height}; }

    /// Takes the unit label again from the current text tables and repaints (after a language
    /// switch).
    void ReloadLabel();
    const QString& Label() const { return label_; }

    /// The background picture of a read-out width x height pixels: a black one-pixel frame
    /// around a vertical gradient from light blue (216, 230, 255) to a deeper blue (170, 210,
    /// 255) with slight, repeatable noise.
    static QImage MakeBackground(int width = Width, int height = Height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    /// The fonts and the texts' places for the read-out's current height.
    void FitTexts();

    QSize shownSize_{Width, Height};
    QImage background_;
    QFont tempoFont_;
    QFont labelFont_;
    int tempo_;
    int tempoTop_ = 0; // top of the tempo's character cell
    int labelTop_ = 0; // top of the label's character cell, putting both on one baseline
    QString label_;
};

} // namespace GUI
