#include "GUI/Dialogs/SetlistDialog.h"

#include "GUI/Dialogs/SongTexts.h"
#include "GUI/ScreenFit.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QStatusTipEvent>

namespace GUI {

namespace {

using namespace SongText;

enum Button { AddButton, RemoveButton, UpButton, DownButton, PlayButton, OpenButton, SaveAsButton, CloseButton };
constexpr int EntryRole = Qt::UserRole; // the row's index in Setlist::entries

} // namespace

SetlistDialog::SetlistDialog(QWidget* parent, std::function<void(const Core::Setlist&, int)> play)
    : QDialog(parent), play_(std::move(play))
{
    setObjectName(QStringLiteral("setlist"));
    file_ = new QLabel(this);
    songsLabel_ = new QLabel(this);
    list_ = new QListWidget(this);
    help_ = new QLabel(this);
    const char* names[] = {"add", "remove", "up", "down", "play", "open", "saveAs", "close"};
    for (int k = 0; k < 8; ++k) {
        buttons_[k] = new QPushButton(this);
        buttons_[k]->setObjectName(QLatin1String(names[k]));
        buttons_[k]->setAutoDefault(false);
    }
    list_->setObjectName(QStringLiteral("songs"));
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setMinimumSize(360, 220);
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    songsLabel_->setBuddy(list_);
    help_->setWordWrap(true);
    help_->setMinimumHeight(2 * help_->fontMetrics().lineSpacing());
    help_->setFrameShape(QFrame::StyledPanel);

    auto* grid = new QGridLayout(this);
    grid->addWidget(file_, 0, 0, 1, 2);
    grid->addWidget(songsLabel_, 1, 0, 1, 2);
    grid->addWidget(list_, 2, 0);
    auto* side = new QVBoxLayout;
    for (const int k : {AddButton, RemoveButton, UpButton, DownButton, PlayButton})
        side->addWidget(buttons_[k]);
    side->addStretch(1);
    grid->addLayout(side, 2, 1);
    auto* files = new QHBoxLayout;
    for (const int k : {OpenButton, SaveAsButton})
        files->addWidget(buttons_[k]);
    files->addStretch(1);
    files->addWidget(buttons_[CloseButton]);
    grid->addLayout(files, 3, 0, 1, 2);
    grid->addWidget(help_, 4, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 1);

    // A drop reorders the rows (as a move, or as an insertion and a removal); the setlist
    // follows them once the drop is over.
    connect(list_->model(), &QAbstractItemModel::rowsMoved, this, [this] { TakeOrder(); });
    connect(list_->model(), &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!filling_)
            QMetaObject::invokeMethod(this, [this] { TakeOrder(); }, Qt::QueuedConnection);
    });
    connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { PlayRow(list_->row(item)); });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        buttons_[RemoveButton]->setEnabled(row >= 0);
        buttons_[UpButton]->setEnabled(row > 0);
        buttons_[DownButton]->setEnabled(row >= 0 && row + 1 < list_->count());
        buttons_[PlayButton]->setEnabled(row >= 0);
    });
    connect(buttons_[AddButton], &QPushButton::clicked, this, [this] {
        const QString folder = path_.empty() ? QString::fromStdString(Core::DefaultSongFolder())
                                             : QFileInfo(QString::fromStdString(path_)).absolutePath();
        AddSongs(QFileDialog::getOpenFileNames(this, Name(Add), folder, Get(SongFilter)));
    });
    const auto remove = [this] {
        const int row = list_->currentRow();
        if (row < 0)
            return;
        setlist_.entries.erase(setlist_.entries.begin() + list_->item(row)->data(EntryRole).toInt());
        Fill();
        list_->setCurrentRow(std::min(row, list_->count() - 1));
    };
    connect(buttons_[RemoveButton], &QPushButton::clicked, this, remove);
    connect(new QShortcut(QKeySequence::Delete, list_, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated, this,
            remove);
    connect(buttons_[UpButton], &QPushButton::clicked, this, [this] { MoveSelected(-1); });
    connect(buttons_[DownButton], &QPushButton::clicked, this, [this] { MoveSelected(1); });
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Up), this), &QShortcut::activated, this,
            [this] { MoveSelected(-1); });
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Down), this), &QShortcut::activated, this,
            [this] { MoveSelected(1); });
    connect(buttons_[PlayButton], &QPushButton::clicked, this, [this] { PlayRow(list_->currentRow()); });
    connect(buttons_[OpenButton], &QPushButton::clicked, this, [this] {
        const QString folder = path_.empty() ? QString::fromStdString(Core::DefaultSongFolder())
                                             : QFileInfo(QString::fromStdString(path_)).absolutePath();
        const QString chosen = QFileDialog::getOpenFileName(this, Name(Open), folder, Get(SetlistFilter));
        if (!chosen.isEmpty())
            Load(chosen.toStdString());
    });
    connect(buttons_[SaveAsButton], &QPushButton::clicked, this, [this] {
        const QString start = path_.empty()
                                  ? QString::fromStdString(Core::DefaultSongFolder()) + QStringLiteral("/setlist.setlist")
                                  : QString::fromStdString(path_);
        QDir().mkpath(QFileInfo(start).absolutePath());
        const QString chosen = QFileDialog::getSaveFileName(this, Name(SaveAs), start, Get(SetlistFilter));
        if (!chosen.isEmpty())
            SaveTo(chosen.toStdString());
    });
    connect(buttons_[CloseButton], &QPushButton::clicked, this, &QDialog::reject);
}

void SetlistDialog::Load(const std::string& path)
{
    Core::Setlist setlist;
    std::string error;
    if (path.empty()) {
        setlist.folder = Core::DefaultSongFolder();
    } else if (!Core::LoadSetlist(path, setlist, error)) {
        help_->setText(QString::fromStdString(error));
        return;
    }
    setlist_ = std::move(setlist);
    path_ = path;
    Fill();
    ApplyTexts();
}

bool SetlistDialog::SaveTo(const std::string& path)
{
    // Each song written relative to the new file's folder when it lies inside it, else whole.
    Core::Setlist saved = setlist_;
    saved.folder = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
    const QDir folder(QString::fromStdString(saved.folder));
    for (Core::SetlistEntry& entry : saved.entries) {
        if (entry.path.empty())
            continue;
        const QString relative = folder.relativeFilePath(QString::fromStdString(entry.path));
        entry.text = (relative.startsWith(QStringLiteral("../")) ? QFileInfo(QString::fromStdString(entry.path)).absoluteFilePath()
                                                                  : relative)
                         .toStdString();
    }
    if (!Core::SaveSetlist(path, saved)) {
        help_->setText(Get(NotSaved).arg(QString::fromStdString(path)));
        return false;
    }
    setlist_ = std::move(saved);
    path_ = path;
    ApplyTexts();
    return true;
}

void SetlistDialog::Fill()
{
    const int current = list_->currentRow();
    filling_ = true;
    list_->blockSignals(true);
    list_->clear();
    for (std::size_t k = 0; k < setlist_.entries.size(); ++k) {
        const Core::SetlistEntry& entry = setlist_.entries[k];
        if (entry.path.empty())
            continue;
        const QString name = QString::fromStdString(entry.text).trimmed();
        auto* item = new QListWidgetItem(list_);
        item->setData(EntryRole, static_cast<int>(k));
        item->setFlags(item->flags() | Qt::ItemIsDragEnabled);
        QFont font = item->font();
        if (entry.missing) {
            item->setText(Get(NotFound).arg(name));
            item->setForeground(QColor(0x80, 0x80, 0x80));
            font.setItalic(true);
        } else if (!playing_.empty() && entry.path == playing_) {
            item->setText(QStringLiteral("\u25b6 ") + Get(Playing).arg(name));
            font.setBold(true);
        } else {
            item->setText(name);
        }
        item->setFont(font);
    }
    list_->setCurrentRow(std::clamp(current, list_->count() > 0 ? 0 : -1, list_->count() - 1));
    list_->blockSignals(false);
    filling_ = false;
    emit list_->currentRowChanged(list_->currentRow());
}

void SetlistDialog::TakeOrder()
{
    // The songs take the places songs had, in the rows' order; comments keep theirs.
    std::vector<Core::SetlistEntry> songs;
    if (list_->count() != static_cast<int>(setlist_.Songs().size()))
        return; // a drop not yet over
    for (int row = 0; row < list_->count(); ++row)
        songs.push_back(setlist_.entries[static_cast<std::size_t>(list_->item(row)->data(EntryRole).toInt())]);
    std::size_t next = 0;
    for (Core::SetlistEntry& entry : setlist_.entries) {
        if (!entry.path.empty())
            entry = songs[next++];
    }
    const int row = list_->currentRow();
    Fill();
    list_->setCurrentRow(row);
}

void SetlistDialog::MoveSelected(int direction)
{
    const int row = list_->currentRow();
    const int other = row + direction;
    if (row < 0 || other < 0 || other >= list_->count())
        return;
    std::swap(setlist_.entries[static_cast<std::size_t>(list_->item(row)->data(EntryRole).toInt())],
              setlist_.entries[static_cast<std::size_t>(list_->item(other)->data(EntryRole).toInt())]);
    Fill();
    list_->setCurrentRow(other);
}

void SetlistDialog::AddSongs(const QStringList& paths)
{
    for (const QString& path : paths)
        setlist_.Add(QFileInfo(path).absoluteFilePath().toStdString());
    Fill();
    list_->setCurrentRow(list_->count() - 1);
}

void SetlistDialog::PlayRow(int row)
{
    if (row < 0 || row >= list_->count())
        return;
    const Core::SetlistEntry& entry = setlist_.entries[static_cast<std::size_t>(list_->item(row)->data(EntryRole).toInt())];
    if (entry.missing) {
        help_->setText(Get(NotFound).arg(QString::fromStdString(entry.path)));
        return;
    }
    play_(setlist_, row);
}

void SetlistDialog::MarkPlaying(const std::string& songPath)
{
    playing_ = songPath;
    Fill();
}

void SetlistDialog::ApplyTexts()
{
    const QString name = path_.empty() ? Get(Untitled) : QFileInfo(QString::fromStdString(path_)).completeBaseName();
    setWindowTitle(Get(SetlistTitle).arg(name));
    file_->setText(path_.empty() ? name : ShownPath(path_));
    songsLabel_->setText(Get(Songs));
    list_->setAccessibleName(Name(Songs));
    list_->setStatusTip(Get(SongsHelp));
    list_->setAccessibleDescription(Get(SongsHelp));
    const std::pair<int, std::pair<int, int>> buttons[] = {
        {AddButton, {Add, AddHelp}},   {RemoveButton, {Remove, RemoveHelp}}, {UpButton, {MoveUp, MoveHelp}},
        {DownButton, {MoveDown, MoveHelp}}, {PlayButton, {Play, PlayHelp}},   {OpenButton, {Open, FileHelp}},
        {SaveAsButton, {SaveAs, FileHelp}}, {CloseButton, {Close, -1}},
    };
    for (const auto& [button, texts] : buttons) {
        buttons_[button]->setText(Get(texts.first) + (button == AddButton ? QStringLiteral("...") : QString()));
        buttons_[button]->setAccessibleName(Name(texts.first));
        if (texts.second >= 0) {
            buttons_[button]->setStatusTip(Get(texts.second));
            buttons_[button]->setAccessibleDescription(Get(texts.second));
        }
    }
    Fill();
    adjustSize();
    FitToScreen(*this);
}

bool SetlistDialog::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        help_->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

} // namespace GUI
