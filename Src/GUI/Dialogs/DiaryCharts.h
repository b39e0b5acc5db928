#pragma once
#include "Diary/Session.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <vector>

class QChart;

namespace GUI {

/// What the practice diary's charts are drawn from: the sessions (oldest first), the last day
/// shown and how many days back, the texts and the locale of the language shown.
struct DiaryChartInput {
    const std::vector<Diary::Session>* sessions = nullptr;
    QDate lastDay;
    int days = 28;
    QLocale locale;
    QString currentSettings; ///< the name shown for sessions of the current settings
    QString title;           ///< the chart's title
};

/// A chart in the look every chart of the program shares: no animation, the legend below, no
/// margins around the plot.
QChart* NewChart(const QString& title);

/// Minutes played on each day (bars), by the local day each session started on.
QChart* MinutesPerDayChart(const DiaryChartInput& input);
/// The highest tempo each session reached, one line per name (the most practised names).
QChart* TempoChart(const DiaryChartInput& input);
/// Timing feedback's mean offset of each session (line) inside its spread (mean ± standard
/// deviation, a band); title alone when no session has timing figures.
QChart* TimingChart(const DiaryChartInput& input, const QString& noFigures);

/// Minutes played per day for the days (lastDay - days + 1 .. lastDay), exposed for the
/// window's description of the chart.
std::vector<double> MinutesPerDay(const DiaryChartInput& input);

} // namespace GUI
