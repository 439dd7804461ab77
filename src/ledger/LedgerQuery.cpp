#include "ledger/Ledger.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>

namespace {

void setError(QString *out, const QString &error)
{
    if (out)
        *out = error;
}

} // namespace

QDateTime Ledger::utc(const QVariant &v)
{
    if (v.isNull())
        return {};
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
    t.setTimeSpec(Qt::UTC);
    return t;
}

QString Ledger::localText(const QDateTime &utc)
{
    return utc.isValid() ? utc.toLocalTime().toString(u"yyyy-MM-dd hh:mm:ss") : QString();
}

QString Ledger::scannerName(const QString &machineId, const QString &portDevice)
{
    return machineId.isEmpty() ? QStringLiteral("(port %1)").arg(portDevice) : machineId;
}

QString Ledger::selectRows() const
{
    return QStringLiteral("SELECT r.id, s.machine_id, s.port_device, r.generation, r.position, r.stamp, r.stamp_text, "
                          "r.data, d.taken_utc, d.host FROM records r JOIN scanners s ON s.id = r.scanner_id "
                          "JOIN downloads d ON d.id = r.download_id ");
}

namespace {

// The tables a count or an ordering needs: the scanners only for the machine
// ID, the downloads only for their time or station.
QString fromRecords(bool scanners, bool downloads)
{
    return QStringLiteral("FROM records r") + (scanners ? QStringLiteral(" JOIN scanners s ON s.id = r.scanner_id") : QString())
        + (downloads ? QStringLiteral(" JOIN downloads d ON d.id = r.download_id") : QString());
}

} // namespace

QString Ledger::filterClause(const RecordFilter &f, QVariantList &values) const
{
    QStringList parts;
    if (!f.machines.isEmpty()) {
        QStringList marks;
        for (const QString &m : f.machines) {
            marks << QStringLiteral("?");
            values << m;
        }
        parts << QStringLiteral("s.machine_id IN (%1)").arg(marks.join(QLatin1Char(',')));
    }
    // The scan date is the leading "YYYY-MM-DD" of the timestamp text.
    if (f.since.isValid()) {
        parts << QStringLiteral("r.stamp_text >= ?");
        values << f.since.toString(Qt::ISODate);
    }
    if (f.until.isValid()) {
        parts << QStringLiteral("r.stamp_text <> '' AND r.stamp_text < ?");
        values << f.until.addDays(1).toString(Qt::ISODate);
    }
    if (!f.text.isEmpty()) {
        parts << (postgres() ? QStringLiteral("position(? in r.data) > 0") : QStringLiteral("instr(r.data, ?) > 0"));
        values << f.text.toLatin1();
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

namespace {

// Rows of one download come together: its time is read once, and the
// texts a scanner's rows share are shared.
struct RowReader
{
    QString machineId, portDevice, takenText;
    QDateTime taken;

    RecordRow next(const QSqlQuery &q)
    {
        RecordRow r;
        r.id = q.value(0).toLongLong();
        r.machineId = q.value(1).toString();
        r.portDevice = q.value(2).toString();
        if (r.machineId == machineId && r.portDevice == portDevice) {
            r.machineId = machineId;
            r.portDevice = portDevice;
        } else {
            machineId = r.machineId;
            portDevice = r.portDevice;
        }
        r.generation = q.value(3).toLongLong();
        r.position = q.value(4).toLongLong();
        r.stamp = q.value(5).toByteArray();
        r.stampText = q.value(6).toString();
        r.data = q.value(7).toByteArray();
        if (const QString text = q.value(8).toString(); text != takenText) {
            takenText = text;
            taken = Ledger::utc(text);
        }
        r.collectedUtc = taken;
        r.station = q.value(9).toString();
        return r;
    }
};

} // namespace

QList<RecordRow> Ledger::list(const RecordFilter &filter, QString *error)
{
    QVariantList values;
    const QString where = filterClause(filter, values);
    return rows(where + QStringLiteral(" ORDER BY s.machine_id, s.port_device, r.generation, r.position"), values, error);
}

void Ledger::select(const QString &sql, const QVariantList &values, QString *error,
                    const std::function<void(const QSqlQuery &)> &each) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    QString e;
    if (exec(q, e))
        while (q.next())
            each(q);
    setError(error, e);
}

QList<RecordRow> Ledger::rows(const QString &tail, const QVariantList &values, QString *error)
{
    QList<RecordRow> rows;
    RowReader reader;
    select(selectRows() + tail, values, error, [&](const QSqlQuery &q) { rows.append(reader.next(q)); });
    return rows;
}

qint64 Ledger::count(const RecordFilter &filter, QString *error)
{
    QVariantList values;
    const QString sql = QStringLiteral("SELECT COUNT(*) ") + fromRecords(!filter.machines.isEmpty(), false)
        + filterClause(filter, values);
    qint64 n = 0;
    select(sql, values, error, [&n](const QSqlQuery &q) { n = q.value(0).toLongLong(); });
    return n;
}

QString Ledger::orderedIds(const RecordFilter &filter, Order order, bool descending, QVariantList &values) const
{
    // Each ordering ends in a unique key, so pages neither repeat nor skip a row.
    static const char *const orders[] = {"s.machine_id%1, r.scanner_id%1, r.generation%1, r.position%1",
                                         "r.stamp_text%1, r.id%1", "r.data%1, r.id%1", "d.taken_utc%1, r.id%1",
                                         "d.host%1, d.taken_utc%1, r.id%1"};
    const bool byDownload = order == Order::Collected || order == Order::Station;
    return QStringLiteral("SELECT r.id ") + fromRecords(order == Order::Machine || !filter.machines.isEmpty(), byDownload)
        + filterClause(filter, values) + QStringLiteral(" ORDER BY ")
        + QLatin1String(orders[int(order)]).arg(descending ? QStringLiteral(" DESC") : QString());
}

QList<RecordRow> Ledger::page(const RecordFilter &filter, Order order, bool descending, qint64 offset, int limit,
                              QString *error)
{
    // The rows skipped are walked on the ids alone; only the page's rows are read whole.
    QVariantList values;
    const QString ids = orderedIds(filter, order, descending, values);
    const QString orderBy = ids.mid(ids.indexOf(QStringLiteral(" ORDER BY ")));
    return rows(QStringLiteral("WHERE r.id IN (%1 LIMIT %2 OFFSET %3)").arg(ids).arg(limit).arg(offset) + orderBy, values,
                error);
}

QList<QPair<qint64, qint64>> Ledger::countsPerScanner(const RecordFilter &filter, QString *error)
{
    QList<QPair<qint64, qint64>> counts;
    QVariantList values;
    const QString sql = QStringLiteral("SELECT c.sid, c.n FROM (SELECT r.scanner_id AS sid, COUNT(*) AS n ")
        + fromRecords(!filter.machines.isEmpty(), false) + filterClause(filter, values)
        + QStringLiteral(" GROUP BY r.scanner_id) c JOIN scanners o ON o.id = c.sid ORDER BY o.machine_id, o.id");
    select(sql, values, error,
           [&counts](const QSqlQuery &q) { counts.append({q.value(0).toLongLong(), q.value(1).toLongLong()}); });
    return counts;
}

QList<RecordRow> Ledger::scannerPage(const RecordFilter &filter, qint64 scannerId, bool descending, qint64 offset,
                                     int limit, QString *error)
{
    QVariantList values;
    QString where = filterClause(filter, values);
    where += (where.isEmpty() ? QStringLiteral(" WHERE") : QStringLiteral(" AND")) + QStringLiteral(" r.scanner_id = ?");
    values << scannerId;
    const QString direction = descending ? QStringLiteral(" DESC") : QString();
    return rows(where
                    + QStringLiteral(" ORDER BY r.generation%1, r.position%1 LIMIT %2 OFFSET %3")
                          .arg(direction)
                          .arg(limit)
                          .arg(offset),
                values, error);
}

QList<qint64> Ledger::ids(const RecordFilter &filter, Order order, bool descending, QString *error)
{
    QList<qint64> ids;
    QVariantList values;
    const QString sql = orderedIds(filter, order, descending, values);
    select(sql, values, error, [&ids](const QSqlQuery &q) { ids.append(q.value(0).toLongLong()); });
    return ids;
}

QList<RecordRow> Ledger::withIds(const QList<qint64> &ids, QString *error)
{
    if (ids.isEmpty())
        return {};
    QStringList numbers;
    for (qint64 id : ids)
        numbers << QString::number(id);
    QList<RecordRow> found = rows(QStringLiteral("WHERE r.id IN (%1)").arg(numbers.join(QLatin1Char(','))), {}, error);
    QHash<qint64, qsizetype> at;
    for (qsizetype i = 0; i < ids.size(); ++i)
        at.insert(ids[i], i);
    std::sort(found.begin(), found.end(), [&at](const RecordRow &a, const RecordRow &b) { return at[a.id] < at[b.id]; });
    return found;
}

QList<QPair<QString, qint64>> Ledger::countsPerMachine(const RecordFilter &filter, QString *error)
{
    QList<QPair<QString, qint64>> counts;
    QVariantList values;
    const QString sql = QStringLiteral("SELECT s.machine_id, COUNT(*) ") + fromRecords(true, false)
        + filterClause(filter, values) + QStringLiteral(" GROUP BY s.machine_id ORDER BY s.machine_id");
    select(sql, values, error,
           [&counts](const QSqlQuery &q) { counts.append({q.value(0).toString(), q.value(1).toLongLong()}); });
    return counts;
}

QList<DayCount> Ledger::countsPerDay(const RecordFilter &filter, QString *error)
{
    QList<DayCount> counts;
    QVariantList values;
    const QString sql = QStringLiteral("SELECT substr(r.stamp_text, 1, 10) AS day, s.machine_id, COUNT(*) ")
        + fromRecords(true, false) + filterClause(filter, values)
        + QStringLiteral(" GROUP BY day, s.machine_id ORDER BY day, s.machine_id");
    select(sql, values, error, [&counts](const QSqlQuery &q) {
        counts.append({QDate::fromString(q.value(0).toString(), Qt::ISODate), q.value(1).toString(), q.value(2).toLongLong()});
    });
    return counts;
}

QList<ScannerStats> Ledger::stats(QString *error)
{
    QList<ScannerStats> list;
    const QString sql = QStringLiteral(
        "SELECT s.machine_id, s.port_device, s.generation, s.last_seen_utc, s.last_erased_utc, "
        "(SELECT COUNT(*) FROM downloads d WHERE d.scanner_id = s.id), "
        "(SELECT COUNT(*) FROM records r WHERE r.scanner_id = s.id), "
        "(SELECT COUNT(DISTINCT r.generation) FROM records r WHERE r.scanner_id = s.id), s.held, "
        "l.complete, l.host FROM scanners s "
        "LEFT JOIN downloads l ON l.id = (SELECT d.id FROM downloads d WHERE d.scanner_id = s.id "
        "ORDER BY d.taken_utc DESC, d.id DESC LIMIT 1) "
        "ORDER BY s.machine_id, s.port_device");
    select(sql, {}, error, [&list](const QSqlQuery &q) {
        ScannerStats s;
        s.machineId = q.value(0).toString();
        s.portDevice = q.value(1).toString();
        s.lastSeenUtc = utc(q.value(3));
        s.lastErasedUtc = utc(q.value(4));
        s.downloads = q.value(5).toLongLong();
        s.records = q.value(6).toLongLong();
        s.generations = q.value(7).toLongLong();
        s.held = q.value(8).toLongLong();
        s.lastComplete = q.value(9).toLongLong() != 0;
        s.lastStation = q.value(10).toString();
        list.append(s);
    });
    return list;
}

QList<RecordRow> Ledger::batchRecords(qint64 batchId, QString *error)
{
    return rows(QStringLiteral("JOIN exported e ON e.record_id = r.id WHERE e.batch_id = ? ORDER BY e.record_id"), {batchId}, error);
}
