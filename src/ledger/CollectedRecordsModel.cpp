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
    m_scanners.clear();
    m_ids.clear();
    m_total = 0;
    switch (m_order) {
    case Ledger::Order::Machine:
        m_scanners = m_ledger.countsPerScanner(m_filter, &m_error);
        if (m_descending)
            std::reverse(m_scanners.begin(), m_scanners.end());
        for (const auto &[scanner, rows] : std::as_const(m_scanners))
            m_total += rows;
        break;
    case Ledger::Order::Timestamp:
        m_total = m_ledger.count(m_filter, &m_error);
        break;
    default:
        m_ids = m_ledger.ids(m_filter, m_order, m_descending, &m_error);
        m_total = m_ids.size();
        break;
    }
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
    constexpr int Piece = 16384;
    for (qint64 first = 0; first < m_total; first += Piece) {
        const QList<RecordRow> piece = fetch(first, Piece);
        if (!m_error.isEmpty())
            return false;
        if (!each(piece))
            break;
    }
    return true;
}

QList<RecordRow> CollectedRecordsModel::fetch(qint64 first, qint64 count) const
{
    count = qMin(count, m_total - first);
    if (count <= 0)
        return {};
    if (m_order == Ledger::Order::Machine)
        return fetchByScanner(first, count);
    if (m_order != Ledger::Order::Timestamp)
        return m_ledger.withIds(m_ids.mid(first, count), &m_error);
    if (first < m_total - first - count)
        return m_ledger.page(m_filter, m_order, m_descending, first, int(count), &m_error);
    // Nearer the end: counted from there in the opposite order, so the store skips fewer rows.
    QList<RecordRow> rows = m_ledger.page(m_filter, m_order, !m_descending, m_total - first - count, int(count), &m_error);
    std::reverse(rows.begin(), rows.end());
    return rows;
}

QList<RecordRow> CollectedRecordsModel::fetchByScanner(qint64 first, qint64 count) const
{
    QList<RecordRow> rows;
    qint64 start = 0;
    for (const auto &[scanner, held] : m_scanners) {
        const qint64 from = qMax(first, start) - start;
        const qint64 to = qMin(first + count, start + held) - start;
        start += held;
        if (from >= to)
            continue;
        // From whichever end of the scanner's records is nearer.
        if (from < held - to) {
            rows += m_ledger.scannerPage(m_filter, scanner, m_descending, from, int(to - from), &m_error);
        } else {
            QList<RecordRow> back = m_ledger.scannerPage(m_filter, scanner, !m_descending, held - to, int(to - from), &m_error);
            std::reverse(back.begin(), back.end());
            rows += back;
        }
        if (start >= first + count)
            break;
    }
    return rows;
}

const RecordRow *CollectedRecordsModel::rowAt(qint64 row) const
{
    const qint64 page = row / PageRows;
    auto it = m_pages.constFind(page);
    if (it == m_pages.constEnd()) {
        if (m_pages.size() >= MaxPages)
            m_pages.clear();
        it = m_pages.insert(page, fetch(page * PageRows, PageRows));
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
    case 0: return Ledger::scannerName(r.machineId, r.portDevice);
    case 1: return r.stampText;
    case 2: return QString::fromLatin1(r.data);
    case 3: return Ledger::localText(r.collectedUtc);
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

#include "moc_CollectedRecordsModel.cpp"
