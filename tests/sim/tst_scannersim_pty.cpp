// zev-scanner-sim on a real pseudo-terminal, driven the way a PC drives a
// serial line: open, write a frame, read the reply, close.
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray Ack = QByteArray::fromHex("02060d3303");
const QByteArray Nak = QByteArray::fromHex("02150d2203");
const QByteArray LoginAbc = QByteArray::fromHex("025061626320202020200d2303");
const QByteArray LoginAbd = QByteArray::fromHex("025061626420202020200d2403");
const QByteArray DownloadAbc = QByteArray::fromHex("026162632020202020440d3703");
const QByteArray EraseAbc = QByteArray::fromHex("026162632020202020450d3803");

bool ptyAvailable()
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

class Line
{
public:
    explicit Line(const QByteArray &device)
    {
        m_fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t {};
        if (m_fd >= 0 && tcgetattr(m_fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~Line()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    bool write(const QByteArray &bytes) { return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size(); }
    // Until count bytes came, the other end hung up, or the time ran out.
    QByteArray read(int count, int timeoutMs, bool *hungUp = nullptr)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        if (hungUp)
            *hungUp = false;
        while (got.size() < count && timer.elapsed() < timeoutMs) {
            pollfd p {m_fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            char buf[256];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, int(n));
            } else if (n == 0 || errno != EAGAIN) {
                if (hungUp)
                    *hungUp = true;
                break;
            }
        }
        return got;
    }

private:
    int m_fd = -1;
};

class Simulator
{
public:
    ~Simulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // The device path from the first line, empty when it never came.
    QByteArray start(const QStringList &args)
    {
        m_process.start(TestFiles::binDir() + QStringLiteral("/zev-scanner-sim"), args);
        if (!m_process.waitForStarted(10000))
            return QByteArray();
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < 10000 && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(100);
        const QByteArray line = m_process.readLine().trimmed();
        return line.startsWith("DEVICE ") ? line.mid(7) : QByteArray();
    }
    bool stop()
    {
        m_process.terminate();
        return m_process.waitForFinished(10000);
    }
    QProcess &process() { return m_process; }
    // Until the log on stderr holds text count times.
    bool waitForLog(const QByteArray &text, int count = 1)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_log.count(text) < count && timer.elapsed() < 10000) {
            m_process.waitForReadyRead(50);
            m_log += m_process.readAllStandardError();
        }
        return m_log.count(text) >= count;
    }

private:
    QProcess m_process;
    QByteArray m_log;
};

bool control(const QString &pipe, const QByteArray &line)
{
    const int fd = ::open(pipe.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
    const bool written = fd >= 0 && ::write(fd, line.constData(), size_t(line.size())) == line.size();
    if (fd >= 0)
        ::close(fd);
    return written;
}

// The records a download over device announces and the stream.
QByteArray download(const QByteArray &device, int *announced)
{
    Line line(device);
    line.write(DownloadAbc);
    QByteArray stream = line.read(14, 5000);
    *announced = stream.mid(9, 5).toInt();
    while (!stream.endsWith('\x03') && stream.size() < 100000) {
        const QByteArray more = line.read(1, 3000);
        if (more.isEmpty())
            break;
        stream += more;
    }
    return stream;
}

} // namespace

class TestScannerSimPty : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!ptyAvailable())
            QSKIP("no pseudo-terminal can be opened here");
    }

    void servesThePcThroughTheDevice()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyZEV"));
        const QString codes = dir.filePath(QStringLiteral("codes.txt"));
        TestFiles::write(codes, "ABC-1\r\n\n4006381333931\n");
        Simulator sim;
        const QByteArray device = sim.start({"--password", "abc", "--link", link, "--records-file", codes,
                                             "--machine-id", "M7", "--clock", "2026-04-05 06:07:08"});
        QVERIFY(device.startsWith("/dev/"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromLocal8Bit(device));
        {
            Line line(device);
            QVERIFY(line.isOpen());
            QVERIFY(line.write(LoginAbc));
            QCOMPARE(line.read(5, 5000).toHex(), Ack.toHex());
        }
        // The PC closes the port after every exchange; the next ones must still be answered.
        {
            Line line(link.toLocal8Bit());
            QVERIFY(line.write(LoginAbd));
            QCOMPARE(line.read(5, 5000).toHex(), Nak.toHex());
        }
        Line line(device);
        QVERIFY(line.write(QByteArray::fromHex("026162632020202020440d3703"))); // download with "abc"
        const QByteArray stream = line.read(14 + 2 * 8 + 6 + 14 + 1, 5000);
        QCOMPARE(stream.left(14), QByteArray("\x02M7      00002"));
        QCOMPARE(stream.mid(20, 8), QByteArray("CABC-1?\r"));
        QCOMPARE(stream.mid(34), QByteArray("C4006381333931?\r\x03"));
        // Read before the clock: year 26, month 4 or earlier.
        QCOMPARE(int(stream.at(14)), 26 + 16);
        QVERIFY(stream.at(15) >= 1 + 16 && stream.at(15) <= 4 + 16);

        QVERIFY(sim.stop());
        QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process().exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        const QByteArray log = sim.process().readAllStandardError();
        QCOMPARE(log.count("P login, 13 bytes, valid -> Ack"), 1);
        QCOMPARE(log.count("P login, 13 bytes, wrong password -> Nak"), 1);
        QCOMPARE(log.count("D download, 13 bytes, valid"), 1);
    }

    void hangsUpAfterTheGivenBytes()
    {
        Simulator sim;
        const QByteArray device = sim.start({"--password", "abc", "--fault", "hangup:3", "--quiet"});
        QVERIFY(!device.isEmpty());
        Line line(device);
        QVERIFY(line.write(LoginAbc));
        bool hungUp = false;
        QCOMPARE(line.read(5, 5000, &hungUp).toHex(), Ack.left(3).toHex());
        QVERIFY(sim.process().waitForFinished(10000));
        QCOMPARE(sim.process().exitCode(), 0);
        QCOMPARE(line.read(5, 1000, &hungUp), QByteArray());
        QVERIFY(hungUp);
    }

    void keepsItsMemoryAcrossDockingAndRuns()
    {
        QTemporaryDir dir;
        const QString memory = dir.filePath(QStringLiteral("memory"));
        const QString pipe = dir.filePath(QStringLiteral("control"));
        int announced = -1;
        QByteArray kept;
        {
            Simulator sim;
            const QByteArray device = sim.start({"--password", "abc", "--records", "3", "--erase-delay", "0",
                                                 "--memory", memory, "--control", pipe});
            QVERIFY(!device.isEmpty());
            download(device, &announced);
            QCOMPARE(announced, 3);
            Line line(device);
            QVERIFY(line.write(EraseAbc));
            QCOMPARE(line.read(5, 5000), Ack);
            // Scanned after the erase, written before the next frame: counted in it.
            QVERIFY(control(pipe, "add 2\n"));
            kept = download(device, &announced);
            QCOMPARE(announced, 2);
            QVERIFY(kept.endsWith("?\r\x03"));

            ::kill(pid_t(sim.process().processId()), SIGUSR1);
            QVERIFY(sim.waitForLog("taken out of the cradle"));
            QVERIFY(line.write(LoginAbc));
            QCOMPARE(line.read(5, 1000), QByteArray());
            ::kill(pid_t(sim.process().processId()), SIGUSR1);
            QVERIFY(sim.waitForLog("docked"));
            QVERIFY(line.write(LoginAbc));
            QCOMPARE(line.read(10, 1000), Ack); // the login sent while out is never answered
            QVERIFY(sim.stop());
            QCOMPARE(sim.process().exitCode(), 0);
            QVERIFY(!QFileInfo::exists(pipe));
        }
        // The memory stands for the options it holds; --undocked waits for "dock".
        Simulator sim;
        const QByteArray device = sim.start({"--password", "zzz", "--records", "50", "--memory", memory,
                                             "--control", pipe, "--undocked", "--quiet"});
        QVERIFY(!device.isEmpty());
        {
            Line line(device);
            QVERIFY(line.write(LoginAbc));
            QCOMPARE(line.read(5, 1000), QByteArray());
        }
        QVERIFY(control(pipe, "dock\nscan XY 9\n"));
        const QByteArray stream = download(device, &announced);
        QCOMPARE(announced, 3);
        QVERIFY(stream.startsWith(kept.left(9) + "00003" + kept.mid(14).chopped(1)));
        QVERIFY(stream.endsWith("CXY 9?\r\x03"));
        QCOMPARE(stream.size(), kept.size() + 6 + 7);
        QVERIFY(sim.stop());
    }

    void refusesBadOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("unknown fault") << QStringList {"--fault", "loud"} << 1;
        QTest::newRow("password of 9") << QStringList {"--password", "123456789"} << 1;
        QTest::newRow("missing records file") << QStringList {"--records-file", "/nonexistent/codes.txt"} << 1;
        QTest::newRow("memory that is no memory") << QStringList {"--memory", TestFiles::binDir() + "/zev-scanner-sim"} << 1;
        QTest::newRow("memory that cannot be written") << QStringList {"--memory", "/nonexistent/memory"} << 2;
        QTest::newRow("control pipe over a file") << QStringList {"--control", TestFiles::binDir() + "/zev-scanner-sim"} << 2;
    }
    void refusesBadOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        Simulator sim;
        QCOMPARE(sim.start(args), QByteArray());
        QVERIFY(sim.process().state() == QProcess::NotRunning || sim.process().waitForFinished(10000));
        QCOMPARE(sim.process().exitCode(), status);
    }
};

QTEST_GUILESS_MAIN(TestScannerSimPty)
#include "tst_scannersim_pty.moc"
