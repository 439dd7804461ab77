#include "ledger/Ledger.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

namespace {

QAtomicInt g_connections;

QString nowUtcText()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

// An empty text is bound as '', never as NULL.
QString notNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

LedgerDownload downloadTakenNow(const RecordAssembler::Records &records, const QByteArray &raw, bool complete,
                                const QString &portDevice, const QString &archiveName)
{
    LedgerDownload d;
    d.records = records;
    d.complete = complete;
    d.when = QDateTime::currentDateTime();
    d.host = QSysInfo::machineHostName();
    d.portDevice = portDevice;
    d.archiveName = archiveName;
    d.rawSha256 = QCryptographicHash::hash(raw, QCryptographicHash::Sha256).toHex();
    return d;
}

Ledger::Ledger(const LedgerLocation &location)
    : m_location(location),
      m_connection(QStringLiteral("ledger-%1").arg(g_connections.fetchAndAddRelaxed(1)))
{
}

Ledger::~Ledger()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

Ledger::Opened Ledger::open(const QString &url)
{
    Opened opened;
    const LedgerLocation location = parseLedgerUrl(url);
    if (!location.ok()) {
        opened.error = location.error;
        return opened;
    }
    std::unique_ptr<Ledger> ledger(new Ledger(location));
    const bool pg = location.kind == LedgerLocation::Postgres;
    QSqlDatabase db = QSqlDatabase::addDatabase(pg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), ledger->m_connection);
    if (!db.isValid()) {
        opened.error = QStringLiteral("the Qt SQL driver for %1 is not installed").arg(pg ? "PostgreSQL" : "SQLite");
        return opened;
    }
    if (pg) {
        db.setHostName(location.host);
        db.setPort(location.port);
        db.setUserName(location.user);
        db.setDatabaseName(location.database);
    } else {
        const QString dir = QFileInfo(location.path).absolutePath();
        if (!QDir().mkpath(dir)) {
            opened.error = QStringLiteral("cannot make the folder %1").arg(dir);
            return opened;
        }
        db.setDatabaseName(location.path);
        // Another process may hold the write lock for the length of a download's transaction.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
    }
    if (!db.open()) {
        opened.error = QStringLiteral("cannot open the records store (%1): %2")
                           .arg(location.describe(), db.lastError().text().trimmed());
        return opened;
    }
    if (!pg) {
        QSqlQuery q(db);
        for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
            if (!q.exec(QString::fromLatin1(pragma))) {
                opened.error = QStringLiteral("cannot set up the records store (%1): %2")
                                   .arg(location.describe(), q.lastError().text());
                return opened;
            }
        }
    }
    if (QString error; !ledger->migrate(error)) {
        opened.error = error;
        return opened;
    }
    opened.ledger = std::move(ledger);
    return opened;
}

bool Ledger::exec(QSqlQuery &q, QString &error) const
{
    if (q.exec())
        return true;
    error = QStringLiteral("the records store (%1) failed: %2").arg(m_location.describe(), q.lastError().text().trimmed());
    return false;
}

bool Ledger::execText(const QString &sql, QString &error) const
{
    // Not prepared: PostgreSQL prepares no transaction or lock statements.
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (q.exec(sql))
        return true;
    error = QStringLiteral("the records store (%1) failed: %2").arg(m_location.describe(), q.lastError().text().trimmed());
    return false;
}

bool Ledger::begin(QString &error)
{
    // SQLite: take the write lock at once, so two writers wait instead of failing on upgrade.
    return execText(postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"), error);
}

bool Ledger::commit(QString &error)
{
    if (execText(QStringLiteral("COMMIT"), error))
        return true;
    rollback();
    return false;
}

void Ledger::rollback()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.exec(QStringLiteral("ROLLBACK"));
}

QString Ledger::scannerKey(const QByteArray &machineId, const QString &portDevice)
{
    return machineId.isEmpty() ? QStringLiteral("port:") + portDevice : QStringLiteral("id:") + QString::fromLatin1(machineId);
}

QByteArray Ledger::stampBytes(const RecordAssembler::Records &records, const RecordAssembler::Record &r)
{
    if (r.stamped)
        return QByteArray(reinterpret_cast<const char *>(r.clock.data()), 6);
    // Six bytes before the character that is not shown (an empty record has none).
    const qsizetype start = r.offset - (r.size > 0 ? 7 : 6);
    return start >= 0 ? records.stream.mid(start, 6) : QByteArray(6, '\0');
}

Recorded Ledger::record(const LedgerDownload &d)
{
    Recorded out;
    const RecordAssembler::Records &rs = d.records;
    out.keyedByPort = rs.machineId.isEmpty();
    out.scannerKey = scannerKey(rs.machineId, d.portDevice);
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!begin(out.error))
        return out;
    auto fail = [&]() {
        rollback();
        return out;
    };
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO scanners (scanner_key, machine_id, port_device, generation, held) "
                             "VALUES (?, ?, ?, 1, 0) ON CONFLICT (scanner_key) DO NOTHING"));
    q.addBindValue(out.scannerKey);
    q.addBindValue(notNull(QString::fromLatin1(rs.machineId)));
    q.addBindValue(notNull(out.keyedByPort ? d.portDevice : QString()));
    if (!exec(q, out.error))
        return fail();
    // PostgreSQL: a second station recording the same scanner waits here until the first commits.
    q.prepare(QStringLiteral("SELECT id, generation, held FROM scanners WHERE scanner_key = ?")
              + (postgres() ? QStringLiteral(" FOR UPDATE") : QString()));
    q.addBindValue(out.scannerKey);
    if (!exec(q, out.error) || !q.next()) {
        out.error = out.error.isEmpty() ? QStringLiteral("the scanner's row is missing") : out.error;
        return fail();
    }
    const qint64 scannerId = q.value(0).toLongLong();
    qint64 generation = q.value(1).toLongLong();
    const qint64 held = q.value(2).toLongLong();
    const qint64 received = rs.list.size();
    const qint64 k = qMin(held, received);

    // The first K records decide whether this is the memory the store knows.
    bool same = true;
    if (k > 0) {
        q.prepare(QStringLiteral("SELECT position, stamp, data FROM records WHERE scanner_id = ? AND generation = ? "
                                 "AND position <= ? ORDER BY position"));
        q.addBindValue(scannerId);
        q.addBindValue(generation);
        q.addBindValue(k);
        q.setForwardOnly(true);
        if (!exec(q, out.error))
            return fail();
        qint64 seen = 0;
        while (same && seen < k && q.next()) {
            const RecordAssembler::Record &r = rs.list.at(seen);
            same = q.value(0).toLongLong() == seen + 1 && q.value(1).toByteArray() == stampBytes(rs, r)
                && q.value(2).toByteArray() == rs.data(r);
            ++seen;
        }
        same = same && seen == k;
        q.finish();
    }
    const qint64 first = same ? k : 0;
    if (!same)
        ++generation;
    out.newGeneration = !same;
    out.generation = generation;
    out.already = first;
    out.fresh = received - first;

    const QString when = d.when.toUTC().toString(Qt::ISODateWithMs);
    q.prepare(QStringLiteral("INSERT INTO downloads (scanner_id, taken_utc, utc_offset, host, port_device, announced, "
                             "received, complete, archive_name, sha256, generation, new_records) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    for (const QVariant &v : QVariantList{scannerId, when, d.when.offsetFromUtc(), notNull(d.host), notNull(d.portDevice),
                                          rs.announced, received, d.complete ? 1 : 0, notNull(d.archiveName),
                                          notNull(QString::fromLatin1(d.rawSha256)), generation, out.fresh})
        q.addBindValue(v);
    if (!exec(q, out.error) || !q.next())
        return fail();
    out.downloadId = q.value(0).toLongLong();
    q.finish();

    if (!insertRecords(q, rs, first, {scannerId, generation, out.downloadId}, out.error))
        return fail();
    q.prepare(QStringLiteral("UPDATE scanners SET generation = ?, held = ?, last_seen_utc = ? WHERE id = ?"));
    q.addBindValue(generation);
    q.addBindValue(same ? qMax(held, received) : received);
    q.addBindValue(when);
    q.addBindValue(scannerId);
    if (!exec(q, out.error) || !commit(out.error))
        return fail();
    out.ok = true;
    return out;
}

bool Ledger::insertRecords(QSqlQuery &q, const RecordAssembler::Records &rs, qint64 first, const RecordOwner &owner,
                           QString &error)
{
    // PostgreSQL: a hundred rows a statement, one round trip each. SQLite runs
    // in this process, and its Qt driver looks every parameter up by number on
    // each run, which grows with the square of the parameters: one row a
    // statement, prepared once.
    const qint64 chunk = postgres() ? 100 : 1;
    const qint64 received = rs.list.size();
    qint64 prepared = 0;
    char stamp[RecordAssembler::Records::TimestampRoom];
    for (qint64 from = first; from < received; from += chunk) {
        const qint64 rows = qMin(chunk, received - from);
        if (rows != prepared) {
            QString sql = QStringLiteral("INSERT INTO records (scanner_id, generation, position, stamp, stamp_text, "
                                         "data, download_id) VALUES (?,?,?,?,?,?,?)");
            for (qint64 i = 1; i < rows; ++i)
                sql += QStringLiteral(",(?,?,?,?,?,?,?)");
            if (!q.prepare(sql))
                return exec(q, error);
            prepared = rows;
        }
        int column = 0;
        for (qint64 i = from; i < from + rows; ++i) {
            const RecordAssembler::Record &r = rs.list.at(i);
            q.bindValue(column++, owner.scannerId);
            q.bindValue(column++, owner.generation);
            q.bindValue(column++, i + 1);
            q.bindValue(column++, stampBytes(rs, r));
            q.bindValue(column++, notNull(QString::fromLatin1(stamp, RecordAssembler::Records::timestamp(r, stamp))));
            q.bindValue(column++, r.size > 0 ? rs.data(r) : QByteArray(""));
            q.bindValue(column++, owner.downloadId);
        }
        if (!exec(q, error))
            return false;
    }
    return true;
}

bool Ledger::markErased(const QString &key, qint64 generation, QString *error)
{
    QString e;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("UPDATE scanners SET generation = generation + 1, held = 0, last_erased_utc = ? "
                             "WHERE scanner_key = ? AND generation = ?"));
    q.addBindValue(nowUtcText());
    q.addBindValue(key);
    q.addBindValue(generation);
    const bool ok = exec(q, e) && q.numRowsAffected() == 1;
    if (!ok && e.isEmpty())
        e = QStringLiteral("the scanner was recorded again since this collection");
    if (error)
        *error = e;
    return ok;
}

bool Ledger::knowsRaw(const QByteArray &sha256Hex, QString *error)
{
    QString e;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("SELECT 1 FROM downloads WHERE sha256 = ?"));
    q.addBindValue(QString::fromLatin1(sha256Hex));
    const bool found = exec(q, e) && q.next();
    if (error)
        *error = e;
    return found;
}
