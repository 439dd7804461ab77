#pragma once

#include "ledger/Ledger.h"

#include <QAbstractTableModel>
#include <QHash>
#include <functional>

// The store's records as a table that fetches only the pages on view, so a
// million rows open at once, and a page deep down comes as fast as the first:
// by machine a scanner's records on their index, by timestamp on its index,
// by another column through the order of the ids, taken once. Columns: machine ID (or the port of a scanner
// without one), timestamp, data, when and where the download that brought it
// was taken.
class CollectedRecordsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int PageRows = 256;
    static constexpr int Columns = 5;

    explicit CollectedRecordsModel(Ledger &ledger, QObject *parent = nullptr);

    void setFilter(const RecordFilter &filter);
    const RecordFilter &filter() const { return m_filter; }
    qint64 total() const { return m_total; }
    QString error() const { return m_error; }
    // The rows shown, in the order shown (for export and print).
    QList<RecordRow> shownRows();
    // The same a piece at a time, until each returns false; false when the store failed.
    bool forEachShown(const std::function<bool(const QList<RecordRow> &)> &each);
    // One row shown (empty when the store failed).
    RecordRow record(int row) const;
    // A row's cell as the table shows it.
    static QString cellText(const RecordRow &row, int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void reload();
    const RecordRow *rowAt(qint64 row) const;
    // count rows from first, by the way the order is paged.
    QList<RecordRow> fetch(qint64 first, qint64 count) const;
    QList<RecordRow> fetchByScanner(qint64 first, qint64 count) const;

    Ledger &m_ledger;
    RecordFilter m_filter;
    Ledger::Order m_order = Ledger::Order::Machine;
    bool m_descending = false;
    qint64 m_total = 0;
    // Sorted by machine: each scanner's rows shown, in the order shown.
    QList<QPair<qint64, qint64>> m_scanners;
    // Sorted by data, time or station: every id shown, in the order shown.
    QList<qint64> m_ids;
    mutable QHash<qint64, QList<RecordRow>> m_pages;
    mutable QString m_error;
};
