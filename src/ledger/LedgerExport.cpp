#include "ledger/Ledger.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

ExportBatch batchOf(const QSqlQuery &q)
{
    ExportBatch b;
    b.id = q.value(0).toLongLong();
    b.sink = q.value(1).toString();
    b.rows = q.value(2).toLongLong();
    b.done = !q.value(3).isNull();
    b.createdUtc = Ledger::utc(q.value(4));
    return b;
}

const char BatchColumns[] = "SELECT id, sink, rows, done_utc, created_utc FROM export_batches ";

} // namespace

QList<ExportBatch> Ledger::pendingBatches(const QString &sink, QString *error)
{
    QList<ExportBatch> list;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QLatin1String(BatchColumns) + QStringLiteral("WHERE sink = ? AND done_utc IS NULL ORDER BY id"));
    q.addBindValue(sink);
    QString e;
    if (exec(q, e))
        while (q.next())
            list.append(batchOf(q));
    if (error)
        *error = e;
    return list;
}

std::optional<ExportBatch> Ledger::batch(qint64 id, QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QLatin1String(BatchColumns) + QStringLiteral("WHERE id = ?"));
    q.addBindValue(id);
    QString e;
    std::optional<ExportBatch> found;
    if (exec(q, e) && q.next())
        found = batchOf(q);
    if (error)
        *error = e;
    return found;
}

ExportBatch Ledger::newBatch(const QString &sink, const QString &scannerKey, QString *error)
{
    ExportBatch b;
    QString e;
    auto done = [&](bool ok) {
        if (!ok) {
            rollback();
            b = {};
        }
        if (error)
            *error = e;
        return b;
    };
    if (!begin(e))
        return done(false);
    QSqlQuery q(QSqlDatabase::database(m_connection));
    // Two stations exporting to one sink: the second waits and then finds nothing new.
    // A download being recorded has taken its record ids already: wait until it
    // has committed, so that no record below the floor set here appears later.
    if (postgres()
        && (!execText(QStringLiteral("LOCK TABLE exported IN SHARE ROW EXCLUSIVE MODE"), e)
            || !execText(QStringLiteral("LOCK TABLE records IN SHARE MODE"), e)))
        return done(false);
    q.prepare(QStringLiteral("SELECT below FROM export_floors WHERE sink = ?"));
    q.addBindValue(sink);
    if (!exec(q, e))
        return done(false);
    const qint64 floor = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    b.sink = sink;
    b.createdUtc = QDateTime::currentDateTimeUtc();
    q.prepare(QStringLiteral("INSERT INTO export_batches (sink, created_utc, rows) VALUES (?, ?, 0) RETURNING id"));
    q.addBindValue(sink);
    q.addBindValue(b.createdUtc.toString(Qt::ISODateWithMs));
    if (!exec(q, e) || !q.next())
        return done(false);
    b.id = q.value(0).toLongLong();
    q.finish();
    const QString notExported = QStringLiteral(" FROM records r WHERE r.id > ? AND NOT EXISTS "
                                               "(SELECT 1 FROM exported x WHERE x.sink = ? AND x.record_id = r.id)");
    q.prepare(QStringLiteral("INSERT INTO exported (sink, record_id, batch_id) SELECT ?, r.id, ?") + notExported
              + (scannerKey.isEmpty() ? QString()
                                      : QStringLiteral(" AND r.scanner_id = (SELECT id FROM scanners WHERE scanner_key = ?)")));
    for (const QVariant &v : QVariantList{sink, b.id, floor, sink})
        q.addBindValue(v);
    if (!scannerKey.isEmpty())
        q.addBindValue(scannerKey);
    if (!exec(q, e))
        return done(false);
    b.rows = q.numRowsAffected();
    if (b.rows == 0) {
        rollback();
        b.id = 0;
        return done(true);
    }
    // The floor moves up to the first record still not exported (one scanner's
    // batch may leave others' behind), or past the last record.
    q.prepare(scannerKey.isEmpty() ? QStringLiteral("SELECT MAX(id) FROM records")
                                   : QStringLiteral("SELECT COALESCE((SELECT r.id - 1") + notExported
                                         + QStringLiteral(" ORDER BY r.id LIMIT 1), (SELECT MAX(id) FROM records))"));
    if (!scannerKey.isEmpty()) {
        q.addBindValue(floor);
        q.addBindValue(sink);
    }
    if (!exec(q, e) || !q.next())
        return done(false);
    const qint64 below = q.value(0).toLongLong();
    q.finish();
    q.prepare(QStringLiteral("INSERT INTO export_floors (sink, below) VALUES (?, ?) "
                             "ON CONFLICT (sink) DO UPDATE SET below = excluded.below"));
    q.addBindValue(sink);
    q.addBindValue(below);
    if (!exec(q, e))
        return done(false);
    q.prepare(QStringLiteral("UPDATE export_batches SET rows = ? WHERE id = ?"));
    q.addBindValue(b.rows);
    q.addBindValue(b.id);
    return done(exec(q, e) && commit(e));
}

bool Ledger::markDone(qint64 batchId, QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("UPDATE export_batches SET done_utc = ? WHERE id = ? AND done_utc IS NULL"));
    q.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    q.addBindValue(batchId);
    QString e;
    const bool ok = exec(q, e);
    if (error)
        *error = e;
    return ok;
}
