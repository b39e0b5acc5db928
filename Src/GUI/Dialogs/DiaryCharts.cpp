// The practice diary's three charts (Qt Charts), made afresh for each filling of the window.
#include "GUI/Dialogs/DiaryCharts.h"

#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <map>

namespace GUI {

namespace {

// More lines than this make the tempo chart unreadable: the names practised most are shown.
constexpr int MostNames = 8;

qint64 FirstShown(const DiaryChartInput& input)
{
    return QDateTime(input.lastDay.addDays(1 - input.days), QTime(0, 0)).toSecsSinceEpoch();
}

QDateTimeAxis* TimeAxis(const DiaryChartInput& input)
{
    auto* axis = new QDateTimeAxis;
    axis->setFormat(input.locale.dateFormat(QLocale::ShortFormat));
    axis->setRange(QDateTime(input.lastDay.addDays(1 - input.days), QTime(0, 0)),
                   QDateTime(input.lastDay.addDays(1), QTime(0, 0)));
    axis->setTickCount(input.days > 28 ? 7 : 5);
    return axis;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y)
{
    chart->addSeries(series);
    if (!chart->axes().contains(x))
        chart->addAxis(x, Qt::AlignBottom);
    if (!chart->axes().contains(y))
        chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

} // namespace

std::vector<double> MinutesPerDay(const DiaryChartInput& input)
{
    std::vector<double> minutes(static_cast<std::size_t>(input.days), 0.0);
    const QDate first = input.lastDay.addDays(1 - input.days);
    const qint64 from = FirstShown(input);
    for (auto it = std::lower_bound(input.sessions->begin(), input.sessions->end(), from,
                                    [](const Diary::Session& s, qint64 t) { return s.start < t; });
         it != input.sessions->end(); ++it) {
        const qint64 day = first.daysTo(QDateTime::fromSecsSinceEpoch(it->start).date());
        if (day >= 0 && day < input.days)
            minutes[static_cast<std::size_t>(day)] += it->secondsPlaying / 60.0;
    }
    return minutes;
}

QChart* NewChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    return chart;
}

QChart* MinutesPerDayChart(const DiaryChartInput& input)
{
    QChart* chart = NewChart(input.title);
    chart->legend()->hide();
    auto* set = new QBarSet(input.title);
    const std::vector<double> minutes = MinutesPerDay(input);
    for (const double value : minutes)
        set->append(value);
    auto* series = new QBarSeries;
    series->setBarWidth(0.8);
    series->append(set);
    // The bars stand at 0 .. days - 1; a label marks the start of each week.
    auto* days = new QCategoryAxis;
    days->setRange(-0.5, input.days - 0.5);
    days->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const QDate first = input.lastDay.addDays(1 - input.days);
    for (int day = 0; day < input.days; day += 7)
        days->append(input.locale.toString(first.addDays(day), QStringLiteral("d MMM")), day - 0.5);
    days->setGridLineVisible(false);
    auto* values = new QValueAxis;
    values->setRange(0, std::max(10.0, *std::max_element(minutes.begin(), minutes.end()) * 1.1));
    values->setLabelFormat(QStringLiteral("%d"));
    values->applyNiceNumbers();
    Attach(chart, series, days, values);
    return chart;
}

QChart* TempoChart(const DiaryChartInput& input)
{
    QChart* chart = NewChart(input.title);
    const qint64 from = FirstShown(input);
    // The names played most often in the time shown, each with its own line.
    std::map<std::string, int> counts;
    for (const Diary::Session& s : *input.sessions) {
        if (s.start >= from)
            ++counts[s.name];
    }
    std::vector<std::pair<int, std::string>> ranked;
    for (const auto& [name, count] : counts)
        ranked.emplace_back(-count, name);
    std::sort(ranked.begin(), ranked.end());
    if (ranked.size() > MostNames)
        ranked.resize(MostNames);
    auto* time = TimeAxis(input);
    auto* tempo = new QValueAxis;
    tempo->setLabelFormat(QStringLiteral("%d"));
    int lowest = 1000, highest = 0;
    for (const auto& [count, name] : ranked) {
        auto* line = new QLineSeries;
        line->setName(name.empty() ? input.currentSettings : QString::fromStdString(name));
        line->setPointsVisible(true);
        QList<QPointF> points;
        for (const Diary::Session& s : *input.sessions) {
            if (s.start >= from && s.name == name) {
                points.append(QPointF(static_cast<double>(s.start) * 1000.0, s.tempoMax));
                lowest = std::min(lowest, s.tempoMax);
                highest = std::max(highest, s.tempoMax);
            }
        }
        line->replace(points);
        Attach(chart, line, time, tempo);
    }
    if (highest == 0)
        lowest = 40, highest = 200;
    tempo->setRange(std::max(0, lowest - 10), highest + 10);
    tempo->applyNiceNumbers();
    if (ranked.empty()) {
        chart->addAxis(time, Qt::AlignBottom);
        chart->addAxis(tempo, Qt::AlignLeft);
    }
    return chart;
}

QChart* TimingChart(const DiaryChartInput& input, const QString& noFigures)
{
    QChart* chart = NewChart(input.title);
    const qint64 from = FirstShown(input);
    auto* mean = new QLineSeries;
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    QList<QPointF> means, uppers, lowers;
    double extreme = 10.0;
    for (const Diary::Session& s : *input.sessions) {
        if (s.start < from || !s.meanMs)
            continue;
        const double x = static_cast<double>(s.start) * 1000.0;
        const double spread = s.sdMs.value_or(0.0);
        means.append(QPointF(x, *s.meanMs));
        uppers.append(QPointF(x, *s.meanMs + spread));
        lowers.append(QPointF(x, *s.meanMs - spread));
        extreme = std::max(extreme, std::abs(*s.meanMs) + spread);
    }
    auto* time = TimeAxis(input);
    auto* offset = new QValueAxis;
    offset->setRange(-extreme * 1.1, extreme * 1.1);
    offset->setLabelFormat(QStringLiteral("%d"));
    offset->applyNiceNumbers();
    if (means.isEmpty()) {
        chart->setTitle(input.title + QLatin1Char('\n') + noFigures);
        chart->legend()->hide();
        chart->addAxis(time, Qt::AlignBottom);
        chart->addAxis(offset, Qt::AlignLeft);
        delete mean;
        delete upper;
        delete lower;
        return chart;
    }
    upper->replace(uppers);
    lower->replace(lowers);
    mean->replace(means);
    mean->setPointsVisible(true);
    auto* band = new QAreaSeries(upper, lower);
    QColor fill = chart->palette().color(QPalette::Highlight);
    fill.setAlpha(60);
    band->setBrush(fill);
    band->setPen(Qt::NoPen);
    Attach(chart, band, time, offset);
    Attach(chart, mean, time, offset);
    chart->legend()->hide();
    return chart;
}

} // namespace GUI
