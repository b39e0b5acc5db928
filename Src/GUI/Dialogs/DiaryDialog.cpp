#include "GUI/Dialogs/DiaryDialog.h"

#include "Configuration/IConfiguration.h"
#include "Diary/Csv.h"
#include "Diary/Keeper.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/DiaryCharts.h"
#include "GUI/Dialogs/DiarySessions.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "System/CurrentLanguage.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace GUI {

namespace {

constexpr HelpEntry DiaryHelp[] = {
    {DiaryDialog::RangeId, 71},     {DiaryDialog::MinutesChartId, 72}, {DiaryDialog::TempoChartId, 73},
    {DiaryDialog::TimingChartId, 74}, {DiaryDialog::NameFilterId, 75}, {DiaryDialog::FromId, 76},
    {DiaryDialog::ToId, 77},        {DiaryDialog::TableId, 78},        {DiaryDialog::DeleteId, 79},
    {DiaryDialog::DeleteAllId, 80}, {DiaryDialog::ExportId, 81},       {DiaryDialog::PathId, 82},
    {DiaryDialog::CloseId, 83},     {DiaryDialog::TabsId, 84},
};

QString Text(int index)
{
    return FromTableText(System::CurrentLanguage()->GetText(index));
}

QLocale LanguageLocale(Configuration::IConfiguration& configuration)
{
    const QString code = QString::fromUtf16(configuration.GetLanguage());
    return code.isEmpty() ? QLocale(QLocale::English, QLocale::UnitedKingdom) : QLocale(code);
}

void SetChart(QChartView* view, QChart* chart)
{
    QChart* old = view->chart();
    view->setChart(chart);
    delete old; // the view gives the previous chart back to the caller
    view->setAccessibleName(chart->title().section(QLatin1Char('\n'), 0, 0));
}

} // namespace

DiaryDialog::DiaryDialog(const DialogContext& context)
    : DiaryDialog(&context.window, context.configuration, context.window.DiaryKeeper())
{
}

DiaryDialog::DiaryDialog(QWidget* owner, Configuration::IConfiguration& configuration, Diary::Keeper* keeper)
    : Dialog(owner, DialogId, QStringLiteral("Practice Diary"), HelpTable(DiaryHelp, HelpSource::Information)),
      configuration_(configuration), keeper_(keeper)
{
    setSizeGripEnabled(true);
    path_ = Tag(new QLabel(this), PathId);
    path_->setWordWrap(true);
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    rangeLabel_ = new QLabel(this);
    range_ = Tag(new QComboBox(this), RangeId);
    rangeLabel_->setBuddy(range_);

    tabs_ = Tag(new QTabWidget(this), TabsId);
    for (QChartView** view : {&minutes_, &tempo_, &timing_}) {
        *view = new QChartView(this);
        (*view)->setRenderHint(QPainter::Antialiasing);
        (*view)->setFocusPolicy(Qt::StrongFocus);
        (*view)->setMinimumSize(520, 300);
    }
    Tag(minutes_, MinutesChartId);
    Tag(tempo_, TempoChartId);
    Tag(timing_, TimingChartId);

    auto* sessions = new QWidget(this);
    nameLabel_ = new QLabel(sessions);
    name_ = Tag(new QLineEdit(sessions), NameFilterId);
    name_->setClearButtonEnabled(true);
    fromLabel_ = new QLabel(sessions);
    from_ = Tag(new QDateEdit(sessions), FromId);
    toLabel_ = new QLabel(sessions);
    to_ = Tag(new QDateEdit(sessions), ToId);
    for (QDateEdit* edit : {from_, to_})
        edit->setCalendarPopup(true);
    nameLabel_->setBuddy(name_);
    fromLabel_->setBuddy(from_);
    toLabel_->setBuddy(to_);
    table_ = Tag(new QTableView(sessions), TableId);
    model_ = new DiarySessionModel(this);
    filter_ = new DiarySessionFilter(this);
    filter_->setSourceModel(model_);
    filter_->setSortRole(Qt::UserRole);
    table_->setModel(filter_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(0, Qt::DescendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    // Columns fit the first rows shown: measuring all of ten years of sessions would cost more
    // than the rest of the window's opening.
    table_->horizontalHeader()->setResizeContentsPrecision(50);
    // A heading wider than its column's values goes on two lines (FitColumns).
    table_->horizontalHeader()->setDefaultAlignment(Qt::Alignment::fromInt(Qt::AlignCenter | Qt::TextWordWrap));
    table_->horizontalHeader()->setTextElideMode(Qt::ElideNone);
    table_->setTabKeyNavigation(false);
    delete_ = Tag(new QPushButton(sessions), DeleteId);
    deleteAll_ = Tag(new QPushButton(sessions), DeleteAllId);
    auto* filters = new QHBoxLayout;
    for (QWidget* widget : std::initializer_list<QWidget*>{nameLabel_, name_, fromLabel_, from_, toLabel_, to_})
        filters->addWidget(widget);
    filters->setStretch(1, 1);
    auto* sessionButtons = new QHBoxLayout;
    sessionButtons->addWidget(delete_);
    sessionButtons->addWidget(deleteAll_);
    sessionButtons->addStretch(1);
    auto* sessionsLayout = new QVBoxLayout(sessions);
    sessionsLayout->addLayout(filters);
    sessionsLayout->addWidget(table_, 1);
    sessionsLayout->addLayout(sessionButtons);
    tabs_->addTab(minutes_, QString());
    tabs_->addTab(tempo_, QString());
    tabs_->addTab(timing_, QString());
    tabs_->addTab(sessions, QString());

    help_ = new QLabel(this);
    help_->setWordWrap(true);
    help_->setMinimumHeight(help_->fontMetrics().lineSpacing() * 2);
    help_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetHelpLine(help_);
    export_ = Tag(new QPushButton(this), ExportId);
    close_ = Tag(new QPushButton(this), CloseId);
    close_->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(rangeLabel_);
    top->addWidget(range_);
    top->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(export_);
    bottom->addStretch(1);
    bottom->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(path_);
    layout->addLayout(top);
    layout->addWidget(tabs_, 1);
    layout->addWidget(help_);
    layout->addLayout(bottom);

    connect(range_, &QComboBox::currentIndexChanged, this, [this] { ShowCharts(); });
    const auto refilter = [this] {
        filter_->SetFilter(name_->text(), QDateTime(from_->date(), QTime(0, 0)).toSecsSinceEpoch(),
                           QDateTime(to_->date().addDays(1), QTime(0, 0)).toSecsSinceEpoch());
    };
    connect(name_, &QLineEdit::textChanged, this, refilter);
    connect(from_, &QDateEdit::dateChanged, this, refilter);
    connect(to_, &QDateEdit::dateChanged, this, refilter);
    connect(delete_, &QPushButton::clicked, this, &DiaryDialog::DeleteSelected);
    connect(deleteAll_, &QPushButton::clicked, this, &DiaryDialog::DeleteEverything);
    connect(export_, &QPushButton::clicked, this, &DiaryDialog::Export);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    auto* deleteKey = new QAction(table_);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    table_->addAction(deleteKey);
    connect(deleteKey, &QAction::triggered, this, &DiaryDialog::DeleteSelected);
}

DiaryDialog::~DiaryDialog() = default;

QString DiaryDialog::TroubleText(Diary::Store::Trouble trouble, const QString& path)
{
    using Trouble = Diary::Store::Trouble;
    const int index = static_cast<int>(std::clamp(trouble, Trouble::NoFolder, Trouble::Other)) - 1;
    return Text(DiaryTroubleText + index).arg(QDir::toNativeSeparators(path));
}

QString DiaryDialog::DetailsText(const QString& reason)
{
    return Text(DiaryDetailsText).arg(reason);
}

void DiaryDialog::TellUnusable(QWidget* owner, Diary::Store::Trouble trouble, const QString& path, const QString& reason)
{
    const auto language = System::CurrentLanguage();
    QMessageBox box(QMessageBox::Warning, FromTableText(language->GetMessageTitle(DiaryUnusableTitle)),
                    FromTableText(language->GetMessage(DiaryUnusableText)).arg(TroubleText(trouble, path))
                        + QStringLiteral("\n\n") + DetailsText(reason),
                    QMessageBox::Ok, owner);
    box.exec();
}

void DiaryDialog::ShowTexts()
{
    setWindowTitle(Text(DiaryText::Title));
    rangeLabel_->setText(Text(DiaryText::Range));
    const int chosen = std::max(0, range_->currentIndex());
    {
        const QSignalBlocker quiet(range_);
        range_->clear();
        range_->addItem(Text(DiaryText::LastWeeks), 28);
        range_->addItem(Text(DiaryText::LastWeeks + 1), 84);
        range_->setCurrentIndex(chosen);
    }
    for (int tab = 0; tab < tabs_->count(); ++tab)
        tabs_->setTabText(tab, Text(DiaryText::FirstTab + tab));
    nameLabel_->setText(Text(DiaryText::NameFilter));
    fromLabel_->setText(Text(DiaryText::From));
    toLabel_->setText(Text(DiaryText::To));
    delete_->setText(Text(DiaryText::Delete));
    deleteAll_->setText(Text(DiaryText::DeleteAll));
    export_->setText(Text(DiaryText::Export));
    close_->setText(Text(DiaryText::Close));
    const QLocale locale = LanguageLocale(configuration_);
    from_->setLocale(locale);
    to_->setLocale(locale);
    from_->setDisplayFormat(locale.dateFormat(QLocale::ShortFormat));
    to_->setDisplayFormat(locale.dateFormat(QLocale::ShortFormat));
}

void DiaryDialog::Prepare(int /*argument*/)
{
    ShowTexts();
    Reload();
    tabs_->setFocus();
}

void DiaryDialog::Reload()
{
    sessions_.clear();
    // Switched off, the diary is shown but not made.
    Diary::Store* store = keeper_ ? keeper_->Open(keeper_->SwitchedOn()) : nullptr;
    if (store != nullptr)
        sessions_ = store->Sessions();
    const QString path = keeper_ ? QString::fromStdString(keeper_->Path()) : QString();
    QString where = Text(DiaryText::File).arg(QDir::toNativeSeparators(path));
    if (keeper_ && !keeper_->SwitchedOn())
        where += QLatin1Char('\n') + Text(DiaryText::SwitchedOff);
    else if (keeper_ && !keeper_->Problem().empty())
        where += QLatin1Char('\n') + TroubleText(keeper_->Why(), path);
    path_->setText(where);
    for (QPushButton* button : {delete_, deleteAll_})
        button->setEnabled(store != nullptr && !sessions_.empty());
    export_->setEnabled(!sessions_.empty());

    QStringList headers;
    for (int column = 0; column < DiarySessionModel::ColumnCount; ++column)
        headers << Text(DiaryText::FirstColumn + column);
    model_->Show(&sessions_, headers, LanguageLocale(configuration_), Text(DiaryText::CurrentSettings));
    const QDate today = QDate::currentDate();
    const QDate first = sessions_.empty() ? today : QDateTime::fromSecsSinceEpoch(sessions_.front().start).date();
    const QDate last = sessions_.empty() ? today : QDateTime::fromSecsSinceEpoch(sessions_.back().start).date();
    from_->setDate(first);
    to_->setDate(std::max(today, last));
    FitColumns();
    ShowCharts();
}

void DiaryDialog::FitColumns()
{
    // Each column as wide as its first rows' values need, or its heading broken at the space
    // that leaves the narrowest two lines: the whole table fits the window's width in every
    // language, where the headings on one line would not.
    QHeaderView* header = table_->horizontalHeader();
    const QFontMetrics metrics = header->fontMetrics();
    bool broken = false;
    for (int column = 0; column < header->count(); ++column) {
        const QString heading = filter_->headerData(column, Qt::Horizontal).toString();
        const int whole = metrics.horizontalAdvance(heading);
        int narrowest = whole;
        for (qsizetype space = heading.indexOf(QLatin1Char(' ')); space >= 0;
             space = heading.indexOf(QLatin1Char(' '), space + 1))
            narrowest = std::min(narrowest, std::max(metrics.horizontalAdvance(heading.left(space)),
                                                     metrics.horizontalAdvance(heading.mid(space + 1))));
        const int values = static_cast<const QAbstractItemView*>(table_)->sizeHintForColumn(column);
        const int headed = header->sectionSizeHint(column) - whole + narrowest;
        header->resizeSection(column, std::max(values, headed));
        broken = broken || values < header->sectionSizeHint(column);
    }
    header->setMinimumHeight(broken ? header->sizeHint().height() + metrics.lineSpacing() : 0);
}

void DiaryDialog::ShowCharts()
{
    DiaryChartInput input;
    input.sessions = &sessions_;
    input.lastDay = QDate::currentDate();
    input.days = range_->currentData().toInt() > 0 ? range_->currentData().toInt() : 28;
    input.locale = LanguageLocale(configuration_);
    input.currentSettings = Text(DiaryText::CurrentSettings);
    input.title = Text(DiaryText::MinutesPerDay);
    SetChart(minutes_, MinutesPerDayChart(input));
    input.title = Text(DiaryText::TempoReached);
    SetChart(tempo_, TempoChart(input));
    input.title = Text(DiaryText::Timing);
    SetChart(timing_, TimingChart(input, Text(DiaryText::NoTimingFigures)));
}

void DiaryDialog::Fit()
{
    layout()->activate();
    QSize least = layout()->minimumSize().expandedTo(QSize(640, 480));
    if (const QScreen* screen = this->screen())
        least = least.boundedTo(screen->availableGeometry().size());
    setMinimumSize(least);
    if (width() < least.width() || height() < least.height())
        resize(least.expandedTo(size()));
}

void DiaryDialog::DeleteSelected()
{
    const QModelIndexList rows = table_->selectionModel() ? table_->selectionModel()->selectedRows() : QModelIndexList();
    Diary::Store* store = keeper_ ? keeper_->Open(false) : nullptr;
    if (rows.isEmpty() || store == nullptr)
        return;
    const int row = filter_->mapToSource(rows.front()).row();
    const QString when = model_->index(row, 0).data().toString();
    if (QMessageBox::question(this, Text(DiaryText::Title), Text(DiaryText::DeleteOne).arg(when),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    store->Delete(model_->At(row).id);
    Reload();
}

void DiaryDialog::DeleteEverything()
{
    Diary::Store* store = keeper_ ? keeper_->Open(false) : nullptr;
    if (store == nullptr || sessions_.empty())
        return;
    if (QMessageBox::question(this, Text(DiaryText::Title), Text(DiaryText::DeleteEvery).arg(sessions_.size()),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    store->DeleteAll();
    Reload();
}

void DiaryDialog::Export()
{
    const QString path = QFileDialog::getSaveFileName(this, Text(DiaryText::Export).remove(QLatin1Char('&')),
                                                      QDir::home().filePath(QStringLiteral("tolvane-diary.csv")),
                                                      Text(DiaryText::CsvFiles));
    if (!path.isEmpty())
        ExportTo(path);
}

bool DiaryDialog::ExportTo(const QString& path)
{
    std::vector<Diary::Session> shown;
    shown.reserve(static_cast<std::size_t>(filter_->rowCount()));
    for (int row = 0; row < filter_->rowCount(); ++row)
        shown.push_back(model_->At(filter_->mapToSource(filter_->index(row, 0)).row()));
    std::sort(shown.begin(), shown.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    std::string problem;
    if (Diary::WriteCsv(shown, path.toStdString(), problem))
        return true;
    QMessageBox::warning(this, Text(DiaryText::Title),
                         FromTableText(System::CurrentLanguage()->GetMessage(DiaryExportFailedText))
                                 .arg(QDir::toNativeSeparators(path))
                             + QStringLiteral("\n\n") + DetailsText(QString::fromStdString(problem)));
    return false;
}

} // namespace GUI
