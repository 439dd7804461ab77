#pragma once

#include "collect/RecordAssembler.h"
#include "ledger/LedgerUrl.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>

class QSqlQuery;

// One download as the store takes it: its records and where and when it was taken.
struct LedgerDownload
{
    RecordAssembler::Records records;
    bool complete = false;
    QDateTime when;         // the PC's local time
    QString host;           // the station's host name
    QString portDevice;     // keys a scanner that sent no machine ID
    QString archiveName;    // the archived file's name, empty when not archived
    QByteArray rawSha256;   // hex SHA-256 of the raw bytes
};

// A download taken now on this station; the SHA-256 is taken of raw.
LedgerDownload downloadTakenNow(const RecordAssembler::Records &records, const QByteArray &raw, bool complete,
                                const QString &portDevice, const QString &archiveName);

// What recording one download did.
struct Recorded
{
    bool ok = false;
    QString error;
    qint64 downloadId = 0;
    QString scannerKey;
    qint64 generation = 0;
    bool newGeneration = false; // the records differ from those held: the scanner was erased elsewhere
    bool keyedByPort = false;   // no machine ID: kept under the port's device
    qint64 fresh = 0;           // records the store did not hold
    qint64 already = 0;         // records it held already
};

// One stored record, as lists and exports show it.
struct RecordRow
{
    qint64 id = 0;
    QString machineId;
    QString portDevice;
    qint64 generation = 0;
    qint64 position = 0;
    QByteArray stamp;     // the six timestamp bytes as received
    QString stampText;    // "20YY-MM-DD hh:mm:ss", empty when the timestamp failed its check
    QByteArray data;
    QDateTime collectedUtc; // when the download that first brought it was taken
    QString station;        // the host name of the station that took that download
};
// Every member moves by its bytes: a growing list of rows copies no member.
Q_DECLARE_TYPEINFO(RecordRow, Q_RELOCATABLE_TYPE);

// Which records a list shows; empty parts do not filter.
struct RecordFilter
{
    QStringList machines;
    QDate since, until; // the scan date, both included
    QString text;       // inside the data
};

struct ScannerStats
{
    QString machineId;
    QString portDevice; // only for a scanner without machine ID
    qint64 generations = 0;
    qint64 downloads = 0;
    qint64 records = 0;
    qint64 held = 0; // in the scanner at its last download; none after this program erased it
    QDateTime lastSeenUtc, lastErasedUtc;
    bool lastComplete = false; // whether its last download brought every record announced
    QString lastStation;
};

// Records scanned on one day by one machine; day is invalid for those whose timestamp failed its check.
struct DayCount
{
    QDate day;
    QString machineId;
    qint64 count = 0;
    bool operator==(const DayCount &o) const { return day == o.day && machineId == o.machineId && count == o.count; }
};

struct ExportBatch
{
    qint64 id = 0;
    QString sink;
    qint64 rows = 0;
    bool done = false;
    QDateTime createdUtc;
};

// Every record any download brought, once: a record is (scanner, memory
// generation, position). Not thread-safe; one per thread.
class Ledger
{
public:
    struct Opened
    {
        std::unique_ptr<Ledger> ledger;
        QString error;
    };
    // Opens (and creates or migrates) the store; refuses one made by a newer version.
    static Opened open(const QString &url);
    ~Ledger();
    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;

    const LedgerLocation &location() const { return m_location; }
    static int schemaVersion();

    // One transaction: the records past those held for the scanner's current
    // generation, or a new generation when the first ones differ.
    Recorded record(const LedgerDownload &download);
    // After this program erased the scanner: the generation the collection
    // recorded ends; a later erase or download moved it on already: false.
    bool markErased(const QString &scannerKey, qint64 generation, QString *error = nullptr);
    // A raw file already recorded, by its SHA-256.
    bool knowsRaw(const QByteArray &sha256Hex, QString *error = nullptr);

    QList<RecordRow> list(const RecordFilter &filter, QString *error = nullptr);
    // For a window that fetches rows as they scroll into view: how many the
    // filter shows, and limit of them from offset, sorted by one column.
    enum class Order { Machine, Timestamp, Data, Collected, Station };
    qint64 count(const RecordFilter &filter, QString *error = nullptr);
    QList<RecordRow> page(const RecordFilter &filter, Order order, bool descending, qint64 offset, int limit,
                          QString *error = nullptr);
    // Paging without OFFSET over the whole store. Sorted by machine: each scanner's
    // records (how many the filter shows, scanners in the order of their machine
    // IDs) and a page of one of them, on the records' own index.
    QList<QPair<qint64, qint64>> countsPerScanner(const RecordFilter &filter, QString *error = nullptr);
    QList<RecordRow> scannerPage(const RecordFilter &filter, qint64 scannerId, bool descending, qint64 offset, int limit,
                                 QString *error = nullptr);
    // Sorted by a column no index serves: the order of the ids, taken once, then the records of some of them.
    QList<qint64> ids(const RecordFilter &filter, Order order, bool descending, QString *error = nullptr);
    QList<RecordRow> withIds(const QList<qint64> &ids, QString *error = nullptr);
    QList<QPair<QString, qint64>> countsPerMachine(const RecordFilter &filter, QString *error = nullptr);
    // One query for the chart: per day, per machine, in that order.
    QList<DayCount> countsPerDay(const RecordFilter &filter, QString *error = nullptr);
    QList<ScannerStats> stats(QString *error = nullptr);

    // Exports: the batch and its records are committed first as pending. The
    // pending batches of a sink come before any new one.
    QList<ExportBatch> pendingBatches(const QString &sink, QString *error = nullptr);
    // The records not yet exported to sink as a new pending batch; id 0 when there are none.
    ExportBatch newBatch(const QString &sink, QString *error = nullptr) { return newBatch(sink, QString(), error); }
    // The same, of one scanner's records alone (every scanner's when scannerKey is empty).
    ExportBatch newBatch(const QString &sink, const QString &scannerKey, QString *error);
    std::optional<ExportBatch> batch(qint64 id, QString *error = nullptr);
    QList<RecordRow> batchRecords(qint64 batchId, QString *error = nullptr);
    bool markDone(qint64 batchId, QString *error = nullptr);

    static QString scannerKey(const QByteArray &machineId, const QString &portDevice);
    // The six timestamp bytes of a record as they came.
    static QByteArray stampBytes(const RecordAssembler::Records &records, const RecordAssembler::Record &r);
    // A time the store keeps as ISO 8601 text in UTC.
    static QDateTime utc(const QVariant &text);
    // Such a time as the windows show it, in local time; empty when there is none.
    static QString localText(const QDateTime &utc);
    // A scanner as the windows and files name it: its machine ID, else its port.
    static QString scannerName(const QString &machineId, const QString &portDevice);

private:
    explicit Ledger(const LedgerLocation &location);
    bool migrate(QString &error);
    bool begin(QString &error);
    bool commit(QString &error);
    void rollback();
    bool exec(QSqlQuery &q, QString &error) const;
    struct RecordOwner
    {
        qint64 scannerId, generation, downloadId;
    };
    // The records from first on, inside record()'s transaction.
    bool insertRecords(QSqlQuery &q, const RecordAssembler::Records &rs, qint64 first, const RecordOwner &owner,
                       QString &error);
    bool execText(const QString &sql, QString &error) const;
    QString selectRows() const;
    QList<RecordRow> rows(const QString &tail, const QVariantList &values, QString *error);
    // Runs a query with values bound in turn and hands each row of its result to each.
    void select(const QString &sql, const QVariantList &values, QString *error,
                const std::function<void(const QSqlQuery &)> &each) const;
    QString filterClause(const RecordFilter &filter, QVariantList &values) const;
    QString orderedIds(const RecordFilter &filter, Order order, bool descending, QVariantList &values) const;
    bool postgres() const { return m_location.kind == LedgerLocation::Postgres; }

    LedgerLocation m_location;
    QString m_connection;
};

// Imports archived downloads in the order they were taken (the date and time
// in their names, else their modification time); a file already recorded is skipped.
struct ImportedFile
{
    QString path;
    enum Outcome { Recorded, Skipped, Failed } outcome = Failed;
    ::Recorded recorded;
    QString error;
};
QList<ImportedFile> importRaw(Ledger &ledger, const QStringList &paths, const QString &host);
