// The station's rules without ports: when a scanner is collected, and its options.
#include "cli/Station.h"

#include <QTest>

using Station::Probe;

class TestStation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // probes: one letter a probe, one second apart: A answered, S silent, M missing,
    // O cannot be opened, T still sending. collects: C where a collection starts.
    void collectsOncePerDocking_data()
    {
        QTest::addColumn<QString>("probes");
        QTest::addColumn<int>("everySeconds");
        QTest::addColumn<QString>("collects");
        QTest::newRow("docked and left there") << "AAAAAA" << 0 << "C.....";
        QTest::newRow("one silent probe is no leaving") << "ASAASA" << 0 << "C.....";
        QTest::newRow("two silent probes are") << "ASSAAA" << 0 << "C..C..";
        QTest::newRow("an unplugged adapter is silence") << "AMMA" << 0 << "C..C";
        QTest::newRow("a port that will not open is silence") << "AOOA" << 0 << "C..C";
        QTest::newRow("empty until a scanner comes") << "SSMSA" << 0 << "....C";
        // A stream nobody reads: the scanner is there, but not to be asked.
        QTest::newRow("sending is neither answer nor absence") << "TTATSTSA" << 0 << "..C.....";
        QTest::newRow("again after every interval") << "AAAAAAA" << 3 << "C..C..C";
        QTest::newRow("the interval starts again after leaving") << "AASSAAAA" << 3 << "C...C..C";
    }
    void collectsOncePerDocking()
    {
        QFETCH(QString, probes);
        QFETCH(int, everySeconds);
        QFETCH(QString, collects);
        Station::PortWatch watch;
        QString seen;
        for (qsizetype i = 0; i < probes.size(); ++i) {
            const qint64 now = 1000 * i;
            static const QList<Probe> byLetter{Probe::Answered, Probe::Silent, Probe::Missing, Probe::CannotOpen,
                                               Probe::Talking};
            const Probe p = byLetter.at(QStringLiteral("ASMOT").indexOf(probes[i]));
            const Station::Step step = watch.probed(p, now, everySeconds * 1000, QStringLiteral("the port's trouble"));
            seen += step.collect ? QLatin1Char('C') : QLatin1Char('.');
            if (step.collect)
                watch.collected(now);
        }
        QCOMPARE(seen, collects);
    }

    // The journal gets a line per event, not per probe.
    void saysEachEventOnce()
    {
        Station::PortWatch watch;
        QStringList said;
        auto probe = [&](Probe p, const QString &problem = QString()) {
            const Station::Step s = watch.probed(p, 0, 0, problem);
            if (!s.say.isEmpty())
                said << s.say;
        };
        probe(Probe::CannotOpen, QStringLiteral("/dev/ttyUSB0: Permission denied"));
        probe(Probe::CannotOpen, QStringLiteral("/dev/ttyUSB0: Permission denied"));
        probe(Probe::CannotOpen, QStringLiteral("/dev/ttyUSB0: Device or resource busy"));
        probe(Probe::Silent);
        probe(Probe::Missing, QStringLiteral("/dev/ttyUSB0: No such file or directory"));
        probe(Probe::Missing, QStringLiteral("/dev/ttyUSB0: No such file or directory"));
        probe(Probe::Talking);
        probe(Probe::Talking);
        QCOMPARE(said, (QStringList{QStringLiteral("cannot open /dev/ttyUSB0: Permission denied"),
                                    QStringLiteral("cannot open /dev/ttyUSB0: Device or resource busy"),
                                    QStringLiteral("the port opens again"),
                                    QStringLiteral("no device; waiting for it"),
                                    QStringLiteral("the line is still sending; waiting for it to be quiet")}));
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        const QStringList base{"--port", "/dev/zev-com1", "--password", "1234"};
        QTest::newRow("the least") << base << QString();
        QTest::newRow("every option") << base + QStringList{"--port", "2", "--erase", "--set-clock", "--export-dir", "/tmp",
                                                            "--format", "json", "--exec", "true", "--interval", "0.2",
                                                            "--every", "30"}
                                      << QString();
        QTest::newRow("no port") << QStringList{"--password", "1234"} << "no port to watch";
        QTest::newRow("a port twice") << base + QStringList{"--port", "/dev/zev-com1"} << "a port is named twice";
        QTest::newRow("no password") << QStringList{"--port", "1"} << "password is needed";
        QTest::newRow("a password no box takes") << QStringList{"--port", "1", "--password", "12 34"} << "8 letters and digits";
        QTest::newRow("xlsx") << base + QStringList{"--format", "xlsx"} << "--format takes csv, json or text";
        QTest::newRow("an interval too short") << base + QStringList{"--interval", "0.01"} << "--interval takes seconds";
        QTest::newRow("an interval in words") << base + QStringList{"--interval", "soon"} << "--interval takes seconds";
        QTest::newRow("every, negative") << base + QStringList{"--every", "-1"} << "--every takes minutes";
        QTest::newRow("an option without its value") << base + QStringList{"--exec"} << "incomplete option --exec";
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        Station::Options o;
        bool save = false;
        QString why;
        if (Station::parseArgs(args, o, save, why))
            why = Station::check(o);
        QVERIFY2(error.isEmpty() ? why.isEmpty() : why.contains(error), qPrintable(why));
    }

    // What --save writes reads back the same, and the command line wins over it.
    void settingsRoundTrip()
    {
        Station::Options o;
        o.ports = QStringList{"/dev/zev-com1", "3"};
        o.password = QStringLiteral("Ab12");
        o.erase = true;
        o.exportDir = QStringLiteral("/srv/out");
        o.format = QStringLiteral("json");
        o.exec = QStringLiteral("logger -t zev \"$ZEV_FILE\"");
        o.intervalSeconds = 0.5;
        o.everyMinutes = 90;
        QMap<QString, QString> kept;
        for (const auto &entry : Station::toSettings(o))
            kept.insert(entry.first, entry.second);
        Station::Options back = Station::fromSettings([&kept](const QString &key) { return kept.value(key); });
        QCOMPARE(back.ports, o.ports);
        QCOMPARE(back.password, o.password);
        QCOMPARE(back.erase, true);
        QCOMPARE(back.setClock, false);
        QCOMPARE(back.exportDir, o.exportDir);
        QCOMPARE(back.format, o.format);
        QCOMPARE(back.exec, o.exec);
        QCOMPARE(back.intervalMs(), 500);
        QCOMPARE(back.everyMs(), 90 * 60000);

        bool save = false;
        QString error;
        QVERIFY(Station::parseArgs({"--port", "5", "--interval", "4", "--save"}, back, save, error));
        QVERIFY(save);
        QCOMPARE(back.ports, QStringList{"5"});
        QCOMPARE(back.intervalMs(), 4000);
        QCOMPARE(back.password, o.password);
    }
};

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
