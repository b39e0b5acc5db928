#pragma once
#include "Core/Timing/TimingScore.h"
#include "GUI/Dialogs/Dialog.h"

class QChartView;
class QLabel;
class QPushButton;

namespace GUI {

/// The summary of a run scored live, shown when it stops: its figures (hits, strays, missed,
/// mean, spread, drift, muted bars apart from clicked ones), a plot of every hit's error over
/// the take and a bar chart of the bias per position of the bar (Qt Charts); the hits save as
/// CSV, the charts as a PNG picture. Not modal: the main window stays usable beside it.
class TimingSummaryDialog : public Dialog {
    Q_OBJECT
public:
    static constexpr int DialogId = 147;
    static constexpr int FiguresId = 1251, ErrorsChartId = 1252, BiasChartId = 1253, SaveCsvId = 1254, SavePngId = 1255,
                         CloseId = 1256;

    explicit TimingSummaryDialog(QWidget* owner);
    /// Shows the take's summary (the grid and score stay with the window).
    void ShowTake(const Core::Timing::TakeGrid& grid, const Core::Timing::TakeScore& score);
    /// The figures as shown, one per line.
    QString FiguresText() const;
    /// Writes the hits as CSV / the charts as PNG to path; false, with the message shown, when
    /// the file cannot be written (quiet: no message box, for tests).
    bool SaveCsv(const QString& path, bool quiet = false);
    bool SavePng(const QString& path, bool quiet = false);

protected:
    void Prepare(int argument) override;
    void Fit() override;

private:
    void Fill();
    void Ask(bool csv);

    Core::Timing::TakeGrid grid_;
    Core::Timing::TakeScore score_;
    QLabel* figures_ = nullptr;
    QChartView* errors_ = nullptr;
    QChartView* bias_ = nullptr;
    QWidget* charts_ = nullptr;
    QPushButton* saveCsv_ = nullptr;
    QPushButton* savePng_ = nullptr;
    QPushButton* close_ = nullptr;
    QLabel* helpLine_ = nullptr;
};

} // namespace GUI
