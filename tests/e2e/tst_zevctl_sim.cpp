// zevctl against zev-scanner-sim over a real pseudo-terminal.
#include "support/SimProcess.h"
#include "support/TestFiles.h"

#include <QFileInfo>
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

private Q_SLOTS:
    void login()
    {
        START_SIM(sim, QStringLiteral("--password"), QStringLiteral("Ab12"), QStringLiteral("--quiet"));
        QCOMPARE(runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("Ab12"), {QStringLiteral("login")})).status, 0);
        const ToolRun wrong = runTool(QStringLiteral("zevctl"), withPort(sim, QStringLiteral("ab12"), {QStringLiteral("login")}));
        QCOMPARE(wrong.status, 3);
        QVERIFY(wrong.err.contains("refused"));
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
        QVERIFY(missing.err.contains("/dev/zev-none"));
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
        QCOMPARE(refused.status, 5);
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
            QCOMPARE(r.out.count("\r\n\r\n"), 4);
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
            // A line that never pauses is given up after the time-out, well before the tool's 15 s.
            START_SIM(sim, fault, QStringLiteral("noise"), quiet);
            const ToolRun r = runTool(zevctl,
                                      withPort(sim, QStringLiteral("1234"),
                                               {QStringLiteral("download"), QStringLiteral("--timeout"), QStringLiteral("2")}),
                                      15000);
            QCOMPARE(r.status, 7);
            QVERIFY2(r.err.contains("stopped after 2 s"), r.err.constData());
        }
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
        QCOMPARE(after.out, QByteArray("0 record(s) received\r\n \r\n"));
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
    }
};

QTEST_GUILESS_MAIN(TestZevctlSim)
#include "tst_zevctl_sim.moc"
