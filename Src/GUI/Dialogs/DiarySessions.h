#pragma once
#include "Diary/Session.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QSortFilterProxyModel>
#include <QStringList>

#include <vector>

namespace GUI {

/// The diary's sessions as a table: start, minutes played, name, tempo at start, lowest and
/// highest tempo, timing mean and spread. Display texts in the language's locale; the sort
/// role (Qt::UserRole) gives each column's value as a number or plain text.
class DiarySessionModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 8;

    explicit DiarySessionModel(QObject* parent) : QAbstractTableModel(parent) {}

    /// sessions: kept by the caller while the model shows them.
    void Show(const std::vector<Diary::Session>* sessions, const QStringList& headers, const QLocale& locale,
              const QString& currentSettings);
    const Diary::Session& At(int row) const { return (*sessions_)[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const std::vector<Diary::Session>* sessions_ = nullptr;
    QStringList headers_;
    QLocale locale_;
    QString currentSettings_;
};

/// The rows whose name holds a text (without regard to case) and whose local start day lies
/// between two days.
class DiarySessionFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit DiarySessionFilter(QObject* parent) : QSortFilterProxyModel(parent) {}
    void SetFilter(const QString& name, qint64 fromSeconds, qint64 toSeconds);

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    QString name_;
    qint64 from_ = 0;
    qint64 to_ = 0;
};

} // namespace GUI
