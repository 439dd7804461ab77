#include "ledger/CollectedRecordsModel.h"

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
    for (qint64 offset = 0; offset < m_total && m_error.isEmpty(); offset += 65536)
        rows += m_ledger.page(m_filter, m_order, m_descending, offset, 65536, &m_error);
    return rows;
}

const RecordRow *CollectedRecordsModel::rowAt(qint64 row) const
{
    const qint64 page = row / PageRows;
    auto it = m_pages.constFind(page);
    if (it == m_pages.constEnd()) {
        if (m_pages.size() >= MaxPages)
            m_pages.clear();
        it = m_pages.insert(page, m_ledger.page(m_filter, m_order, m_descending, page * PageRows, PageRows, &m_error));
    }
    const qint64 i = row - page * PageRows;
    return i < it->size() ? &it->at(i) : nullptr;
}

int CollectedRecordsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(qMin<qint64>(m_total, INT_MAX));
}

int CollectedRecordsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant CollectedRecordsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const RecordRow *r = rowAt(index.row());
    if (!r)
        return {};
    switch (index.column()) {
    case 0: return r->machineId.isEmpty() ? QStringLiteral("(port %1)").arg(r->portDevice) : r->machineId;
    case 1: return r->stampText;
    case 2: return QString::fromLatin1(r->data);
    case 3: return r->collectedUtc.toLocalTime().toString(u"yyyy-MM-dd hh:mm:ss");
    }
    return {};
}

QVariant CollectedRecordsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[] = {"Machine ID", "Timestamp", "Data", "Downloaded At"};
    return section >= 0 && section < 4 ? QString::fromLatin1(titles[section]) : QVariant();
}

void CollectedRecordsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column > 3)
        return;
    beginResetModel();
    m_order = Ledger::Order(column);
    m_descending = order == Qt::DescendingOrder;
    reload();
    endResetModel();
}
