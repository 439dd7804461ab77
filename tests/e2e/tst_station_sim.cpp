// zevctl watch against simulated scanners docked and taken out on real pseudo-terminals.
#include "support/SimProcess.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include <csignal>
#include <sys/stat.h>

namespace {

// One zevctl watch, its stderr read as it comes.
class Watch
{
public:
    explicit Watch(const QStringList &args)
    {
        m_process.start(TestFiles::binDir() + QStringLiteral("/zevctl"), QStringList{QStringLiteral("watch")} + args);
        m_process.waitForStarted(10000);
    }
    ~Watch()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString log()
    {
        m_log += QString::fromLocal8Bit(m_process.readAllStandardError());
        return m_log;
    }
    // Waits until text has appeared count times in the log.
    bool waitFor(const QString &text, int count = 1)
    {
        QElapsedTimer t;
        t.start();
        while (log().count(text) < count) {
            if (t.elapsed() > 60000 || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
        }
        return true;
    }
    // SIGTERM; the exit status, or -1 when it does not end.
    int terminate(qint64 *ms = nullptr)
    {
        QElapsedTimer t;
        t.start();
        m_process.terminate();
        const bool ended = m_process.waitForFinished(10000);
        if (ms)
            *ms = t.elapsed();
        log();
        return ended && m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QProcess m_process;
    QString m_log;
};

void control(const QString &pipe, const QByteArray &line)
{
    QFile f(pipe);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(f.errorString()));
    QCOMPARE(f.write(line + '\n'), line.size() + 1);
}

// The data rows of an exported CSV file.
QList<QStringList> rows(const QString &path)
{
    QList<QStringList> all = TestFiles::parseCsv(QString::fromUtf8(TestFiles::read(path)));
    if (!all.isEmpty())
        all.removeFirst();
    return all;
}

} // namespace

#define START_SIM(name, ...)                                                                                            \
    name.emplace(QStringList{__VA_ARGS__});                                                                            \
    if (!name->started())                                                                                              \
        QSKIP(qPrintable(QStringLiteral("no simulator on a pseudo-terminal here: ") + name->error()));

class TestStationSim : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_out;
    QString m_commandLog;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    // What CMD saw, one run a line: PORT|MACHINE|NEW|RECEIVED|ANNOUNCED|STATUS|FILE|QT_NO_GLIB.
    QList<QStringList> commandRuns() const
    {
        QList<QStringList> runs;
        const QString text = QString::fromUtf8(TestFiles::read(m_commandLog));
        for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            runs << line.split(QLatin1Char('|'));
        return runs;
    }
    QStringList watchArgs(const QStringList &ports) const
    {
        QStringList args;
        for (const QString &p : ports)
            args << QStringLiteral("--port") << path(p);
        return args + QStringList{"--password", "1234", "--erase", "--export-dir", m_out, "--interval", "0.2", "--exec",
                                  QStringLiteral("echo \"$ZEV_PORT|$ZEV_MACHINE_ID|$ZEV_NEW|$ZEV_RECEIVED|$ZEV_ANNOUNCED|"
                                                 "$ZEV_STATUS|$ZEV_FILE|$QT_NO_GLIB\" >> ")
                                      + m_commandLog};
    }

private Q_SLOTS:
    void init()
    {
        // A store, an export folder and settings of the test's own each time.
        static int run = 0;
        const QString home = path(QStringLiteral("run%1").arg(++run));
        QDir().mkpath(home + QStringLiteral("/out"));
        QDir().mkpath(home + QStringLiteral("/config"));
        qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toLocal8Bit());
        m_out = home + QStringLiteral("/out");
        m_commandLog = home + QStringLiteral("/commands.log");
    }

    void eachDockingIsCollectedOnce()
    {
        std::optional<SimProcess> a, b;
        START_SIM(a, "--machine-id", "STATA", "--records", "30", "--memory", path("a.mem"), "--control", path("a.ctl"),
                  "--link", path("a.tty"), "--pace", "0", "--erase-delay", "200");
        START_SIM(b, "--machine-id", "STATB", "--records", "20", "--memory", path("b.mem"), "--control", path("b.ctl"),
                  "--link", path("b.tty"), "--pace", "0", "--fault", "short:5", "--undocked");
        Watch watch(watchArgs({"a.tty", "b.tty"}));

        // A docked with 30 records: one file of 30, erased, the command run once.
        QTRY_COMPARE_WITH_TIMEOUT(commandRuns().size(), 1, 30000);
        QStringList run = commandRuns().at(0);
        QCOMPARE(run.mid(0, 6), (QStringList{path("a.tty"), "STATA", "30", "30", "30", "0"}));
        QCOMPARE(QDir(m_out).entryList(QDir::Files).size(), 1);
        QVERIFY2(QFileInfo(run[6]).fileName().startsWith(QStringLiteral("STATA-")), qPrintable(run[6]));
        // zevctl's own choice of event loop is not handed on to the command.
        QCOMPARE(run.value(7), QString());
        QCOMPARE(rows(run[6]).size(), 30);
        QVERIFY(a->log().contains(QStringLiteral("<- E erase")));

        // Left docked: five probes and nothing more.
        const qsizetype probes = a->log().count(QStringLiteral("<- P password check"));
        QTRY_VERIFY_WITH_TIMEOUT(a->log().count(QStringLiteral("<- P password check")) >= probes + 5, 20000);
        QCOMPARE(commandRuns().size(), 1);
        QCOMPARE(a->log().count(QStringLiteral("<- D download")), 1);
        QCOMPARE(QDir(m_out).entryList(QDir::Files).size(), 1);

        // Taken out, 10 scanned, docked again: those 10 alone.
        control(path("a.ctl"), "out");
        QVERIFY2(watch.waitFor(path("a.tty") + QStringLiteral(": the scanner left the port")), qPrintable(watch.log()));
        control(path("a.ctl"), "add 10");
        control(path("a.ctl"), "dock");
        QTRY_COMPARE_WITH_TIMEOUT(commandRuns().size(), 2, 30000);
        run = commandRuns().at(1);
        QCOMPARE(run.mid(1, 5), (QStringList{"STATA", "10", "10", "10", "0"}));
        QCOMPARE(QDir(m_out).entryList(QDir::Files).size(), 2);
        QCOMPARE(rows(run[6]).size(), 10);

        // B cut short: the records that came, B not erased, the status of an incomplete download.
        control(path("b.ctl"), "dock");
        QTRY_COMPARE_WITH_TIMEOUT(commandRuns().size(), 3, 30000);
        run = commandRuns().at(2);
        QCOMPARE(run.mid(0, 6), (QStringList{path("b.tty"), "STATB", "5", "5", "20", "7"}));
        QCOMPARE(rows(run[6]).size(), 5);
        QVERIFY(!b->log().contains(QStringLiteral("<- E erase")));

        // B back healthy with the same memory: only the rest, then erased.
        b.reset();
        QVERIFY2(watch.waitFor(path("b.tty") + QStringLiteral(": the scanner left the port")), qPrintable(watch.log()));
        START_SIM(b, "--memory", path("b.mem"), "--link", path("b.tty"), "--pace", "0", "--erase-delay", "200");
        QTRY_COMPARE_WITH_TIMEOUT(commandRuns().size(), 4, 30000);
        run = commandRuns().at(3);
        QCOMPARE(run.mid(1, 5), (QStringList{"STATB", "15", "20", "20", "0"}));
        const QList<QStringList> rest = rows(run[6]);
        QCOMPARE(rest.size(), 15);
        QCOMPARE(rest.first().at(3), QStringLiteral("6")); // the position after the five that came before
        QVERIFY(b->log().contains(QStringLiteral("<- E erase")));
        QCOMPARE(QDir(m_out).entryList(QDir::Files).size(), 4);

        QCOMPARE(watch.terminate(), 0);
        QVERIFY(watch.log().endsWith(QStringLiteral("zevctl watch: stopped\n")));
    }

    // SIGTERM during a download: what came is kept, and the next run hands every record over once.
    void stopDuringACollection()
    {
        std::optional<SimProcess> c;
        START_SIM(c, "--machine-id", "STATC", "--records", "600", "--link", path("c.tty"), "--pace", "4000");
        std::optional<Watch> watch(std::in_place, watchArgs({"c.tty"}));
        QVERIFY(watch->waitFor(QStringLiteral("a scanner answers: collecting")));
        QTRY_VERIFY_WITH_TIMEOUT(c->log().contains(QStringLiteral("<- D download")), 10000);
        QTest::qWait(1000);
        qint64 ms = 0;
        QCOMPARE(watch->terminate(&ms), 0);
        qInfo("zevctl watch ended %lld ms after SIGTERM", ms);
        const QString first = watch->log();
        QVERIFY2(first.contains(QStringLiteral("stopped during the collection (status 7)")), qPrintable(first));
        static const QRegularExpression kept(QStringLiteral(": (\\d+) new, 0 already collected"));
        const QRegularExpressionMatch m = kept.match(first);
        QVERIFY2(m.hasMatch(), qPrintable(first));
        const int before = m.captured(1).toInt();
        QVERIFY(before > 0 && before < 600);
        QVERIFY(commandRuns().isEmpty());
        QVERIFY(!c->log().contains(QStringLiteral("<- E erase")));

        // The scanner is still sending the stopped download: the next run waits for it, then collects.
        watch.emplace(watchArgs({"c.tty"}));
        QTRY_COMPARE_WITH_TIMEOUT(commandRuns().size(), 1, 60000);
        const QStringList run = commandRuns().at(0);
        QCOMPARE(run.mid(1, 5), (QStringList{"STATC", QString::number(600 - before), "600", "600", "0"}));
        QSet<QString> positions;
        qsizetype total = 0;
        for (const QString &file : QDir(m_out).entryList(QDir::Files)) {
            for (const QStringList &row : rows(QDir(m_out).filePath(file))) {
                positions.insert(row.at(2) + QLatin1Char('/') + row.at(3));
                ++total;
            }
        }
        QCOMPARE(total, 600);
        QCOMPARE(positions.size(), 600);
        QCOMPARE(watch->terminate(), 0);
    }

    // The password is taken from the settings only when the file is its owner's alone.
    void settingsHoldThePasswordPrivately()
    {
        const QString zevctl = QStringLiteral("zevctl");
        const ToolRun saved = runTool(zevctl, {"watch", "--port", path("none.tty"), "--password", "1234", "--interval",
                                               "0.5", "--save"});
        QCOMPARE(saved.status, 0);
        const QString file = QString::fromLocal8Bit(saved.out).section(QStringLiteral(" in "), 1).trimmed();
        QVERIFY2(QFileInfo(file).isFile(), qPrintable(file));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);

        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0644), 0);
        const ToolRun refused = runTool(zevctl, {"watch"});
        QCOMPARE(refused.status, 6);
        QVERIFY2(refused.err.contains("the file's permissions are 0644"), refused.err.constData());
        // A password on the command line needs nothing of the file.
        const ToolRun usage = runTool(zevctl, {"watch", "--password", "1234", "--interval", "0"});
        QCOMPARE(usage.status, 1);
        QVERIFY2(usage.err.contains("--interval takes seconds"), usage.err.constData());

        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0600), 0);
        Watch watch({});
        QVERIFY2(watch.waitFor(path("none.tty") + QStringLiteral(": no device; waiting for it")), qPrintable(watch.log()));
        QCOMPARE(watch.terminate(), 0);
        QCOMPARE(watch.log().count(QStringLiteral("no device")), 1);
    }
};

QTEST_GUILESS_MAIN(TestStationSim)
#include "tst_station_sim.moc"
