// The collected-records store end to end: zevctl collect and records against
// zev-scanner-sim. The same table runs on SQLite and, under pg_virtualenv
// (ZEV_TEST_POSTGRES=1), on PostgreSQL.
#include "support/SimProcess.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <vector>

class TestLedgerSim : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_url;
    bool m_postgres = false;

    // A store of its own for each test.
    bool newStore(const QString &name)
    {
        if (!m_postgres) {
            m_url = m_dir.filePath(name + QStringLiteral(".sqlite"));
            return true;
        }
        m_url = QStringLiteral("postgresql:///") + name;
        return QProcess::execute(QStringLiteral("createdb"), {name}) == 0;
    }

    ToolRun zevctl(const QStringList &args, int timeoutMs = 60000)
    {
        return runTool(QStringLiteral("zevctl"), QStringList{QStringLiteral("--ledger"), m_url} + args, timeoutMs);
    }

    QStringList collectArgs(const SimProcess &sim, const QStringList &more = {}) const
    {
        return QStringList{QStringLiteral("--port"), sim.device(), QStringLiteral("--password"), QStringLiteral("1234"),
                           QStringLiteral("collect"), QStringLiteral("-o"), m_dir.filePath(QStringLiteral("out.csv")),
                           QStringLiteral("--format"), QStringLiteral("csv")}
             + more;
    }

    // Every stored record as machine, generation, position; each data text once.
    QList<QStringList> stored()
    {
        const ToolRun r = zevctl({QStringLiteral("records"), QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv")});
        if (r.status != 0)
            qWarning() << r.err;
        QList<QStringList> rows = TestFiles::parseCsv(QString::fromUtf8(r.out));
        if (!rows.isEmpty())
            rows.removeFirst();
        return rows;
    }

    // Runs killed in all, of collections and of exports; ZEV_KILL_ROUNDS sets another number.
    // PostgreSQL's runs are slower (every export waits for the sink's lock), so
    // its share of the suite's time buys fewer by default; the store's code
    // that a kill tests is the same for both.
    int killRounds() const
    {
        const int asked = qEnvironmentVariableIntValue("ZEV_KILL_ROUNDS");
        return asked > 0 ? asked : m_postgres ? 12 : 50;
    }
    // Runs killed at once: collections each at a scanner of their own, exports to one sink.
    static constexpr int KillScanners = 5;
    static constexpr int KillExports = 10;

    static QRandomGenerator killMoments()
    {
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("kill moments from seed %u", seed);
        return QRandomGenerator(seed);
    }

    // The runs start a little apart: several sanitized processes starting at
    // one instant would starve the simulators past the protocol's limits.
    static constexpr int StartGapMs = 200;

    std::unique_ptr<QProcess> startZevctl(const QStringList &args, bool first)
    {
        if (!first)
            QThread::msleep(StartGapMs);
        auto p = std::make_unique<QProcess>();
        p->start(TestFiles::binDir() + QStringLiteral("/zevctl"), QStringList{QStringLiteral("--ledger"), m_url} + args);
        return p;
    }

    // Each argument list in a zevctl of its own, all at once, run whole: how
    // long the kills spread over, a little past a typical run's end so that its
    // last moments are hit too. 0 when one failed.
    int wholeRunsMs(const QList<QStringList> &runs)
    {
        QElapsedTimer timer;
        timer.start();
        std::vector<std::unique_ptr<QProcess>> procs;
        QList<qint64> starts, lengths;
        for (const QStringList &args : runs) {
            procs.push_back(startZevctl(args, procs.empty()));
            starts.append(timer.elapsed());
        }
        bool ok = true;
        while (lengths.size() < qsizetype(procs.size()) && timer.elapsed() < 120000) {
            for (size_t i = 0; i < procs.size(); ++i) {
                const auto &p = procs[i];
                if (p->state() == QProcess::NotRunning || !p->waitForFinished(10))
                    continue;
                lengths.append(timer.elapsed() - starts.at(qsizetype(i)));
                ok = ok && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
                if (p->exitCode() != 0)
                    qWarning() << p->readAllStandardError();
            }
        }
        if (!ok || lengths.size() < qsizetype(procs.size()))
            return 0;
        std::sort(lengths.begin(), lengths.end());
        return int(qMax<qint64>(1, lengths.at(lengths.size() / 2) * 11 / 10));
    }

    // The same, each killed (SIGKILL) at its own moment within runMs of its
    // start; how many were killed before they ended.
    int killEach(const QList<QStringList> &runs, int runMs, QRandomGenerator &rng)
    {
        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<QProcess>> procs;
        QList<QPair<qint64, size_t>> deadlines;
        for (const QStringList &args : runs) {
            procs.push_back(startZevctl(args, procs.empty()));
            if (!procs.back()->waitForStarted())
                continue;
            deadlines.append({clock.elapsed() + rng.bounded(runMs), procs.size() - 1});
        }
        std::sort(deadlines.begin(), deadlines.end());
        for (const auto &[when, i] : deadlines) {
            QThread::msleep(quint64(qMax<qint64>(0, when - clock.elapsed())));
            // 0 would be the whole process group, this test with it.
            if (const qint64 pid = procs[i]->processId(); pid > 0)
                ::kill(pid_t(pid), SIGKILL);
        }
        int killed = 0;
        for (const auto &p : procs) {
            p->waitForFinished();
            killed += p->exitStatus() == QProcess::CrashExit ? 1 : 0;
        }
        return killed;
    }

    // Rounds of killEach until killRounds() runs were killed; before goes ahead of each round.
    void killInRounds(const QList<QStringList> &runs, const std::function<void()> &before)
    {
        // The first runs load cold binaries and files: a run is timed after one
        // untimed, with the work of a round before it.
        QVERIFY(wholeRunsMs(runs) > 0);
        before();
        int runMs = wholeRunsMs(runs);
        QVERIFY(runMs > 0);
        QRandomGenerator rng = killMoments();
        int killed = 0, round = 0;
        // A round may kill few: ten exports to one sink mostly wait for its lock.
        for (; killed < killRounds() && round < 3 * killRounds() && !QTest::currentTestFailed(); ++round) {
            before();
            const int now = killEach(runs, runMs, rng);
            // Most runs ended before their moment: draw the moments earlier.
            if (now * 2 < runs.size())
                runMs = qMax(1, runMs * 3 / 4);
            killed += now;
        }
        qInfo("%d runs killed in %d rounds", killed, round);
        QCOMPARE_GE(killed, killRounds());
    }

    static void addRecords(const QString &control, int n)
    {
        QFile pipe(control);
        QVERIFY(pipe.open(QIODevice::WriteOnly));
        pipe.write(QStringLiteral("add %1\n").arg(n).toLatin1());
    }

    // No record twice (by its data and timestamp), and expected many in all.
    static void verifyOnce(const QList<QStringList> &rows, qsizetype expected)
    {
        QSet<QString> seen;
        for (const QStringList &row : rows)
            seen.insert(row.value(4) + QLatin1Char('|') + row.value(5));
        QCOMPARE(rows.size(), expected);
        QCOMPARE(seen.size(), expected);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
        m_postgres = qEnvironmentVariableIntValue("ZEV_TEST_POSTGRES") == 1;
        if (m_postgres && qEnvironmentVariableIsEmpty("PGHOST"))
            QSKIP("ZEV_TEST_POSTGRES needs pg_virtualenv (no PGHOST)");
    }

    void collectEraseAndExport()
    {
        QVERIFY(newStore(QStringLiteral("collect")));
        const QString control = m_dir.filePath(QStringLiteral("control1"));
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("400"), QStringLiteral("--pace"), QStringLiteral("0"),
                        QStringLiteral("--erase-delay"), QStringLiteral("50"), QStringLiteral("--control"), control,
                        QStringLiteral("--quiet")});
        if (!sim.started())
            QSKIP(qPrintable(QStringLiteral("no simulator on a pseudo-terminal here: ") + sim.error()));
        ToolRun r = zevctl(collectArgs(sim, {QStringLiteral("--erase")}));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("400 new, 0 already collected"), r.err.constData());
        addRecords(control, 30);
        r = zevctl(collectArgs(sim, {QStringLiteral("--erase")}));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("30 new, 0 already collected"), r.err.constData());
        // Nothing left in the scanner, nothing new in the store.
        r = zevctl(collectArgs(sim));
        QVERIFY2(r.err.contains("0 new, 0 already collected"), r.err.constData());
        const QList<QStringList> rows = stored();
        verifyOnce(rows, 430);
        QCOMPARE(rows.first().mid(2, 2), (QStringList{QStringLiteral("1"), QStringLiteral("1")}));
        QCOMPARE(rows.last().mid(2, 2), (QStringList{QStringLiteral("2"), QStringLiteral("30")}));

        const QString file = m_dir.filePath(QStringLiteral("erp.csv"));
        const QStringList exportArgs{QStringLiteral("records"), QStringLiteral("export"), QStringLiteral("--new"),
                                     QStringLiteral("--sink"), QStringLiteral("erp"), QStringLiteral("-o"), file};
        QCOMPARE(zevctl(exportArgs).status, 0);
        QCOMPARE(TestFiles::parseCsv(QString::fromUtf8(TestFiles::read(file))).size(), 431);
        QCOMPARE(zevctl(exportArgs).status, 0);
        QCOMPARE(TestFiles::parseCsv(QString::fromUtf8(TestFiles::read(file))).size(), 1);
    }

    // A cut download is kept, not erased; the next complete one adds the rest.
    void incompleteIsNotErased()
    {
        QVERIFY(newStore(QStringLiteral("cut")));
        // One memory, served cut and then whole: the same records at the same clock.
        const QStringList memory{QStringLiteral("--records"), QStringLiteral("50"), QStringLiteral("--clock"),
                                 QStringLiteral("2026-06-01 12:00:00"), QStringLiteral("--pace"), QStringLiteral("0")};
        SimProcess cut(memory + QStringList{QStringLiteral("--fault"), QStringLiteral("short:20"), QStringLiteral("--quiet")});
        if (!cut.started())
            QSKIP(qPrintable(QStringLiteral("no simulator on a pseudo-terminal here: ") + cut.error()));
        ToolRun r = zevctl(collectArgs(cut, {QStringLiteral("--erase")}));
        QCOMPARE(r.status, 7);
        QVERIFY2(r.err.contains("20 new, 0 already collected") && r.err.contains("not erased: the download is incomplete"),
                 r.err.constData());
        QVERIFY(!cut.log().contains(QStringLiteral("erase")));
        SimProcess whole(memory + QStringList{QStringLiteral("--quiet")});
        r = zevctl(collectArgs(whole));
        QVERIFY2(r.err.contains("30 new, 20 already collected"), r.err.constData());
        QCOMPARE(r.status, 0);
        // A store that cannot be written: download still writes and exits 0, collect refuses to erase.
        const QString saved = m_url;
        m_url = QStringLiteral("/proc/zev/records.sqlite");
        r = zevctl(collectArgs(whole, {QStringLiteral("--erase")}));
        QCOMPARE(r.status, 6);
        QVERIFY2(r.err.contains("not erased: the download was not recorded"), r.err.constData());
        QStringList download = collectArgs(whole);
        download[download.indexOf(QStringLiteral("collect"))] = QStringLiteral("download");
        r = zevctl(download);
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.contains("the records were not kept in the store"));
        m_url = saved;
        verifyOnce(stored(), 50);
    }

    // Killed at moments spread over a whole run, and run again: each killed run
    // is the previous one's next run, the last runs whole. Several scanners at
    // once, each with its own process and kill moment, into one store. Records
    // are only ever added to the store, so one kept twice or lost by any round
    // is still so at the end: never a record twice, none the scanner lost missing.
    void killedCollect()
    {
        QVERIFY(newStore(QStringLiteral("killed")));
        std::vector<std::unique_ptr<SimProcess>> sims;
        QList<QStringList> runs;
        QStringList controls;
        for (int i = 0; i < KillScanners; ++i) {
            controls << m_dir.filePath(QStringLiteral("control-k%1").arg(i));
            sims.push_back(std::make_unique<SimProcess>(QStringList{
                QStringLiteral("--records"), QStringLiteral("100"), QStringLiteral("--machine-id"),
                QStringLiteral("KILL%1").arg(i), QStringLiteral("--seed"), QString::number(i + 1), QStringLiteral("--pace"),
                QStringLiteral("20000"), QStringLiteral("--erase-delay"), QStringLiteral("100"), QStringLiteral("--control"),
                controls.last(), QStringLiteral("--quiet")}));
            if (!sims.back()->started())
                QSKIP(qPrintable(QStringLiteral("no simulator on a pseudo-terminal here: ") + sims.back()->error()));
            runs << collectArgs(*sims.back(), {QStringLiteral("--erase")});
        }
        qsizetype total = 100 * KillScanners;
        killInRounds(runs, [&] {
            for (const QString &control : controls)
                addRecords(control, 20);
            total += 20 * KillScanners;
        });
        if (QTest::currentTestFailed())
            return;
        // A scanner may still be sending: the last runs wait for a quiet line.
        QVERIFY(wholeRunsMs(runs) > 0);
        verifyOnce(stored(), total);
    }

    void killedExport()
    {
        QVERIFY(newStore(QStringLiteral("export")));
        const QString control = m_dir.filePath(QStringLiteral("control3"));
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("200"), QStringLiteral("--pace"), QStringLiteral("0"),
                        QStringLiteral("--control"), control, QStringLiteral("--quiet")});
        if (!sim.started())
            QSKIP(qPrintable(QStringLiteral("no simulator on a pseudo-terminal here: ") + sim.error()));
        const QString dir = m_dir.filePath(QStringLiteral("exports"));
        QVERIFY(QDir().mkpath(dir));
        const QStringList exportArgs{QStringLiteral("records"), QStringLiteral("export"), QStringLiteral("--new"),
                                     QStringLiteral("--sink"), QStringLiteral("erp"), QStringLiteral("-o"), dir};
        QCOMPARE(zevctl(collectArgs(sim)).status, 0);
        qsizetype total = 200;
        // Several exports to one sink at once, killed each at its own moment.
        killInRounds(QList<QStringList>(KillExports, exportArgs), [&] {
            addRecords(control, 10);
            total += 10;
            const ToolRun collected = zevctl(collectArgs(sim));
            QVERIFY2(collected.status == 0, collected.err.constData());
        });
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(zevctl(exportArgs).status, 0);
        QList<QStringList> rows;
        for (const QString &name : QDir(dir).entryList({QStringLiteral("erp-*.csv")}, QDir::Files)) {
            QList<QStringList> file = TestFiles::parseCsv(QString::fromUtf8(TestFiles::read(dir + QLatin1Char('/') + name)));
            file.removeFirst();
            rows += file;
        }
        verifyOnce(rows, total);
        QCOMPARE(rows.size(), stored().size());
    }

    // Two stations collect the same scanner's memory at the same moment.
    void twoStationsAtOnce()
    {
        QVERIFY(newStore(QStringLiteral("together")));
        // One clock for both: the generated timestamps count back from it, so
        // two simulators started a second apart would hold different memories.
        const QStringList simArgs{QStringLiteral("--records"), QStringLiteral("300"), QStringLiteral("--seed"),
                                  QStringLiteral("5"), QStringLiteral("--clock"), QStringLiteral("2026-03-02 08:00:00"),
                                  QStringLiteral("--pace"), QStringLiteral("0"), QStringLiteral("--quiet")};
        SimProcess one(simArgs);
        SimProcess two(simArgs);
        if (!one.started() || !two.started())
            QSKIP(qPrintable(QStringLiteral("no simulator on a pseudo-terminal here: ") + one.error() + two.error()));
        QProcess a, b;
        a.start(TestFiles::binDir() + QStringLiteral("/zevctl"), QStringList{QStringLiteral("--ledger"), m_url} + collectArgs(one));
        b.start(TestFiles::binDir() + QStringLiteral("/zevctl"), QStringList{QStringLiteral("--ledger"), m_url} + collectArgs(two));
        QVERIFY(a.waitForFinished(60000) && b.waitForFinished(60000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        const QByteArray said = a.readAllStandardError() + b.readAllStandardError();
        QVERIFY2(said.contains("300 new, 0 already collected") && said.contains("0 new, 300 already collected"), said.constData());
        verifyOnce(stored(), 300);
    }
};

QTEST_GUILESS_MAIN(TestLedgerSim)
#include "tst_ledger_sim.moc"
