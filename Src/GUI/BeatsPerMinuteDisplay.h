#pragma once
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

namespace GUI {

/// The tempo read-out of the main window: the tempo in large black digits followed by the unit
/// label ("bpm") on the same baseline, over a light blue gradient picture, 200 x 80 pixels
/// (its size hint; its parent's layout places it), control identifier 1201. GUI thread only.
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

    /// Shows tempo and repaints at once; assistive technology is told of a changed tempo.
    void ShowTempo(int tempo);
    int Tempo() const { return tempo_; }
    /// The read-out as text ("120 bpm"), its accessible value.
    QString ValueText() const;

    QSize sizeHint() const override { return {Width, Height}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

    /// Takes the unit label again from the current text tables and repaints (after a language
    /// switch).
    void ReloadLabel();
    const QString& Label() const { return label_; }

    /// The background picture: a black one-pixel frame around a vertical gradient from light
    /// blue (216, 230, 255) to a deeper blue (170, 210, 255) with slight, repeatable noise.
    static QImage MakeBackground();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage background_;
    QFont tempoFont_;
    QFont labelFont_;
    int tempo_;
    int tempoTop_ = 0; // top of the tempo's character cell
    int labelTop_ = 0; // top of the label's character cell, putting both on one baseline
    QString label_;
};

} // namespace GUI
