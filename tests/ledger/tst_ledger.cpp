// The collected-records store on SQLite: every record exactly once.
#include "ledger/Ledger.h"
#include "ledger/LedgerStreams.h"
#include "ledger/RecordsFile.h"
#include "support/TestFiles.h"
#include "support/XlsxReader.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One download in a sequence and what recording it must do.
struct Step
{
    QByteArray machineId;
    QString port;
    QStringList records;
    int announced = -1; // more than the records: a cut download
    bool eraseAfter = false; // this program erased the scanner after it
    qint64 fresh = 0;
    qint64 already = 0;
    bool newGeneration = false;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestLedger : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_files = 0;

    std::unique_ptr<Ledger> openNew()
    {
        Ledger::Opened o = Ledger::open(m_dir.filePath(QStringLiteral("store%1.sqlite").arg(++m_files)));
        if (!o.ledger)
            qWarning() << o.error;
        return std::move(o.ledger);
    }

private Q_SLOTS:
    void exactlyOnce_data()
    {
        const QStringList abc{"a", "b", "c"};
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<qint64>("stored");
        QTest::newRow("the same download twice")
            << QList<Step>{{"ZEV1", "/dev/A", abc, -1, false, 3, 0, false}, {"ZEV1", "/dev/A", abc, -1, false, 0, 3, false}}
            << qint64(3);
        QTest::newRow("a cut download, then the full one")
            << QList<Step>{{"ZEV1", "/dev/A", {"a", "b"}, 4, false, 2, 0, false},
                           {"ZEV1", "/dev/A", {"a", "b", "c", "d"}, -1, false, 2, 2, false}}
            << qint64(4);
        QTest::newRow("more scanned since")
            << QList<Step>{{"ZEV1", "/dev/A", abc, -1, false, 3, 0, false},
                           {"ZEV1", "/dev/A", {"a", "b", "c", "d", "e"}, -1, false, 2, 3, false}}
            << qint64(5);
        QTest::newRow("erased elsewhere, fewer records now")
            << QList<Step>{{"ZEV1", "/dev/A", abc, -1, false, 3, 0, false}, {"ZEV1", "/dev/A", {"x", "y"}, -1, false, 2, 0, true}}
            << qint64(5);
        QTest::newRow("erased elsewhere, the same data scanned again later")
            << QList<Step>{{"ZEV1", "/dev/A", abc, -1, false, 3, 0, false},
                           {"ZEV1", "/dev/A", {"a", "b'", "c", "d"}, -1, false, 4, 0, true}}
            << qint64(7);
        QTest::newRow("erased elsewhere, seen empty, then one record")
            << QList<Step>{{"ZEV1", "/dev/A", abc, -1, false, 3, 0, false}, {"ZEV1", "/dev/A", {}, -1, false, 0, 0, false},
                           {"ZEV1", "/dev/A", {"d"}, -1, false, 1, 0, true}}
            << qint64(4);
        QTest::newRow("after our own erase the same records are new")
            << QList<Step>{{"ZEV1", "/dev/A", abc, -1, true, 3, 0, false}, {"ZEV1", "/dev/A", abc, -1, false, 3, 0, false},
                           {"ZEV1", "/dev/A", {"a", "b", "c", "d"}, -1, false, 1, 3, false}}
            << qint64(7);
        QTest::newRow("no machine ID on two ports")
            << QList<Step>{{"", "/dev/A", abc, -1, false, 3, 0, false}, {"", "/dev/B", abc, -1, false, 3, 0, false},
                           {"", "/dev/A", abc, -1, false, 0, 3, false}}
            << qint64(6);
        QTest::newRow("one machine ID on two ports")
            << QList<Step>{{"ZEV1", "/dev/A", abc, -1, false, 3, 0, false}, {"ZEV1", "/dev/B", abc, -1, false, 0, 3, false}}
            << qint64(3);
        QTest::newRow("two scanners")
            << QList<Step>{{"ZEV1", "/dev/A", abc, -1, false, 3, 0, false}, {"ZEV2", "/dev/A", abc, -1, false, 3, 0, false}}
            << qint64(6);
    }

    void exactlyOnce()
    {
        QFETCH(QList<Step>, steps);
        QFETCH(qint64, stored);
        auto ledger = openNew();
        QVERIFY(ledger);
        for (const Step &s : steps) {
            const QByteArray stream = ledgerStream(s.machineId, s.records, s.announced);
            const Recorded r = ledger->record(ledgerDownload(stream, s.port, s.announced < 0));
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(r.fresh, s.fresh);
            QCOMPARE(r.already, s.already);
            QCOMPARE(r.newGeneration, s.newGeneration);
            QCOMPARE(r.keyedByPort, s.machineId.isEmpty());
            if (s.eraseAfter)
                QVERIFY(ledger->markErased(r.scannerKey, r.generation));
        }
        const QList<RecordRow> rows = ledger->list({});
        QCOMPARE(rows.size(), stored);
        // Each (scanner, generation) holds positions 1..n without a gap or a repeat.
        QMap<QString, qint64> last;
        for (const RecordRow &row : rows) {
            const QString key = row.machineId + row.portDevice + QString::number(row.generation);
            QCOMPARE(row.position, last.value(key) + 1);
            last[key] = row.position;
        }
    }

    void recordsKeepTheirBytes()
    {
        auto ledger = openNew();
        QVERIFY(ledger);
        const QByteArray stream = ledgerStream("ZEV1", {"a,\"b\"", "", QString::fromLatin1("\xe9t\xe9")});
        QVERIFY(ledger->record(ledgerDownload(stream, QStringLiteral("/dev/A"))).ok);
        const QList<RecordRow> rows = ledger->list({});
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).data, QByteArray("a,\"b\""));
        QCOMPARE(rows.at(1).data, QByteArray());
        QCOMPARE(rows.at(2).data, QByteArray("\xe9t\xe9"));
        QCOMPARE(rows.at(0).stampText, QStringLiteral("2024-05-14 10:20:30"));
        QCOMPARE(rows.at(0).stamp, QByteArray::fromHex("28151e1a242e"));
        QCOMPARE(rows.at(0).collectedUtc, QDateTime(QDate(2026, 3, 4), QTime(10, 0)).toUTC());
        QCOMPARE(RecordsFile::write(rows.mid(0, 1), RecordExport::Format::Csv),
                 QByteArray("machine_id,port,generation,position,timestamp,data,collected\r\n"
                            "ZEV1,,1,1,2024-05-14 10:20:30,\"a,\"\"b\"\"\",")
                     + rows.at(0).collectedUtc.toString(Qt::ISODate).toLatin1() + "\r\n");

        // The same columns in a workbook: numbers, dates and text as such.
        QString error;
        const XlsxReader::Workbook book = XlsxReader::read(RecordsFile::write(rows, RecordExport::Format::Xlsx, &error));
        QVERIFY2(error.isEmpty() && book.error.isEmpty(), qPrintable(error + book.error));
        QVERIFY(!book.hasFormula);
        QCOMPARE(book.sheets.value(0).name, QStringLiteral("ZEV1"));
        QStringList cells;
        for (const QList<XlsxReader::Cell> &row : book.sheets.value(0).rows.mid(0, 3))
            for (const XlsxReader::Cell &c : row)
                cells << QStringLiteral("%1:%2").arg(c.kind).arg(c.date ? c.dateText() : c.value);
        const QString collected = QStringLiteral("2:") + rows.at(0).collectedUtc.toString(u"yyyy-MM-dd hh:mm:ss");
        QCOMPARE(cells, (QStringList{"1:Machine ID", "1:Port", "1:Generation", "1:Position", "1:Timestamp", "1:Data",
                                     "1:Collected (UTC)", "1:ZEV1", "0:", "2:1", "2:1", "2:2024-05-14 10:20:30",
                                     "1:a,\"b\"", collected, "1:ZEV1", "0:", "2:1", "2:2", "2:" + rows.at(1).stampText, "0:",
                                     collected}));
    }

    void queries()
    {
        auto ledger = openNew();
        QVERIFY(ledger);
        QVERIFY(ledger->record(ledgerDownload(ledgerStream("ZEV1", {"apple", "pear", "plum"}), "/dev/A")).ok);
        QVERIFY(ledger->record(ledgerDownload(ledgerStream("ZEV2", {"apple", "kiwi"}), "/dev/A")).ok);
        RecordFilter f;
        f.machines = QStringList{QStringLiteral("ZEV2")};
        QCOMPARE(ledger->list(f).size(), 2);
        f.text = QStringLiteral("pl");
        QCOMPARE(ledger->list(f).size(), 1);
        f.machines.clear();
        QCOMPARE(ledger->list(f).size(), 3);
        QCOMPARE(ledger->countsPerMachine(f), (QList<QPair<QString, qint64>>{{"ZEV1", 2}, {"ZEV2", 1}}));
        // "pear" and "plum" are dated 2024-05-01, "apple" 05-14, "kiwi" 05-24.
        RecordFilter dates;
        dates.since = QDate(2024, 5, 14);
        dates.until = QDate(2024, 5, 24);
        QCOMPARE(ledger->list(dates).size(), 3);
        QCOMPARE(ledger->countsPerDay({}), (QList<DayCount>{{QDate(2024, 5, 1), "ZEV1", 2}, {QDate(2024, 5, 14), "ZEV1", 1},
                                                            {QDate(2024, 5, 14), "ZEV2", 1}, {QDate(2024, 5, 24), "ZEV2", 1}}));
        // A later download from another station, cut short: the summary speaks of it, each row of its own download.
        LedgerDownload cut = ledgerDownload(ledgerStream("ZEV1", {"apple", "pear", "plum", "fig"}, 6), "/dev/B", false);
        cut.host = QStringLiteral("dock-2");
        cut.when = cut.when.addDays(1);
        QVERIFY(ledger->record(cut).ok);
        QList<ScannerStats> stats = ledger->stats();
        QCOMPARE(stats.size(), 2);
        QCOMPARE(stats.at(0).records, 4);
        QCOMPARE(stats.at(0).held, 4);
        QCOMPARE(stats.at(0).downloads, 2);
        QCOMPARE(stats.at(0).lastComplete, false);
        QCOMPARE(stats.at(0).lastStation, QStringLiteral("dock-2"));
        QCOMPARE(stats.at(1).lastComplete, true);
        QCOMPARE(stats.at(1).lastStation, QStringLiteral("station"));
        const QList<RecordRow> byStation = ledger->page({}, Ledger::Order::Station, true, 0, 10);
        QCOMPARE(byStation.size(), 6);
        QCOMPARE(byStation.first().data, QByteArray("kiwi")); // "station" first, then the last one stored
        QCOMPARE(byStation.last().station, QStringLiteral("dock-2"));
        QCOMPARE(byStation.last().data, QByteArray("fig"));
        QCOMPARE(ledger->page({}, Ledger::Order::Station, false, 3, 10).first().data, QByteArray("plum"));
    }

    // Each record reaches a sink once; a pending batch is never selected again.
    void exportBatches()
    {
        auto ledger = openNew();
        QVERIFY(ledger);
        QVERIFY(ledger->record(ledgerDownload(ledgerStream("ZEV1", {"a", "b", "c"}), "/dev/A")).ok);
        const ExportBatch first = ledger->newBatch(QStringLiteral("erp"));
        QCOMPARE(first.rows, 3);
        QCOMPARE(ledger->newBatch(QStringLiteral("erp")).id, 0);
        QCOMPARE(ledger->pendingBatches(QStringLiteral("erp")).size(), 1);
        QCOMPARE(ledger->batchRecords(first.id).size(), 3);
        QCOMPARE(ledger->newBatch(QStringLiteral("other")).rows, 3);
        QVERIFY(ledger->markDone(first.id));
        QVERIFY(ledger->pendingBatches(QStringLiteral("erp")).isEmpty());
        QVERIFY(ledger->batch(first.id)->done);
        QVERIFY(ledger->record(ledgerDownload(ledgerStream("ZEV1", {"a", "b", "c", "d"}), "/dev/A")).ok);
        const ExportBatch second = ledger->newBatch(QStringLiteral("erp"));
        QCOMPARE(second.rows, 1);
        QCOMPARE(ledger->batchRecords(second.id).first().data, QByteArray("d"));
        // One scanner's batch leaves the records of another, stored before, for the next batch.
        QVERIFY(ledger->record(ledgerDownload(ledgerStream("ZEV2", {"x", "y"}), "/dev/B")).ok);
        QVERIFY(ledger->record(ledgerDownload(ledgerStream("ZEV1", {"a", "b", "c", "d", "e"}), "/dev/A")).ok);
        QCOMPARE(ledger->newBatch(QStringLiteral("erp"), Ledger::scannerKey("ZEV1", {}), nullptr).rows, 1);
        const ExportBatch rest = ledger->newBatch(QStringLiteral("erp"));
        QCOMPARE(rest.rows, 2);
        QCOMPARE(ledger->batchRecords(rest.id).last().data, QByteArray("y"));
        QCOMPARE(ledger->newBatch(QStringLiteral("erp")).id, 0);
    }

    void importSkipsWhatItHolds()
    {
        auto ledger = openNew();
        QVERIFY(ledger);
        // Given out of order: the later memory first.
        const QString later = m_dir.filePath(QStringLiteral("2026-03-05_090000_ZEV1.raw"));
        const QString earlier = m_dir.filePath(QStringLiteral("2026-03-04_090000_ZEV1.raw"));
        TestFiles::write(later, ledgerStream("ZEV1", {"a", "b", "c"}));
        TestFiles::write(earlier, ledgerStream("ZEV1", {"a", "b"}));
        const QList<ImportedFile> first = importRaw(*ledger, {later, earlier}, QStringLiteral("station"));
        QCOMPARE(first.size(), 2);
        QCOMPARE(first.at(0).path, earlier);
        QCOMPARE(first.at(0).recorded.fresh, 2);
        QCOMPARE(first.at(1).recorded.fresh, 1);
        QCOMPARE(first.at(1).recorded.already, 2);
        const QList<ImportedFile> again = importRaw(*ledger, {earlier, later, m_dir.filePath("none.raw")}, "station");
        QCOMPARE(again.size(), 3);
        for (const ImportedFile &f : again)
            QCOMPARE(f.outcome, f.path.endsWith(QLatin1String("none.raw")) ? ImportedFile::Failed : ImportedFile::Skipped);
        QCOMPARE(ledger->list({}).size(), 3);
    }

    // A store of the first version is brought up to date and goes on exporting
    // where it was; one of a newer version is refused and left as it is.
    void storeVersions()
    {
        const QString path = m_dir.filePath(QStringLiteral("versions.sqlite"));
        auto poke = [&](const QStringList &statements) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("poke"));
                db.setDatabaseName(path);
                QVERIFY(db.open());
                for (const QString &sql : statements)
                    QVERIFY2(QSqlQuery(db).exec(sql), qPrintable(sql));
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("poke"));
        };
        {
            auto ledger = Ledger::open(path).ledger;
            QVERIFY(ledger);
            QVERIFY(ledger->record(ledgerDownload(ledgerStream("ZEV1", {"a", "b"}), "/dev/A")).ok);
            QCOMPARE(ledger->newBatch(QStringLiteral("erp")).rows, 2);
        }
        poke({"DROP TABLE export_floors", "DROP INDEX exported_batch", "CREATE INDEX exported_batch ON exported (batch_id)",
              "UPDATE ledger_meta SET value = '1' WHERE name = 'schema'"});
        {
            auto ledger = Ledger::open(path).ledger;
            QVERIFY(ledger);
            QVERIFY(ledger->record(ledgerDownload(ledgerStream("ZEV1", {"a", "b", "c"}), "/dev/A")).ok);
            QCOMPARE(ledger->newBatch(QStringLiteral("erp")).rows, 1);
        }
        poke({"UPDATE ledger_meta SET value = '99' WHERE name = 'schema'"});
        const Ledger::Opened o = Ledger::open(path);
        QVERIFY(!o.ledger);
        QVERIFY2(o.error.contains(QStringLiteral("made by a newer version of this program (store version 99")),
                 qPrintable(o.error));
        QVERIFY(Ledger::open(path).error.contains(QStringLiteral("99")));
    }

    void addresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("described");
        QTest::addColumn<QString>("error");
        QTest::newRow("path") << "/srv/r.sqlite" << "SQLite /srv/r.sqlite" << "";
        QTest::newRow("server") << "postgresql://zev@db.example:5433/records"
                                << "PostgreSQL database records on db.example:5433 as zev" << "";
        QTest::newRow("local socket") << "postgresql:///records" << "PostgreSQL database records on the local server" << "";
        QTest::newRow("password") << "postgresql://zev:secret@db/records" << "" << "a password never goes";
        QTest::newRow("two names") << "postgresql://db/a/b" << "" << "names one database";
    }

    void addresses()
    {
        QFETCH(QString, url);
        QFETCH(QString, described);
        QFETCH(QString, error);
        const LedgerLocation l = parseLedgerUrl(url);
        if (error.isEmpty()) {
            QVERIFY2(l.ok(), qPrintable(l.error));
            QCOMPARE(l.describe(), described);
            QCOMPARE(parseLedgerUrl(l.url()).describe(), described);
        } else {
            QVERIFY(l.error.startsWith(error) || l.error.contains(error));
            QVERIFY(!l.error.contains(QStringLiteral("secret")));
        }
    }
};

QTEST_GUILESS_MAIN(TestLedger)
#include "tst_ledger.moc"
