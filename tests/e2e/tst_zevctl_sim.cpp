// zevctl against zev-scanner-sim over a real pseudo-terminal.
#include "support/Pty.h"
#include "support/SimProcess.h"
#include "support/TestFiles.h"
#include "support/XlsxReader.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList withPort(const SimProcess &sim, const QString &password, const QStringList &command)
{
    return QStringList{QStringLiteral("--port"), sim.device(), QStringLiteral("--password"), password} + command;
}
} // namespace

#define START_SIM(name, ...)                                                                                            \
    SimProcess name(QStringList{__VA_ARGS__});                                                                         \
    if (!name.started())                                                                                               \
        QSKIP(qPrintable(QStringLiteral("no simulator on a pseudo-terminal here: ") + name.error()));

class TestZevctlSim : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString archiveFolder() const { return m_dir.filePath(QStringLiteral("data/ZEV/downloads")); }

private Q_SLOTS:
    // zevctl archives every download: never into the real home.
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit()); }

    void login()
    {
        START_SIM(sim, QStringLiteral("--password"), QStringLiteral("Ab12"), QStringLiteral("--quiet"));
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("Ab12"), {QStringLiteral("login")})).status, 0);
        const ToolRun wrong = runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("ab12"), {QStringLiteral("login")}));
        QCOMPARE(wrong.status, 3);
        QVERIFY(wrong.err.contains("refused"));

        // A mapping stored with "ports --map" is what --port N means from then on.
        const ToolRun map = runTool(QStringLiteral("zevctl"), {QStringLiteral("ports"), QStringLiteral("--map"),
                                                               QStringLiteral("7=") + sim.device()});
        QCOMPARE(map.status, 0);
        QVERIFY(QString::fromUtf8(map.out).contains(
            QRegularExpression(QStringLiteral("\n  COM 7 +%1 +setting\n").arg(QRegularExpression::escape(sim.device())))));
        const ToolRun byNumber = runTool(QStringLiteral("zevctl"), {QStringLiteral("--port"), QStringLiteral("7"),
                                                                    QStringLiteral("--password"), QStringLiteral("Ab12"),
                                                                    QStringLiteral("login")});
        QCOMPARE(byNumber.status, 0);
        const ToolRun unmap = runTool(QStringLiteral("zevctl"), {QStringLiteral("ports"), QStringLiteral("--unmap"), QStringLiteral("7")});
        QVERIFY(unmap.out.contains("platform default"));
        QVERIFY(!unmap.out.contains(sim.device().toUtf8()));
    }

    void loginFailures()
    {
        START_SIM(silent, QStringLiteral("--fault"), QStringLiteral("silent"), QStringLiteral("--quiet"));
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(silent, QStringLiteral("1234"), {QStringLiteral("login")})).status, 4);
        START_SIM(oneByte, QStringLiteral("--fault"), QStringLiteral("one-byte"), QStringLiteral("--quiet"));
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(oneByte, QStringLiteral("1234"), {QStringLiteral("login")})).status, 4);
        START_SIM(garbled, QStringLiteral("--fault"), QStringLiteral("garbled"), QStringLiteral("--quiet"));
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(garbled, QStringLiteral("1234"), {QStringLiteral("login")})).status, 5);
        const ToolRun missing = runTool(QStringLiteral("zevctl"), {QStringLiteral("--port"), QStringLiteral("/dev/zev-none"),
                                                                   QStringLiteral("login")});
        QCOMPARE(missing.status, 2);
        QVERIFY(missing.err.contains("cannot open /dev/zev-none: No such file or directory (the device is not there"));
    }

    void transmitLeavesTheFileImageInTheScanner()
    {
        START_SIM(sim);
        const QString file = TestFiles::binDir() + QStringLiteral("/Default.mag");
        const ToolRun r = runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("transmit"), file}));
        QCOMPARE(r.status, 0);
        const ToolRun shown = runTool(QStringLiteral("zevctl"), {QStringLiteral("show"), file});
        QString expected = QString::fromLatin1(shown.out);
        expected = expected.left(expected.lastIndexOf(QLatin1Char('\n'), -2)).remove(QLatin1Char(' ')).remove(QLatin1Char('\n'));
        QTRY_VERIFY_WITH_TIMEOUT(sim.log().contains(QStringLiteral("image ") + expected), 5000);

        const ToolRun refused = runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("9999"), {QStringLiteral("transmit"), file}));
        QCOMPARE(refused.status, 3);
        QTemporaryDir dir;
        TestFiles::write(dir.filePath(QStringLiteral("bad.msr")), "short");
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("transmit"), dir.filePath(QStringLiteral("bad.msr"))})).status, 6);
    }

    void downloadEveryRecordAtTheLineRate()
    {
        START_SIM(sim, QStringLiteral("--records"), QStringLiteral("2000"), QStringLiteral("--seed"), QStringLiteral("7"),
                  QStringLiteral("--quiet"));
        const QString raw = m_dir.filePath(QStringLiteral("raw.bin"));
        const ToolRun r = runTool(QStringLiteral("zevctl"),
                                  withPort(sim, QStringLiteral("1234"),
                                           {QStringLiteral("download"), QStringLiteral("--rtc"), QStringLiteral("--mid"),
                                            QStringLiteral("--raw"), raw}),
                                  120000);
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("Machine ID: ZEV00001\r\n\r\n2000 record(s) received\r\n \r\n"));
        static const QRegularExpression stamp(QStringLiteral("\r\n\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"));
        QCOMPARE(QString::fromLatin1(r.out).count(stamp), 2000);
        // The raw stream replays to the same text.
        const ToolRun again = runTool(QStringLiteral("zevctl"), {QStringLiteral("assemble"), raw, QStringLiteral("--rtc"),
                                                                 QStringLiteral("--mid")});
        QCOMPARE(again.status, 0);
        QCOMPARE(again.out, r.out);
    }

    // A download that ends early still writes what came and says so.
    void downloadEndingEarly()
    {
        const QString zevctl = QStringLiteral("zevctl");
        const QString records = QStringLiteral("--records");
        const QString fault = QStringLiteral("--fault");
        const QString quiet = QStringLiteral("--quiet");
        {
            // The check's Ack is 5 of the 1000 bytes.
            START_SIM(sim, records, QStringLiteral("200"), fault, QStringLiteral("hangup:1000"), quiet);
            const QString raw = m_dir.filePath(QStringLiteral("hangup.bin"));
            const ToolRun r = runTool(zevctl, withPort(sim, QStringLiteral("1234"),
                                                       {QStringLiteral("download"), QStringLiteral("--raw"), raw}));
            QCOMPARE(r.status, 7);
            QVERIFY(r.out.startsWith("200 record(s) received\r\n \r\n"));
            QVERIFY2(r.err.contains(" of 200 records"), r.err.constData());
            QCOMPARE(QFileInfo(raw).size(), 995);
            const ToolRun again = runTool(zevctl, {QStringLiteral("assemble"), raw});
            QCOMPARE(again.out, r.out);
        }
        {
            START_SIM(sim, records, QStringLiteral("30"), fault, QStringLiteral("short:4"), quiet);
            const ToolRun r = runTool(zevctl, withPort(sim, QStringLiteral("1234"), {QStringLiteral("download")}));
            QCOMPARE(r.status, 7);
            QVERIFY2(r.err.contains("received 4 of 30 records"), r.err.constData());
            QVERIFY(r.out.endsWith("\r\n"));
            QCOMPARE(r.out.chopped(2).count("\r\n\r\n"), 4); // the text, without the CR LF a saved file ends with
        }
        {
            START_SIM(sim, records, QStringLiteral("3"), fault, QStringLiteral("silent-download"), quiet);
            const ToolRun r = runTool(zevctl, withPort(sim, QStringLiteral("1234"), {QStringLiteral("download")}));
            QCOMPARE(r.status, 4);
            QVERIFY(r.out.isEmpty());
        }
        {
            START_SIM(sim, records, QStringLiteral("3"), quiet);
            const ToolRun r = runTool(zevctl, withPort(sim, QStringLiteral("9999"), {QStringLiteral("download")}));
            QCOMPARE(r.status, 3);
            QVERIFY(r.out.isEmpty());
        }
        {
            // A line that never pauses is given up after the time-out, well
            // before the tool's 15 s; what came is no download.
            START_SIM(sim, fault, QStringLiteral("noise"), quiet);
            const ToolRun r = runTool(zevctl,
                                      withPort(sim, QStringLiteral("1234"),
                                               {QStringLiteral("download"), QStringLiteral("--timeout"), QStringLiteral("2")}),
                                      15000);
            QCOMPARE(r.status, 5);
            QVERIFY2(r.err.contains("does not begin with its header"), r.err.constData());
            QVERIFY2(r.err.contains("stopped after 2 s"), r.err.constData());
        }
    }

    // The records as CSV and JSON; the archive holds exactly the bytes --raw keeps.
    void recordsAsDataAndTheArchive()
    {
        START_SIM(sim, QStringLiteral("--records"), QStringLiteral("2000"), QStringLiteral("--seed"), QStringLiteral("11"),
                  QStringLiteral("--pace"), QStringLiteral("0"), QStringLiteral("--quiet"));
        QDir(archiveFolder()).removeRecursively();
        const QString raw = m_dir.filePath(QStringLiteral("csv.raw"));
        const ToolRun r = runTool(QStringLiteral("zevctl"),
                                  withPort(sim, QStringLiteral("1234"),
                                           {QStringLiteral("download"), QStringLiteral("--format"), QStringLiteral("csv"),
                                            QStringLiteral("--raw"), raw}));
        QCOMPARE(r.status, 0);
        QList<QStringList> rows = TestFiles::parseCsv(QString::fromUtf8(r.out));
        QCOMPARE(rows.takeFirst(), (QStringList{"machine_id", "timestamp", "data"}));
        QCOMPARE(rows.size(), 2000);
        static const QRegularExpression stamp(QStringLiteral("^20\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
        for (const QStringList &row : rows) {
            QCOMPARE(row.size(), 3);
            QCOMPARE(row[0], QStringLiteral("ZEV00001"));
            QVERIFY2(stamp.match(row[1]).hasMatch(), qPrintable(row[1]));
        }
        const QStringList archived = QDir(archiveFolder()).entryList(QDir::Files);
        QCOMPARE(archived.size(), 1);
        QVERIFY2(archived[0].endsWith(QStringLiteral("_ZEV00001.raw")), qPrintable(archived[0]));
        QCOMPARE(TestFiles::read(QDir(archiveFolder()).filePath(archived[0])), TestFiles::read(raw));

        const ToolRun json = runTool(QStringLiteral("zevctl"), {QStringLiteral("assemble"), raw, QStringLiteral("--format"),
                                                                QStringLiteral("json")});
        QCOMPARE(json.status, 0);
        const QJsonObject o = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(o.value(u"received").toInt(), 2000);
        QCOMPARE(o.value(u"complete").toBool(), true);

        // A spreadsheet in a folder takes the machine ID's name; every row is there, data as text.
        const QString folder = m_dir.filePath(QStringLiteral("xlsx"));
        QVERIFY(QDir().mkpath(folder));
        const ToolRun xlsx = runTool(QStringLiteral("zevctl"), {QStringLiteral("assemble"), raw, QStringLiteral("--format"),
                                                                QStringLiteral("xlsx"), QStringLiteral("-o"), folder});
        QCOMPARE(xlsx.status, 0);
        const XlsxReader::Workbook book = XlsxReader::read(TestFiles::read(folder + QStringLiteral("/ZEV00001.xlsx")));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        QCOMPARE(book.sheets.value(0).rows.size(), 2001);
        for (qsizetype i = 1; i < book.sheets[0].rows.size(); ++i) {
            const QList<XlsxReader::Cell> &row = book.sheets[0].rows[i];
            QCOMPARE(row.value(0).value, QStringLiteral("ZEV00001"));
            QCOMPARE(row.value(1).dateText(), rows[i - 1][1]);
            QCOMPARE(row.value(2).kind, XlsxReader::Cell::Text);
            QCOMPARE(row.value(2).value, rows[i - 1][2]);
        }
        // Not onto a terminal: a workbook there would only garble the screen.
        Pty terminal;
        QVERIFY2(terminal.isValid(), qPrintable(terminal.error()));
        QProcess toTerminal;
        toTerminal.setStandardOutputFile(terminal.slavePath());
        toTerminal.start(TestFiles::binDir() + QStringLiteral("/zevctl"),
                         {QStringLiteral("assemble"), raw, QStringLiteral("--format"), QStringLiteral("xlsx")});
        QVERIFY(toTerminal.waitForFinished(60000));
        QCOMPARE(toTerminal.exitCode(), 1);
        QVERIFY(toTerminal.readAllStandardError().contains("give -o FILE or redirect stdout"));
        QVERIFY(terminal.read(100).isEmpty());

        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"),
                                                            {QStringLiteral("download"), QStringLiteral("--no-archive")}))
                     .status,
                 0);
        QCOMPARE(QDir(archiveFolder()).entryList(QDir::Files).size(), 1);
    }

    // Four scanners at once: one refuses, the other three are done; the highest status is the exit status.
    void manyPortsAtOnce()
    {
        START_SIM(a, QStringLiteral("--machine-id"), QStringLiteral("MID00001"), QStringLiteral("--records"), QStringLiteral("3"), QStringLiteral("--quiet"));
        START_SIM(b, QStringLiteral("--machine-id"), QStringLiteral("MID00002"), QStringLiteral("--records"), QStringLiteral("3"), QStringLiteral("--quiet"));
        START_SIM(refusing, QStringLiteral("--fault"), QStringLiteral("refuse"), QStringLiteral("--quiet"));
        START_SIM(d, QStringLiteral("--machine-id"), QStringLiteral("MID00004"), QStringLiteral("--records"), QStringLiteral("3"), QStringLiteral("--quiet"));
        const QStringList ports{QStringLiteral("--port"), a.device(), QStringLiteral("--port"), b.device(),
                                QStringLiteral("--port"), refusing.device(), QStringLiteral("--port"), d.device(),
                                QStringLiteral("--password"), QStringLiteral("1234")};
        const QString file = TestFiles::binDir() + QStringLiteral("/Default.mag");
        for (const QStringList &command : {QStringList{QStringLiteral("login")}, QStringList{QStringLiteral("transmit"), file}}) {
            const ToolRun run = runTool(QStringLiteral("zevctl"), ports + command);
            QCOMPARE(run.status, 3);
            const QStringList lines = QString::fromLocal8Bit(run.err).split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), 4);
            for (const SimProcess *done : {&a, &b, &d})
                QVERIFY2(lines.contains(done->device() + QStringLiteral(": done")), qPrintable(run.err));
            QVERIFY2(lines.filter(refusing.device() + QStringLiteral(": refused by the scanner")).size() == 1, qPrintable(run.err));
        }

        const QString out = m_dir.filePath(QStringLiteral("many"));
        QVERIFY(QDir().mkpath(out));
        const ToolRun download = runTool(QStringLiteral("zevctl"), ports + QStringList{QStringLiteral("download"), QStringLiteral("--format"),
                                                                                       QStringLiteral("json"), QStringLiteral("-o"), out});
        QCOMPARE(download.status, 3);
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 (QStringList{"MID00001.json", "MID00002.json", "MID00004.json"}));
        QCOMPARE(runTool(QStringLiteral("zevctl"), ports + QStringList{QStringLiteral("download")}).status, 1);
    }

    // A stopped download leaves the scanner sending: the next exchange waits
    // for a quiet line and is judged on its own reply alone.
    void nextExchangeAfterAStoppedDownload_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("next");
        QTest::addColumn<int>("status");
        QTest::newRow("a second download") << QStringLiteral("1234")
                                           << QStringList{QStringLiteral("download"), QStringLiteral("--format"),
                                                          QStringLiteral("json"), QStringLiteral("--no-archive")}
                                           << 0;
        QTest::newRow("login with a wrong password") << QStringLiteral("9999") << QStringList{QStringLiteral("login")} << 3;
    }

    void nextExchangeAfterAStoppedDownload()
    {
        QFETCH(QString, password);
        QFETCH(QStringList, next);
        QFETCH(int, status);
        // About 5 s of stream at the line rate.
        const QStringList scanner{QStringLiteral("--records"), QStringLiteral("400"), QStringLiteral("--seed"),
                                  QStringLiteral("5"), QStringLiteral("--clock"), QStringLiteral("2025-06-01 10:00:00"),
                                  QStringLiteral("--quiet")};
        START_SIM(sim, scanner);
        const ToolRun stopped = runTool(QStringLiteral("zevctl"),
                                        withPort(sim, QStringLiteral("1234"),
                                                 {QStringLiteral("download"), QStringLiteral("--timeout"),
                                                  QStringLiteral("3"), QStringLiteral("--no-archive")}));
        QCOMPARE(stopped.status, 7);
        const ToolRun after = runTool(QStringLiteral("zevctl"), withPort(sim, password, next));
        QVERIFY2(after.status == status, after.err.constData());
        QVERIFY2(after.err.contains("the scanner is still sending: waiting until it has finished"), after.err.constData());
        if (status != 0)
            return;
        START_SIM(fresh, scanner + QStringList{QStringLiteral("--pace"), QStringLiteral("0")});
        const ToolRun alone = runTool(QStringLiteral("zevctl"), withPort(fresh, QStringLiteral("1234"), next));
        QCOMPARE(alone.status, 0);
        QCOMPARE(QJsonDocument::fromJson(after.out).object().value(u"received").toInt(), 400);
        // What the store already held differs between the two; the download itself may not.
        QJsonObject afterObject = QJsonDocument::fromJson(after.out).object();
        QJsonObject aloneObject = QJsonDocument::fromJson(alone.out).object();
        afterObject.remove(u"new");
        aloneObject.remove(u"new");
        QCOMPARE(afterObject, aloneObject);
    }

    // Replies in pieces, late, or cut by a lost line.
    void acknowledgementsInPiecesAndLate_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("status");
        const QStringList passwd{QStringLiteral("passwd"), QStringLiteral("Late7")};
        QTest::newRow("passwd 0.5 s late") << QStringLiteral("delay:500") << passwd << 0;
        QTest::newRow("passwd 1.5 s late") << QStringLiteral("delay:1500") << passwd << 0;
        QTest::newRow("erase, line lost inside the Ack") << QStringLiteral("hangup:9")
                                                         << QStringList{QStringLiteral("erase"), QStringLiteral("--yes")} << 4;
        QTest::newRow("passwd, line lost inside the Ack") << QStringLiteral("hangup:9") << passwd << 4;
    }

    void acknowledgementsInPiecesAndLate()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, command);
        QFETCH(int, status);
        START_SIM(sim, QStringLiteral("--fault"), fault, QStringLiteral("--quiet"));
        const ToolRun r = runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), command));
        QVERIFY2(r.status == status, r.err.constData());
        if (command.first() != QLatin1String("passwd") || status != 0)
            return;
        // Every late reply has come; then the new password logs in and the old one does not.
        QTest::qWait(3000);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("Late7"), {QStringLiteral("login")})).status, 0);
        QTest::qWait(3000);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("login")})).status, 3);
    }

    // The whole stream, ETX included, came before the line dropped: nothing is missing.
    void lineLostAfterTheLastByte()
    {
        QTemporaryDir dir;
        TestFiles::write(dir.filePath(QStringLiteral("codes")), "A1\nA2\nA3\nA4\nA5\n");
        // The check's Ack, then header (14), five records of 6 + 3 + 2 bytes, ETX.
        START_SIM(sim, QStringLiteral("--records-file"), dir.filePath(QStringLiteral("codes")), QStringLiteral("--fault"),
                  QStringLiteral("hangup:75"), QStringLiteral("--quiet"));
        const QString raw = dir.filePath(QStringLiteral("all.raw"));
        const ToolRun r = runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"),
                                                                     {QStringLiteral("download"), QStringLiteral("--raw"), raw}));
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(QFileInfo(raw).size(), 70);
        // Five records, each ending in an empty line, and the CR LF after the whole text.
        QVERIFY2(r.out.endsWith("A5\r\n\r\n\r\n"), r.out.constData());
        QCOMPARE(r.out.count("\r\n\r\n"), 6);
    }

    // SIGTERM stops a download like Stop: what arrived is written everywhere.
    void signalStopsADownload()
    {
        START_SIM(sim, QStringLiteral("--records"), QStringLiteral("400"), QStringLiteral("--machine-id"),
                  QStringLiteral("SIG00001"), QStringLiteral("--quiet"));
        QDir(archiveFolder()).removeRecursively();
        const QString raw = m_dir.filePath(QStringLiteral("signal.raw"));
        const ToolRun r = runTool(QStringLiteral("zevctl"),
                                  withPort(sim, QStringLiteral("1234"), {QStringLiteral("download"), QStringLiteral("--raw"), raw}),
                                  60000, 2000);
        QCOMPARE(r.status, 143);
        QVERIFY2(r.err.contains(" of 400 records (stopped by signal SIGTERM)"), r.err.constData());
        const QByteArray kept = TestFiles::read(raw);
        QVERIFY(kept.size() > 1000);
        const QStringList archived = QDir(archiveFolder()).entryList(QDir::Files);
        QCOMPARE(archived.size(), 1);
        QCOMPARE(TestFiles::read(QDir(archiveFolder()).filePath(archived[0])), kept);
        const ToolRun again = runTool(QStringLiteral("zevctl"), {QStringLiteral("assemble"), raw});
        QCOMPARE(again.status, 0);
        QCOMPARE(again.out, r.out);
    }

    // One device under two names runs once or not at all.
    void oneDeviceTwice()
    {
        START_SIM(sim);
        const QString link = m_dir.filePath(QStringLiteral("scanner-link"));
        QFile::remove(link);
        QVERIFY(QFile::link(sim.device(), link));
        QTest::qWait(300);
        const QString heard = sim.log();
        const ToolRun r = runTool(QStringLiteral("zevctl"), {QStringLiteral("--port"), sim.device(), QStringLiteral("--port"),
                                                             link, QStringLiteral("login")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("are the same device"), r.err.constData());
        QTest::qWait(300);
        QCOMPARE(sim.log(), heard);
    }

    void assembleRefusesACutHeader()
    {
        const QString raw = m_dir.filePath(QStringLiteral("cut.bin"));
        TestFiles::write(raw, "\x02ZEV0");
        const ToolRun r = runTool(QStringLiteral("zevctl"), {QStringLiteral("assemble"), raw});
        QCOMPARE(r.status, 5);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.isEmpty());
    }

    void eraseEmptiesTheScanner()
    {
        START_SIM(sim, QStringLiteral("--records"), QStringLiteral("5"), QStringLiteral("--erase-delay"), QStringLiteral("500"));
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("erase")})).status, 1);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("erase"), QStringLiteral("--yes")})).status, 0);
        const ToolRun after = runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("download")}));
        QCOMPARE(after.status, 0);
        QCOMPARE(after.out, QByteArray("0 record(s) received\r\n \r\n\r\n")); // as Save As writes it
    }

    void setClockTakesThePcTime()
    {
        START_SIM(sim, QStringLiteral("--clock"), QStringLiteral("2001-02-03 04:05:06"));
        const ToolRun r = runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("set-clock")}));
        QCOMPARE(r.status, 0);
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QTRY_VERIFY_WITH_TIMEOUT(sim.log().contains(QStringLiteral("clock ") + today), 5000);
    }

    void passwdChangesThePassword()
    {
        START_SIM(sim);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("passwd"), QStringLiteral("new9")})).status, 0);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("1234"), {QStringLiteral("login")})).status, 3);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("new9"), {QStringLiteral("login")})).status, 0);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("new9"), {QStringLiteral("passwd"), QStringLiteral("no-dash")})).status, 1);
        // What no password box takes is refused before the line is touched.
        QTest::qWait(300); // the simulator's log of what came before
        const QString heard = sim.log();
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("abcd12345"), {QStringLiteral("login")})).status, 1);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("new 9"), {QStringLiteral("download")})).status, 1);
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("new9"), {QStringLiteral("passwd"), QStringLiteral("n\u00e9w")})).status, 1);
        QTest::qWait(300);
        QCOMPARE(sim.log(), heard);

        // A scanner 0.6 s late: the check's second Ack comes in after "C" went out.
        START_SIM(late, QStringLiteral("--fault"), QStringLiteral("delay:600"), QStringLiteral("--quiet"));
        const ToolRun changed = runTool(QStringLiteral("zevctl"), withPort(late, QStringLiteral("1234"), {QStringLiteral("passwd"), QStringLiteral("Late6")}));
        QVERIFY2(changed.status == 0, changed.err.constData());
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(late, QStringLiteral("Late6"), {QStringLiteral("login")})).status, 0);
    }
};

QTEST_GUILESS_MAIN(TestZevctlSim)
#include "tst_zevctl_sim.moc"
