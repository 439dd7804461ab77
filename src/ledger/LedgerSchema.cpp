#include "ledger/Ledger.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

// Each entry takes the store from version i to i + 1. The types are written
// once for both databases: ID, INT and BLOB are replaced per database.
const QList<QStringList> &migrations()
{
    static const QList<QStringList> steps{
        {
            QStringLiteral("CREATE TABLE scanners (id ID, scanner_key TEXT NOT NULL UNIQUE, machine_id TEXT NOT NULL, "
                           "port_device TEXT NOT NULL, generation INT NOT NULL, held INT NOT NULL, "
                           "last_seen_utc TEXT, last_erased_utc TEXT)"),
            QStringLiteral("CREATE TABLE downloads (id ID, scanner_id INT NOT NULL REFERENCES scanners (id), "
                           "taken_utc TEXT NOT NULL, utc_offset INT NOT NULL, host TEXT NOT NULL, "
                           "port_device TEXT NOT NULL, announced INT NOT NULL, received INT NOT NULL, "
                           "complete INT NOT NULL, archive_name TEXT NOT NULL, sha256 TEXT NOT NULL, "
                           "generation INT NOT NULL, new_records INT NOT NULL)"),
            QStringLiteral("CREATE INDEX downloads_sha256 ON downloads (sha256)"),
            QStringLiteral("CREATE INDEX downloads_scanner ON downloads (scanner_id)"),
            QStringLiteral("CREATE TABLE records (id ID, scanner_id INT NOT NULL REFERENCES scanners (id), "
                           "generation INT NOT NULL, position INT NOT NULL, stamp BLOB NOT NULL, "
                           "stamp_text TEXT NOT NULL, data BLOB NOT NULL, "
                           "download_id INT NOT NULL REFERENCES downloads (id), "
                           "UNIQUE (scanner_id, generation, position))"),
            QStringLiteral("CREATE INDEX records_stamp ON records (stamp_text)"),
            QStringLiteral("CREATE TABLE export_batches (id ID, sink TEXT NOT NULL, created_utc TEXT NOT NULL, "
                           "done_utc TEXT, rows INT NOT NULL)"),
            QStringLiteral("CREATE TABLE exported (sink TEXT NOT NULL, record_id INT NOT NULL REFERENCES records (id), "
                           "batch_id INT NOT NULL REFERENCES export_batches (id), PRIMARY KEY (sink, record_id))"),
            QStringLiteral("CREATE INDEX exported_batch ON exported (batch_id)"),
        },
        {
            // Every record with an id up to below has gone to the sink: a new
            // batch looks only at those past it.
            QStringLiteral("CREATE TABLE export_floors (sink TEXT PRIMARY KEY, below INT NOT NULL)"),
            // A batch's records in id order without a sort.
            QStringLiteral("DROP INDEX exported_batch"),
            QStringLiteral("CREATE INDEX exported_batch ON exported (batch_id, record_id)"),
        },
    };
    return steps;
}

QString forDatabase(QString sql, bool postgres)
{
    sql.replace(QStringLiteral(" ID,"), postgres ? QStringLiteral(" BIGSERIAL PRIMARY KEY,") : QStringLiteral(" INTEGER PRIMARY KEY,"));
    sql.replace(QStringLiteral(" INT "), postgres ? QStringLiteral(" BIGINT ") : QStringLiteral(" INTEGER "));
    sql.replace(QStringLiteral(" BLOB "), postgres ? QStringLiteral(" BYTEA ") : QStringLiteral(" BLOB "));
    return sql;
}

} // namespace

int Ledger::schemaVersion()
{
    return int(migrations().size());
}

bool Ledger::migrate(QString &error)
{
    if (!begin(error))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    // Two stations opening a new shared store at once: one makes the tables, the other waits.
    if (postgres() && !execText(QStringLiteral("SELECT pg_advisory_xact_lock(2107)"), error)) {
        rollback();
        return false;
    }
    if (!execText(QStringLiteral("CREATE TABLE IF NOT EXISTS ledger_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)"),
                  error)) {
        rollback();
        return false;
    }
    q.prepare(QStringLiteral("SELECT value FROM ledger_meta WHERE name = 'schema'"));
    if (!exec(q, error)) {
        rollback();
        return false;
    }
    const int version = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    if (version > schemaVersion()) {
        rollback();
        error = QStringLiteral("the records store (%1) was made by a newer version of this program (store version %2, "
                               "this program knows up to %3); it is left as it is")
                    .arg(m_location.describe())
                    .arg(version)
                    .arg(schemaVersion());
        return false;
    }
    for (int v = version; v < schemaVersion(); ++v) {
        for (const QString &sql : migrations().at(v)) {
            if (!execText(forDatabase(sql, postgres()), error)) {
                rollback();
                return false;
            }
        }
    }
    if (version < schemaVersion()) {
        q.prepare(version == 0 ? QStringLiteral("INSERT INTO ledger_meta (name, value) VALUES ('schema', ?)")
                               : QStringLiteral("UPDATE ledger_meta SET value = ? WHERE name = 'schema'"));
        q.addBindValue(QString::number(schemaVersion()));
        if (!exec(q, error)) {
            rollback();
            return false;
        }
    }
    return commit(error);
}
