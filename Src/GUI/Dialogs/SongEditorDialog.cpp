#include "GUI/Dialogs/SongEditorDialog.h"

#include "Core/Songs/SongFiles.h"
#include "GUI/Dialogs/SongTexts.h"
#include "GUI/ScreenFit.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStatusTipEvent>
#include <QTableWidget>

namespace GUI {

namespace {

using namespace SongText;

constexpr int Columns = 7;
constexpr int CountIns[] = {0, 1, 2, 4, 5}; // the choices' Song::countIn
enum Button { AddButton, RemoveButton, UpButton, DownButton, DuplicateButton, PlayButton, OpenButton, SaveButton, SaveAsButton, CloseButton };

QString Number(double value)
{
    return QString::number(value, 'g', 10);
}

// The cells of a part's row.
std::array<QString, Columns> CellsOf(const Core::SongPart& part)
{
    QString tempo;
    if (!part.tempi.empty()) {
        QStringList tempi;
        for (const double t : part.tempi)
            tempi << Number(t);
        tempo = tempi.join(QLatin1Char(','));
    } else {
        tempo = Number(part.tempo) + (part.tempo2 > 0 ? QLatin1Char('-') + Number(part.tempo2) : QString());
    }
    // Tolvane's additions as the file writes them, but endless: that is 0 bars here.
    Core::SongPart extrasOnly = part;
    extrasOnly.endless = false;
    extrasOnly.comment.clear();
    const std::string line = Core::FormatPart(extrasOnly);
    const std::size_t mark = line.find("#tolvane: ");
    return {QString::fromStdString(part.label), QString::number(part.endless ? 0 : part.bars),
            QStringLiteral("%1/%2").arg(part.beats).arg(part.denominator), tempo, QString::fromStdString(part.pattern),
            part.volume == 1.0 ? QString() : Number(part.volume),
            mark == std::string::npos ? QString() : QString::fromStdString(line.substr(mark + 10))};
}

} // namespace

SongEditorDialog::SongEditorDialog(QWidget* parent, std::function<void(const Core::Song&, int)> play)
    : QDialog(parent), play_(std::move(play))
{
    setObjectName(QStringLiteral("songEditor"));
    file_ = new QLabel(this);
    problems_ = new QLabel(this);
    partsLabel_ = new QLabel(this);
    table_ = new QTableWidget(0, Columns, this);
    countIn_ = new QComboBox(this);
    ending_ = new QComboBox(this);
    help_ = new QLabel(this);
    const char* names[] = {"add", "remove", "up", "down", "duplicate", "play", "open", "save", "saveAs", "close"};
    for (int k = 0; k < 10; ++k) {
        buttons_[k] = new QPushButton(this);
        buttons_[k]->setObjectName(QLatin1String(names[k]));
        buttons_[k]->setAutoDefault(false);
    }
    table_->setObjectName(QStringLiteral("parts"));
    countIn_->setObjectName(QStringLiteral("countIn"));
    ending_->setObjectName(QStringLiteral("ending"));
    problems_->setObjectName(QStringLiteral("problems"));
    problems_->setWordWrap(true);
    problems_->setStyleSheet(QStringLiteral("color: #b00000"));
    problems_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTabKeyNavigation(false); // Tab leaves the table; the arrows move in it
    table_->verticalHeader()->setVisible(true);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumSize(620, 220);
    help_->setWordWrap(true);
    help_->setMinimumHeight(2 * help_->fontMetrics().lineSpacing());
    help_->setFrameShape(QFrame::StyledPanel);
    partsLabel_->setBuddy(table_);

    auto* grid = new QGridLayout(this);
    grid->addWidget(file_, 0, 0, 1, 2);
    grid->addWidget(problems_, 1, 0, 1, 2);
    grid->addWidget(partsLabel_, 2, 0, 1, 2);
    grid->addWidget(table_, 3, 0);
    auto* side = new QVBoxLayout;
    for (const int k : {AddButton, RemoveButton, UpButton, DownButton, DuplicateButton, PlayButton})
        side->addWidget(buttons_[k]);
    side->addStretch(1);
    grid->addLayout(side, 3, 1);
    auto* song = new QHBoxLayout;
    for (QComboBox* box : {countIn_, ending_}) {
        auto* label = new QLabel(this);
        label->setBuddy(box);
        song->addWidget(label);
        song->addWidget(box);
    }
    song->addStretch(1);
    grid->addLayout(song, 4, 0, 1, 2);
    auto* files = new QHBoxLayout;
    for (const int k : {OpenButton, SaveButton, SaveAsButton})
        files->addWidget(buttons_[k]);
    files->addStretch(1);
    files->addWidget(buttons_[CloseButton]);
    grid->addLayout(files, 5, 0, 1, 2);
    grid->addWidget(help_, 6, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);

    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!filling_)
            RowEdited(item->row());
    });
    connect(table_, &QTableWidget::currentCellChanged, this, [this] {
        const int row = SelectedRow();
        const int parts = static_cast<int>(rows_.size());
        buttons_[RemoveButton]->setEnabled(row >= 0);
        buttons_[UpButton]->setEnabled(row > 0);
        buttons_[DownButton]->setEnabled(row >= 0 && row + 1 < parts);
        buttons_[DuplicateButton]->setEnabled(row >= 0 && song_.lines[LineOf(row)].isPart);
        buttons_[PlayButton]->setEnabled(row >= 0 && song_.lines[LineOf(row)].isPart);
    });
    connect(countIn_, &QComboBox::activated, this, [this](int index) { song_.countIn = CountIns[index]; });
    connect(ending_, &QComboBox::activated, this,
            [this](int index) { song_.ending = static_cast<Core::SongEnding>(index); });
    const std::pair<int, Edit> edits[] = {{AddButton, Edit::Add}, {RemoveButton, Edit::Remove}, {UpButton, Edit::Up},
                                          {DownButton, Edit::Down}, {DuplicateButton, Edit::Duplicate}};
    for (const auto& [button, edit] : edits)
        connect(buttons_[button], &QPushButton::clicked, this, [this, edit] { Change(edit); });
    // Alt+Up and Alt+Down move the part; Delete removes it while the table has the focus.
    const std::pair<QKeySequence, Edit> keys[] = {{QKeySequence(Qt::ALT | Qt::Key_Up), Edit::Up},
                                                  {QKeySequence(Qt::ALT | Qt::Key_Down), Edit::Down}};
    for (const auto& [key, edit] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, this, [this, edit] { Change(edit); });
    auto* remove = new QShortcut(QKeySequence::Delete, table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, [this] { Change(Edit::Remove); }); // not while a cell is typed in
    connect(buttons_[PlayButton], &QPushButton::clicked, this, [this] {
        const int row = SelectedRow();
        if (row < 0 || !song_.lines[LineOf(row)].isPart)
            return;
        int part = 0;
        for (int r = 0; r < row; ++r)
            part += song_.lines[LineOf(r)].isPart ? 1 : 0;
        play_(song_, part);
    });
    connect(buttons_[OpenButton], &QPushButton::clicked, this, [this] {
        const QString folder = path_.empty() ? QString::fromStdString(Core::DefaultSongFolder())
                                             : QFileInfo(QString::fromStdString(path_)).absolutePath();
        const QString chosen = QFileDialog::getOpenFileName(this, Name(Open), folder, Get(SongFilter));
        if (!chosen.isEmpty())
            Load(chosen.toStdString());
    });
    const auto saveAs = [this] {
        const QString start = path_.empty()
                                  ? QString::fromStdString(Core::DefaultSongFolder()) + QStringLiteral("/song.klick")
                                  : QString::fromStdString(path_);
        QDir().mkpath(QFileInfo(start).absolutePath());
        const QString chosen = QFileDialog::getSaveFileName(this, Name(SaveAs), start, Get(SongFilter));
        if (!chosen.isEmpty())
            SaveTo(chosen.toStdString());
    };
    connect(buttons_[SaveAsButton], &QPushButton::clicked, this, saveAs);
    connect(buttons_[SaveButton], &QPushButton::clicked, this, [this, saveAs] {
        if (path_.empty())
            saveAs();
        else
            SaveTo(path_);
    });
    connect(buttons_[CloseButton], &QPushButton::clicked, this, &QDialog::reject);
}

void SongEditorDialog::Load(const std::string& path)
{
    Core::Song song;
    std::string error;
    if (path.empty()) {
        Core::SongLine line;
        line.isPart = true;
        line.part.bars = 4;
        song.lines.push_back(line);
    } else if (!Core::LoadSong(path, song, error)) {
        help_->setText(QString::fromStdString(error));
        return;
    }
    song_ = std::move(song);
    path_ = path;
    Fill();
    ApplyTexts();
}

bool SongEditorDialog::SaveTo(const std::string& path)
{
    if (!Core::SaveSong(path, song_)) {
        help_->setText(Get(NotSaved).arg(QString::fromStdString(path)));
        return false;
    }
    path_ = path;
    song_.name = QFileInfo(QString::fromStdString(path)).completeBaseName().toStdString();
    ApplyTexts();
    return true;
}

std::size_t SongEditorDialog::LineOf(int row) const
{
    return rows_[static_cast<std::size_t>(row)];
}

int SongEditorDialog::SelectedRow() const
{
    const int row = table_->currentRow();
    return row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
}

void SongEditorDialog::Fill()
{
    // A row for each part and each line that could not be read; comments and empty lines stay
    // in the song between them, unseen.
    rows_.clear();
    for (std::size_t k = 0; k < song_.lines.size(); ++k) {
        if (song_.lines[k].isPart || !song_.lines[k].problem.Empty())
            rows_.push_back(k);
    }
    const int current = table_->currentRow();
    filling_ = true;
    table_->clearSpans();
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row)
        ShowRow(row);
    filling_ = false;
    if (!rows_.empty())
        table_->setCurrentCell(std::clamp(current, 0, static_cast<int>(rows_.size()) - 1), 0);
    ShowProblems();
}

void SongEditorDialog::ShowRow(int row)
{
    const Core::SongLine& line = song_.lines[LineOf(row)];
    const bool wasFilling = filling_;
    filling_ = true;
    if (table_->columnSpan(row, 0) > 1)
        table_->setSpan(row, 0, 1, 1);
    if (line.isPart) {
        const auto cells = CellsOf(line.part);
        for (int column = 0; column < Columns; ++column)
            table_->setItem(row, column, new QTableWidgetItem(cells[static_cast<std::size_t>(column)]));
    } else {
        // The line as it was typed, whole, across the row; typing it anew reads it again.
        for (int column = 0; column < Columns; ++column)
            table_->setItem(row, column, new QTableWidgetItem);
        auto* item = table_->item(row, 0);
        item->setText(QString::fromStdString(line.text));
        item->setForeground(QColor(0xb0, 0, 0));
        item->setToolTip(ProblemText(line.problem));
        table_->setSpan(row, 0, 1, Columns);
    }
    filling_ = wasFilling;
}

void SongEditorDialog::RowEdited(int row)
{
    Core::SongLine& line = song_.lines[LineOf(row)];
    std::string text;
    if (table_->columnSpan(row, 0) > 1) {
        text = table_->item(row, 0)->text().toStdString();
    } else {
        QStringList words;
        for (int column = 0; column < 6; ++column) {
            const QString cell = table_->item(row, column) ? table_->item(row, column)->text().trimmed() : QString();
            if (!cell.isEmpty())
                words << (column == 0 ? cell + QLatin1Char(':') : cell);
        }
        text = words.join(QLatin1Char(' ')).toStdString();
        if (line.isPart && !line.part.comment.empty())
            text += "  # " + line.part.comment;
        if (const QString more = table_->item(row, 6) ? table_->item(row, 6)->text().trimmed() : QString(); !more.isEmpty())
            text += "  #tolvane: " + more.toStdString();
    }
    Core::SongPart part;
    Core::PartProblem problem;
    if (Core::ParsePart(text, part, problem)) {
        line.isPart = true;
        line.part = part;
        line.text = text;
        line.problem = {};
    } else {
        // Kept as typed, with what is wrong, until it is put right.
        line.isPart = false;
        line.text = text;
        line.problem = problem;
    }
    ShowRow(row);
    ShowProblems();
    table_->setCurrentCell(row, table_->currentColumn());
}

void SongEditorDialog::ShowProblems()
{
    // Each unreadable line by the file's name and its line number in the file as saved now.
    QStringList lines;
    const QString file = path_.empty() ? Get(Untitled) : QFileInfo(QString::fromStdString(path_)).fileName();
    const int first = song_.countIn != 0 || song_.ending != Core::SongEnding::Stop || !song_.otherExtras.empty() ? 2 : 1;
    for (std::size_t k = 0; k < song_.lines.size(); ++k) {
        const Core::SongLine& line = song_.lines[k];
        if (!line.isPart && !line.problem.Empty()) {
            const int number = line.number > 0 ? line.number : first + static_cast<int>(k);
            lines << Get(Problem).arg(file).arg(number).arg(ProblemText(line.problem));
        }
    }
    problems_->setText(lines.join(QLatin1Char('\n')));
    problems_->setVisible(!lines.isEmpty());
    problems_->setAccessibleName(problems_->text());
}

void SongEditorDialog::Change(Edit edit)
{
    const int row = SelectedRow();
    if (row < 0 && edit != Edit::Add)
        return;
    std::vector<Core::SongLine>& lines = song_.lines;
    int selected = row;
    switch (edit) {
    case Edit::Add:
    case Edit::Duplicate: {
        Core::SongLine line;
        line.isPart = true;
        line.part.bars = 4;
        if (edit == Edit::Duplicate) {
            line = lines[LineOf(row)];
            line.number = 0;
        } else if (row >= 0 && lines[LineOf(row)].isPart) {
            // A new part goes on in the selected part's metre and at its last tempo.
            const Core::SongPart& before = lines[LineOf(row)].part;
            line.part.beats = before.beats;
            line.part.denominator = before.denominator;
            line.part.compound = before.compound;
            line.part.tempo = before.TempoAt(static_cast<std::int64_t>(before.bars) * before.beats);
        }
        const std::size_t at = row < 0 ? lines.size() : LineOf(row) + 1;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
        selected = row + 1;
        break;
    }
    case Edit::Remove:
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(LineOf(row)));
        selected = std::max(row - 1, 0);
        break;
    case Edit::Up:
    case Edit::Down: {
        const int other = edit == Edit::Up ? row - 1 : row + 1;
        if (other < 0 || other >= static_cast<int>(rows_.size()))
            return;
        std::swap(lines[LineOf(row)], lines[LineOf(other)]);
        selected = other;
        break;
    }
    }
    Fill();
    if (!rows_.empty())
        table_->setCurrentCell(std::clamp(selected, 0, static_cast<int>(rows_.size()) - 1), 0);
    table_->setFocus();
}

void SongEditorDialog::ApplyTexts()
{
    const QString name = path_.empty() ? Get(Untitled) : QString::fromStdString(song_.name);
    setWindowTitle(Get(EditorTitle).arg(name));
    file_->setText(path_.empty() ? name : ShownPath(path_));
    partsLabel_->setText(Get(Parts));
    QStringList headers;
    for (int column = 0; column < Columns; ++column)
        headers << Get(LabelColumn + column);
    table_->setHorizontalHeaderLabels(headers);
    {
        const QSignalBlocker quiet(countIn_);
        countIn_->clear();
        for (int k = 0; k < 5; ++k)
            countIn_->addItem(Get(NoCountIn + k));
        int shown = 0;
        for (int k = 0; k < 5; ++k) {
            if (CountIns[k] <= song_.countIn && (song_.countIn == 5) == (CountIns[k] == 5))
                shown = k;
        }
        countIn_->setCurrentIndex(shown);
    }
    {
        const QSignalBlocker quiet(ending_);
        ending_->clear();
        for (const int text : {Stop, Loop, NextSong})
            ending_->addItem(Get(text));
        ending_->setCurrentIndex(static_cast<int>(song_.ending));
    }
    const struct {
        QWidget* control;
        int label;
        int help;
    } controls[] = {
        {table_, Parts, PartsHelp}, {countIn_, CountIn, CountInHelp}, {ending_, Ending, EndingHelp},
        {buttons_[AddButton], Add, AddHelp}, {buttons_[RemoveButton], Remove, RemoveHelp},
        {buttons_[UpButton], MoveUp, MoveHelp}, {buttons_[DownButton], MoveDown, MoveHelp},
        {buttons_[DuplicateButton], Duplicate, AddHelp}, {buttons_[PlayButton], Play, PlayHelp},
        {buttons_[OpenButton], Open, FileHelp}, {buttons_[SaveButton], Save, FileHelp},
        {buttons_[SaveAsButton], SaveAs, FileHelp}, {buttons_[CloseButton], Close, -1},
    };
    for (const auto& c : controls) {
        if (c.help >= 0) {
            c.control->setStatusTip(Get(c.help));
            c.control->setAccessibleDescription(Get(c.help));
        }
        c.control->setAccessibleName(Name(c.label));
        if (auto* button = qobject_cast<QPushButton*>(c.control)) {
            button->setText(Get(c.label));
            continue;
        }
        for (QLabel* label : findChildren<QLabel*>()) {
            if (label->buddy() == c.control)
                label->setText(Get(c.label));
        }
    }
    ShowProblems();
    table_->resizeColumnsToContents();
    adjustSize();
    FitToScreen(*this);
}

bool SongEditorDialog::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        help_->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

} // namespace GUI
