#include "ledger/CollectedRecordsModel.h"

#include <algorithm>
#include <climits>

namespace {
// Enough pages for several screens; beyond that the cache starts over.
constexpr int MaxPages = 64;
}

CollectedRecordsModel::CollectedRecordsModel(Ledger &ledger, QObject *parent) : QAbstractTableModel(parent), m_ledger(ledger)
{
    reload();
}

void CollectedRecordsModel::setFilter(const RecordFilter &filter)
{
    beginResetModel();
    m_filter = filter;
    reload();
    endResetModel();
}

void CollectedRecordsModel::reload()
{
    m_pages.clear();
    m_error.clear();
    m_total = m_ledger.count(m_filter, &m_error);
}

QList<RecordRow> CollectedRecordsModel::shownRows()
{
    QList<RecordRow> rows;
    forEachShown([&rows](const QList<RecordRow> &piece) {
        rows += piece;
        return true;
    });
    return rows;
}

bool CollectedRecordsModel::forEachShown(const std::function<bool(const QList<RecordRow> &)> &each)
{
    constexpr int Piece = 65536;
    for (qint64 offset = 0; offset < m_total; offset += Piece) {
        const QList<RecordRow> piece = m_ledger.page(m_filter, m_order, m_descending, offset, Piece, &m_error);
        if (!m_error.isEmpty())
            return false;
        if (!each(piece))
            break;
    }
    return true;
}

const RecordRow *CollectedRecordsModel::rowAt(qint64 row) const
{
    const qint64 page = row / PageRows;
    auto it = m_pages.constFind(page);
    if (it == m_pages.constEnd()) {
        if (m_pages.size() >= MaxPages)
            m_pages.clear();
        const qint64 first = page * PageRows;
        const qint64 end = qMin(m_total, first + PageRows);
        QList<RecordRow> rows;
        if (first < m_total - end) {
            rows = m_ledger.page(m_filter, m_order, m_descending, first, PageRows, &m_error);
        } else {
            // Nearer the end: counted from there in the opposite order, so the store skips fewer rows.
            rows = m_ledger.page(m_filter, m_order, !m_descending, m_total - end, int(end - first), &m_error);
            std::reverse(rows.begin(), rows.end());
        }
        it = m_pages.insert(page, rows);
    }
    const qint64 i = row - page * PageRows;
    return i < it->size() ? &it->at(i) : nullptr;
}

RecordRow CollectedRecordsModel::record(int row) const
{
    const RecordRow *r = rowAt(row);
    return r ? *r : RecordRow();
}

int CollectedRecordsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(qMin<qint64>(m_total, INT_MAX));
}

int CollectedRecordsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QString CollectedRecordsModel::cellText(const RecordRow &r, int column)
{
    switch (column) {
    case 0: return r.machineId.isEmpty() ? QStringLiteral("(port %1)").arg(r.portDevice) : r.machineId;
    case 1: return r.stampText;
    case 2: return QString::fromLatin1(r.data);
    case 3: return r.collectedUtc.isValid() ? r.collectedUtc.toLocalTime().toString(u"yyyy-MM-dd hh:mm:ss") : QString();
    case 4: return r.station;
    }
    return {};
}

QVariant CollectedRecordsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const RecordRow *r = rowAt(index.row());
    return r ? cellText(*r, index.column()) : QVariant();
}

QVariant CollectedRecordsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[Columns] = {"Machine ID", "Timestamp", "Data", "Downloaded At", "Station"};
    return section >= 0 && section < Columns ? QString::fromLatin1(titles[section]) : QVariant();
}

void CollectedRecordsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= Columns)
        return;
    beginResetModel();
    m_order = Ledger::Order(column);
    m_descending = order == Qt::DescendingOrder;
    reload();
    endResetModel();
}
