// The take summary of a run scored live: figures, two charts, CSV and PNG.
#include "GUI/Dialogs/TimingSummary.h"

#include "Core/Timing/ScoreReport.h"
#include "GUI/Dialogs/DiaryCharts.h"
#include "GUI/Dialogs/HelpTable.h"
#include "GUI/LiveTiming.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "System/CurrentLanguage.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace GUI {

namespace {

constexpr HelpEntry SummaryHelp[] = {
    {TimingSummaryDialog::FiguresId, FromTextTable(TimingText::FiguresHelp)},
    {TimingSummaryDialog::ErrorsChartId, FromTextTable(TimingText::ErrorsHelp)},
    {TimingSummaryDialog::BiasChartId, FromTextTable(TimingText::BiasHelp)},
    {TimingSummaryDialog::SaveCsvId, FromTextTable(TimingText::SaveCsvHelp)},
    {TimingSummaryDialog::SavePngId, FromTextTable(TimingText::SavePngHelp)},
    {TimingSummaryDialog::CloseId, FromTextTable(TimingText::CloseHelp)},
};

// An axis from low to high (high > low) with ticks on round numbers (1, 2 or 5 times a power
// of ten, about four steps over the span) and on 0, the range widened to whole steps.
void RoundTicks(QValueAxis* axis, double low, double high)
{
    const double rough = (high - low) / 4.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double step = rough <= power ? power : rough <= 2 * power ? 2 * power : rough <= 5 * power ? 5 * power : 10 * power;
    axis->setRange(std::floor(low / step) * step, std::ceil(high / step) * step);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%.0f"));
}

QString Text(int index)
{
    return FromTableText(System::CurrentLanguage()->GetText(index));
}

QString Ms(double value)
{
    return QString::asprintf("%+.1f", value);
}

void SetChart(QChartView* view, QChart* chart)
{
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
    view->setAccessibleName(chart->title());
}

} // namespace

TimingSummaryDialog::TimingSummaryDialog(QWidget* owner)
    : Dialog(owner, DialogId, QStringLiteral("Timing of the take"), HelpTable(SummaryHelp, HelpSource::Information))
{
    setModal(false);
    setSizeGripEnabled(true);
    figures_ = Tag(new QLabel(this), FiguresId);
    figures_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    figures_->setFocusPolicy(Qt::StrongFocus);
    charts_ = new QWidget(this);
    errors_ = Tag(new QChartView(charts_), ErrorsChartId);
    bias_ = Tag(new QChartView(charts_), BiasChartId);
    for (QChartView* view : {errors_, bias_}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(300, 260);
    }
    auto* chartRow = new QHBoxLayout(charts_);
    chartRow->setContentsMargins(0, 0, 0, 0);
    chartRow->addWidget(errors_, 3);
    chartRow->addWidget(bias_, 2);
    saveCsv_ = Tag(new QPushButton(QStringLiteral("Save as &CSV..."), this), SaveCsvId);
    savePng_ = Tag(new QPushButton(QStringLiteral("Save as &PNG..."), this), SavePngId);
    close_ = Tag(new QPushButton(QStringLiteral("&Close"), this), CloseId);
    helpLine_ = new QLabel(this);
    helpLine_->setWordWrap(true);
    SetHelpLine(helpLine_);
    connect(saveCsv_, &QPushButton::clicked, this, [this] { Ask(true); });
    connect(savePng_, &QPushButton::clicked, this, [this] { Ask(false); });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    auto* column = new QVBoxLayout(this);
    column->addWidget(figures_);
    column->addWidget(charts_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(saveCsv_);
    buttons->addWidget(savePng_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    column->addLayout(buttons);
    column->addWidget(helpLine_);
}

void TimingSummaryDialog::ShowTake(const Core::Timing::TakeGrid& grid, const Core::Timing::TakeScore& score)
{
    grid_ = grid;
    score_ = score;
    Initialise(0);
    show();
    raise();
    activateWindow();
}

void TimingSummaryDialog::Prepare(int /*argument*/)
{
    setWindowTitle(Text(TimingText::SummaryTitle));
    saveCsv_->setText(Text(TimingText::SaveCsv));
    savePng_->setText(Text(TimingText::SavePng));
    close_->setText(Text(TimingText::Close));
    Fill();
}

void TimingSummaryDialog::Fit()
{
    setMinimumSize(minimumSizeHint().expandedTo(QSize(880, 520)).boundedTo(ScreenRoom(*this)));
    resize(size().expandedTo(minimumSize()));
}

QString TimingSummaryDialog::FiguresText() const
{
    const Core::Timing::TakeFigures& f = score_.figures;
    QStringList lines;
    lines << Text(TimingText::Counts).arg(f.hits).arg(f.strays).arg(f.missed).arg(f.countInHits);
    lines << Text(TimingText::MeanSpread).arg(Ms(f.all.meanMs), QString::asprintf("%.1f", f.all.sdMs), Ms(f.driftMsPerMin));
    if (f.muted) {
        lines << Text(TimingText::ClickedBars).arg(Ms(f.clicked.meanMs), QString::asprintf("%.1f", f.clicked.sdMs));
        lines << Text(TimingText::MutedBars).arg(Ms(f.muted->meanMs), QString::asprintf("%.1f", f.muted->sdMs));
    }
    return lines.join(u'\n');
}

void TimingSummaryDialog::Fill()
{
    figures_->setText(FiguresText());

    // Every hit's error over the take: clicked bars, muted bars, stray hits.
    QChart* errors = NewChart(Text(TimingText::ErrorsTitle));
    auto* clicked = new QScatterSeries;
    auto* muted = new QScatterSeries;
    auto* stray = new QScatterSeries;
    clicked->setName(Text(TimingText::ClickedSeries));
    muted->setName(Text(TimingText::MutedSeries));
    stray->setName(Text(TimingText::StraySeries));
    stray->setColor(QColor(140, 140, 140));
    double last = 1, worst = 10;
    for (const Core::Timing::MatchedHit& hit : score_.hits) {
        if (hit.position < 0)
            continue;
        const Core::Timing::GridPosition& at = grid_.positions[static_cast<std::size_t>(hit.position)];
        if (at.countIn)
            continue;
        const double seconds = hit.frame / grid_.rate;
        const double ms = std::clamp(hit.errorMs, -100.0, 100.0);
        (hit.scored ? (at.muted ? muted : clicked) : stray)->append(seconds, ms);
        last = std::max(last, seconds);
        worst = std::max(worst, std::abs(ms));
    }
    auto* time = new QValueAxis;
    RoundTicks(time, 0, last);
    time->setTitleText(Text(TimingText::TimeAxis));
    auto* errorAxis = new QValueAxis;
    RoundTicks(errorAxis, -worst * 1.1, worst * 1.1);
    errors->addAxis(time, Qt::AlignBottom);
    errors->addAxis(errorAxis, Qt::AlignLeft);
    for (QScatterSeries* series : {clicked, muted, stray}) {
        series->setMarkerSize(7);
        if (series == muted && muted->count() == 0) {
            delete series;
            continue;
        }
        errors->addSeries(series);
        series->attachAxis(time);
        series->attachAxis(errorAxis);
    }
    SetChart(errors_, errors);

    // The bias per position of the bar.
    QChart* bias = NewChart(Text(TimingText::BiasTitle));
    auto* set = new QBarSet(Text(TimingText::ClickedSeries));
    QStringList labels;
    double most = 5;
    for (std::size_t i = 0; i < score_.figures.perPosition.size(); ++i) {
        const Core::Timing::Spread& spread = score_.figures.perPosition[i];
        set->append(spread.count > 0 ? spread.meanMs : 0.0);
        most = std::max(most, std::abs(spread.meanMs));
        labels << QString::fromStdString(grid_.Label(static_cast<std::int32_t>(i)));
    }
    auto* bars = new QBarSeries;
    bars->append(set);
    bias->addSeries(bars);
    auto* positions = new QBarCategoryAxis;
    positions->append(labels);
    auto* biasAxis = new QValueAxis;
    RoundTicks(biasAxis, -most * 1.2, most * 1.2);
    bias->addAxis(positions, Qt::AlignBottom);
    bias->addAxis(biasAxis, Qt::AlignLeft);
    bars->attachAxis(positions);
    bars->attachAxis(biasAxis);
    bias->legend()->hide();
    SetChart(bias_, bias);
}

void TimingSummaryDialog::Ask(bool csv)
{
    const QString path = QFileDialog::getSaveFileName(this, csv ? saveCsv_->text().remove(u'&') : savePng_->text().remove(u'&'),
                                                      QString(), Text(csv ? TimingText::CsvFiles : TimingText::PngFiles));
    if (path.isEmpty())
        return;
    if (csv)
        SaveCsv(path);
    else
        SavePng(path);
}

bool TimingSummaryDialog::SaveCsv(const QString& path, bool quiet)
{
    QSaveFile file(path);
    const std::string csv = Core::Timing::HitsCsv(grid_, score_);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(csv.data(), static_cast<qint64>(csv.size())) == static_cast<qint64>(csv.size())
                         && file.commit();
    if (!written && !quiet)
        QMessageBox::warning(this, windowTitle(), Text(TimingText::NotWritten).arg(file.errorString()));
    return written;
}

bool TimingSummaryDialog::SavePng(const QString& path, bool quiet)
{
    const QPixmap picture = charts_->grab();
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit();
    if (!written && !quiet)
        QMessageBox::warning(this, windowTitle(), Text(TimingText::NotWritten).arg(file.errorString()));
    return written;
}

} // namespace GUI
