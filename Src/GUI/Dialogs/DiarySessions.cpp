#include "GUI/Dialogs/DiarySessions.h"

#include <QDateTime>

namespace GUI {

void DiarySessionModel::Show(const std::vector<Diary::Session>* sessions, const QStringList& headers,
                             const QLocale& locale, const QString& currentSettings)
{
    beginResetModel();
    sessions_ = sessions;
    headers_ = headers;
    locale_ = locale;
    currentSettings_ = currentSettings;
    endResetModel();
}

int DiarySessionModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !sessions_ ? 0 : static_cast<int>(sessions_->size());
}

int DiarySessionModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DiarySessionModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::UserRole && role != Qt::TextAlignmentRole))
        return {};
    const Diary::Session& s = At(index.row());
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return column == 2 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    const bool display = role == Qt::DisplayRole;
    const auto optional = [&](const std::optional<double>& value) -> QVariant {
        if (!value)
            return display ? QVariant(QString()) : QVariant(-1e9);
        return display ? QVariant(locale_.toString(*value, 'f', 1)) : QVariant(*value);
    };
    switch (column) {
    case 0:
        return display ? QVariant(locale_.toString(QDateTime::fromSecsSinceEpoch(s.start), QLocale::ShortFormat))
                       : QVariant(static_cast<qlonglong>(s.start));
    case 1:
        return display ? QVariant(locale_.toString(s.secondsPlaying / 60.0, 'f', 1)) : QVariant(s.secondsPlaying);
    case 2:
        if (s.name.empty())
            return currentSettings_;
        return QString::fromStdString(s.name);
    case 3:
        return s.tempoStart;
    case 4:
        return s.tempoMin;
    case 5:
        return s.tempoMax;
    case 6:
        return optional(s.meanMs);
    case 7:
        return optional(s.sdMs);
    default:
        return {};
    }
}

QVariant DiarySessionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headers_.size())
        return headers_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

void DiarySessionFilter::SetFilter(const QString& name, qint64 fromSeconds, qint64 toSeconds)
{
    name_ = name;
    from_ = fromSeconds;
    to_ = toSeconds;
    invalidateRowsFilter();
}

bool DiarySessionFilter::filterAcceptsRow(int row, const QModelIndex& /*parent*/) const
{
    const auto* model = static_cast<const DiarySessionModel*>(sourceModel());
    const Diary::Session& s = model->At(row);
    if (s.start < from_ || s.start >= to_)
        return false;
    return name_.isEmpty() || model->index(row, 2).data().toString().contains(name_, Qt::CaseInsensitive);
}

} // namespace GUI
