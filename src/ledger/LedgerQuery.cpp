#include "ledger/Ledger.h"

#include <QSqlDatabase>
#include <QSqlQuery>

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

QString Ledger::selectRows() const
{
    return QStringLiteral("SELECT r.id, s.machine_id, s.port_device, r.generation, r.position, r.stamp, r.stamp_text, "
                          "r.data, d.taken_utc FROM records r JOIN scanners s ON s.id = r.scanner_id "
                          "JOIN downloads d ON d.id = r.download_id ");
}

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

QList<RecordRow> Ledger::rows(const QString &tail, const QVariantList &values, QString *error)
{
    QList<RecordRow> rows;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    q.prepare(selectRows() + tail);
    for (const QVariant &v : values)
        q.addBindValue(v);
    QString e;
    RowReader reader;
    if (exec(q, e))
        while (q.next())
            rows.append(reader.next(q));
    setError(error, e);
    return rows;
}

qint64 Ledger::count(const RecordFilter &filter, QString *error)
{
    QVariantList values;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM records r JOIN scanners s ON s.id = r.scanner_id")
              + filterClause(filter, values));
    for (const QVariant &v : values)
        q.addBindValue(v);
    QString e;
    const qint64 n = exec(q, e) && q.next() ? q.value(0).toLongLong() : 0;
    setError(error, e);
    return n;
}

QList<RecordRow> Ledger::page(const RecordFilter &filter, Order order, bool descending, qint64 offset, int limit,
                              QString *error)
{
    // The record's id last keeps the order total, so pages neither repeat nor skip a row.
    const char *const columns[] = {"s.machine_id", "r.stamp_text", "r.data", "d.taken_utc"};
    const QString direction = descending ? QStringLiteral(" DESC") : QString();
    QVariantList values;
    const QString where = filterClause(filter, values);
    return rows(where
                    + QStringLiteral(" ORDER BY %1%2, r.id%2 LIMIT %3 OFFSET %4")
                          .arg(QLatin1String(columns[int(order)]), direction)
                          .arg(limit)
                          .arg(offset),
                values, error);
}

QList<QPair<QString, qint64>> Ledger::countsPerMachine(const RecordFilter &filter, QString *error)
{
    QList<QPair<QString, qint64>> counts;
    QVariantList values;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("SELECT s.machine_id, COUNT(*) FROM records r JOIN scanners s ON s.id = r.scanner_id")
              + filterClause(filter, values) + QStringLiteral(" GROUP BY s.machine_id ORDER BY s.machine_id"));
    for (const QVariant &v : values)
        q.addBindValue(v);
    QString e;
    if (exec(q, e))
        while (q.next())
            counts.append({q.value(0).toString(), q.value(1).toLongLong()});
    setError(error, e);
    return counts;
}

QList<QPair<QDate, qint64>> Ledger::countsPerDay(const RecordFilter &filter, QString *error)
{
    QList<QPair<QDate, qint64>> counts;
    QVariantList values;
    QString where = filterClause(filter, values);
    where += where.isEmpty() ? QStringLiteral(" WHERE r.stamp_text <> ''") : QStringLiteral(" AND r.stamp_text <> ''");
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("SELECT substr(r.stamp_text, 1, 10) AS day, COUNT(*) FROM records r "
                             "JOIN scanners s ON s.id = r.scanner_id")
              + where + QStringLiteral(" GROUP BY day ORDER BY day"));
    for (const QVariant &v : values)
        q.addBindValue(v);
    QString e;
    if (exec(q, e))
        while (q.next())
            counts.append({QDate::fromString(q.value(0).toString(), Qt::ISODate), q.value(1).toLongLong()});
    setError(error, e);
    return counts;
}

QList<ScannerStats> Ledger::stats(QString *error)
{
    QList<ScannerStats> list;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral(
        "SELECT s.machine_id, s.port_device, s.generation, s.last_seen_utc, s.last_erased_utc, "
        "(SELECT COUNT(*) FROM downloads d WHERE d.scanner_id = s.id), "
        "(SELECT COUNT(*) FROM records r WHERE r.scanner_id = s.id), "
        "(SELECT COUNT(DISTINCT r.generation) FROM records r WHERE r.scanner_id = s.id) "
        "FROM scanners s ORDER BY s.machine_id, s.port_device"));
    QString e;
    if (exec(q, e)) {
        while (q.next()) {
            ScannerStats s;
            s.machineId = q.value(0).toString();
            s.portDevice = q.value(1).toString();
            s.lastSeenUtc = utc(q.value(3));
            s.lastErasedUtc = utc(q.value(4));
            s.downloads = q.value(5).toLongLong();
            s.records = q.value(6).toLongLong();
            s.generations = q.value(7).toLongLong();
            list.append(s);
        }
    }
    setError(error, e);
    return list;
}

QList<RecordRow> Ledger::batchRecords(qint64 batchId, QString *error)
{
    return rows(QStringLiteral("JOIN exported e ON e.record_id = r.id WHERE e.batch_id = ? ORDER BY e.record_id"), {batchId}, error);
}
