#include "link/Frames.h"
#include "link/LoginExchange.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "support/Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

namespace {
QStringList g_messages;
void collect(QtMsgType, const QMessageLogContext &ctx, const QString &msg)
{
    if (ctx.category && QByteArray(ctx.category) == "zev.link.lowlevel")
        g_messages << msg;
}
} // namespace

class TestQtSerialPort : public QObject
{
    Q_OBJECT

    PortNames names;

private Q_SLOTS:
    void init()
    {
        g_messages.clear();
    }

    void talksOverAPseudoTerminal()
    {
        Pty pty;
        if (!pty.isValid())
            QSKIP(qPrintable(QStringLiteral("no pseudo-terminal here: ") + pty.error()));
        names.setOverride(3, pty.slavePath());
        QtSerialPort port(names);
        port.setPortNumber(3);
        port.setSettings(Link::LineSettings);
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        QVERIFY(port.isOpen());

        const QByteArray frame = Link::loginFrame(QStringLiteral("1234"));
        QVERIFY(port.write(frame));
        QCOMPARE(pty.read(2000, frame.size()), frame);

        QVERIFY(pty.write(Link::AckFrame));
        QElapsedTimer t;
        t.start();
        while (port.bytesWaiting() < 5 && t.elapsed() < 2000)
            QThread::msleep(5);
        QCOMPARE(port.bytesWaiting(), 5);
        QCOMPARE(port.readAll(), Link::AckFrame);
        QCOMPARE(port.readAll(), QByteArray());

        // Discarding drops what came before.
        pty.write("junk");
        QThread::msleep(50);
        port.discardInput();
        QCOMPARE(port.bytesWaiting(), 0);

        // A wait sleeps until all it waits for has come, and one read takes
        // it whole, whatever input buffer the caller asked for.
        port.setInputBufferSize(1024);
        const QByteArray burst(3000, 'b');
        QVERIFY(pty.write(burst.left(1000)));
        QTimer::singleShot(30, [&pty, &burst]() { pty.write(burst.mid(1000)); });
        QtClock clock;
        QVERIFY(clock.waitForInput(port, 5000, int(burst.size())));
        QCOMPARE(port.readAll(), burst);
        port.close();
        QVERIFY(!port.isOpen());
    }

    // zevctl's waits sleep in poll(): a stop asked for from another thread
    // (the station's main thread) wakes them at once, on the port or not.
    void aSleepingWaitEndsWhenStoppedFromAnotherThread()
    {
        Pty pty;
        if (!pty.isValid())
            QSKIP("no pseudo-terminal here");
        names.setOverride(9, pty.slavePath());
        QtSerialPort port(names);
        port.setPortNumber(9);
        QVERIFY(port.open());
        // A timer, the port, and a wait without events (erase, set-clock).
        for (const int kind : {0, 1, 2}) {
            QtClock clock(QtClock::Waits::Sleep);
            std::atomic<int> waited{-1};
            std::unique_ptr<QThread> waiting(QThread::create([&]() {
                const bool ended = kind == 0   ? clock.waitMs(600000)
                                   : kind == 1 ? clock.waitForInput(port, 600000)
                                               : clock.block(600000);
                waited = ended ? 1 : 0;
            }));
            waiting->start();
            QTest::qWait(50);
            clock.gate().stopForGood();
            QVERIFY(waiting->wait(QDeadlineTimer(60000)));
            QCOMPARE(int(waited), 0);
        }
    }

    void missingDeviceFailsToOpenWithTheReason()
    {
        names.setOverride(4, QStringLiteral("/dev/zev-no-such-port"));
        QtSerialPort port(names);
        port.setPortNumber(4);
        QVERIFY(!port.open());
        QVERIFY(!port.isOpen());
        QVERIFY(port.problem().line().startsWith(
            QStringLiteral("/dev/zev-no-such-port: No such file or directory (the device is not there")));
        QtClock clock;
        const LoginResult r = runLoginExchange(port, clock, QStringLiteral("x"));
        QCOMPARE(int(r.kind), int(LoginResult::PortError));
        QCOMPARE(r.sends, 0);
    }

    void busyPortFailsToOpen()
    {
        Pty pty;
        if (!pty.isValid())
            QSKIP("no pseudo-terminal here");
        names.setOverride(8, pty.slavePath());
        QtSerialPort first(names);
        QtSerialPort second(names);
        first.setPortNumber(8);
        second.setPortNumber(8);
        QVERIFY(first.open());
        QVERIFY(!second.open());
        // The first one's lock keeps the second out; that is not a permission problem.
        QCOMPARE(int(second.problem().kind), int(PortProblem::Busy));
        QVERIFY2(second.errorString().startsWith(QStringLiteral("in use by")), qPrintable(second.errorString()));
        first.close();
        QVERIFY(second.open());
    }

    void hangUpReportsOnceAndCloses()
    {
        Pty pty;
        if (!pty.isValid())
            QSKIP("no pseudo-terminal here");
        qInstallMessageHandler(collect);
        names.setOverride(5, pty.slavePath());
        QtSerialPort port(names);
        port.setPortNumber(5);
        QVERIFY(port.open());
        pty.closeMaster();
        QElapsedTimer t;
        t.start();
        while (port.isOpen() && t.elapsed() < 2000) {
            port.bytesWaiting();
            QCoreApplication::processEvents();
        }
        // Let any repeated error signal arrive.
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        qInstallMessageHandler(nullptr);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.errorString().isEmpty());
        QCOMPARE(g_messages.filter(QStringLiteral("failed:")).size(), 1);
        QCOMPARE(port.readAll(), QByteArray());
        QCOMPARE(port.write("x"), false);
    }

    void loginEndsAtOnceWhenTheLineHangsUp()
    {
        Pty pty;
        if (!pty.isValid())
            QSKIP("no pseudo-terminal here");
        names.setOverride(6, pty.slavePath());
        QtSerialPort port(names);
        port.setPortNumber(6);
        QVERIFY(port.open());
        pty.closeMaster();
        QtClock clock;
        QElapsedTimer t;
        t.start();
        const LoginResult r = runLoginExchange(port, clock, QStringLiteral("1234"));
        QCOMPARE(int(r.kind), int(LoginResult::PortError));
        QVERIFY(r.sends <= 1); // not three sends into a dead line
        QVERIFY(!port.isOpen());
    }

    void trafficLogShowsTheBytesInHex()
    {
        Pty pty;
        if (!pty.isValid())
            QSKIP("no pseudo-terminal here");
        QLoggingCategory::setFilterRules(QStringLiteral("zev.link.lowlevel.debug=true"));
        qInstallMessageHandler(collect);
        names.setOverride(7, pty.slavePath());
        QtSerialPort port(names);
        port.setPortNumber(7);
        QVERIFY(port.open());
        port.write(Link::loginFrame(QString()));
        pty.read(1000, 13);
        pty.write(Link::NakFrame);
        QThread::msleep(100);
        port.readAll();
        port.close();
        qInstallMessageHandler(nullptr);
        QLoggingCategory::setFilterRules(QStringLiteral("zev.link.lowlevel.debug=false"));
        QVERIFY2(g_messages.contains(QStringLiteral("TX 02 50 20 20 20 20 20 20 20 20 0D 7D 03")),
                 qPrintable(g_messages.join(QLatin1Char('\n'))));
        QVERIFY(g_messages.contains(QStringLiteral("RX 02 15 0D 22 03")));
    }

    void logIsOffByDefault()
    {
        QVERIFY(!zevLinkLowLevel().isDebugEnabled());
    }

    void portNamesResolveInOrder()
    {
        QTemporaryDir dir;
        QtSettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        PortNames pn(&store);
        QCOMPARE(pn.deviceFor(2), PortNames::platformName(2));
#ifdef Q_OS_LINUX
        QCOMPARE(PortNames::platformName(1), QStringLiteral("/dev/ttyS0"));
#endif
        store.saveSetting(QStringLiteral("ZEV1100"), QStringLiteral("Ports"), QStringLiteral("COM2"), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(pn.deviceFor(2), QStringLiteral("/dev/ttyUSB0"));
        qputenv("ZEV_COM2", "/dev/ttyACM1");
        QCOMPARE(pn.deviceFor(2), QStringLiteral("/dev/ttyACM1"));
        QVERIFY(pn.addOverride(QStringLiteral("2=/tmp/sim")));
        QCOMPARE(pn.deviceFor(2), QStringLiteral("/tmp/sim"));
        qunsetenv("ZEV_COM2");
        QVERIFY(!pn.addOverride(QStringLiteral("x=/dev/a")));
        QVERIFY(!pn.addOverride(QStringLiteral("3=")));
        QVERIFY(!pn.addOverride(QStringLiteral("/dev/a")));
        QCOMPARE(pn.deviceFor(3), PortNames::platformName(3));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
