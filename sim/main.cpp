// zev-scanner-sim: a scanner on a pseudo-terminal, for trying the program
// without hardware and for the end-to-end tests.
#include "sim/ScannerModel.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: zev-scanner-sim [options]\n"
    "Runs a scanner on a pseudo-terminal and prints \"DEVICE /dev/pts/N\" as the first line.\n"
    "  --password PW          the scanner's password, up to 8 characters (default 1234)\n"
    "  --machine-id ID        up to 8 characters, blank-padded (default ZEV00001)\n"
    "  --records N            N generated records (default 0)\n"
    "  --records-file FILE    one barcode per line, stored as Code 128; timestamps generated\n"
    "  --seed N               seed of the generated records and timestamps (default 1)\n"
    "  --clock 'YYYY-MM-DD HH:MM:SS'  the scanner's clock at start (default: this PC's time)\n"
    "  --pace BYTES_PER_SEC   output rate (default 1920, the line rate of 19200 baud; 0 = unpaced)\n"
    "  --erase-delay MS       time until the erase is acknowledged (default 1000)\n"
    "  --fault refuse|silent|one-byte|garbled|delay:MS|hangup:N|noise|short:K|silent-download\n"
    "                         refuse every frame, never answer, answer one byte, answer 5\n"
    "                         garbled bytes, answer MS late, close the line after N bytes,\n"
    "                         answer the download with noise without end, announce every\n"
    "                         record and send only the first K, or never answer the download\n"
    "  --link PATH            make PATH a symbolic link to the device (removed on exit)\n"
    "  --quiet                no log of frames and replies on stderr\n"
    "  --help                 this text\n";

volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

qint64 monotonicMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void sleepMs(int ms)
{
    timespec ts {ms / 1000, long(ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

bool toInt(const QByteArray &text, int min, int max, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

struct Options
{
    ScannerModel::Config config;
    QByteArray link;
    QByteArray recordsFile;
    int recordCount = 0;
    int seed = 1;
    bool quiet = false;
};

// Returns 0 to run, otherwise the exit status (1 usage, 0 for --help).
int parseArgs(int argc, char **argv, Options *o)
{
    const QDateTime now = QDateTime::currentDateTime();
    o->config.clock = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()),
                                QTimeZone::utc());
    auto fail = [](const char *what, const char *value) {
        std::fprintf(stderr, "zev-scanner-sim: %s: %s\n%s", what, value, kUsage);
        return 1;
    };
    for (int i = 1; i < argc; ++i) {
        const QByteArray opt = argv[i];
        if (opt == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (opt == "--quiet") {
            o->quiet = true;
            continue;
        }
        if (i + 1 >= argc)
            return fail("missing value or unknown option", argv[i]);
        const QByteArray value = argv[++i];
        int n = 0;
        if (opt == "--password") {
            if (value.size() > 8)
                return fail("a password has at most 8 characters", value);
            o->config.password = value;
        } else if (opt == "--machine-id") {
            if (value.isEmpty() || value.size() > 8)
                return fail("a machine ID has 1 to 8 characters", value);
            o->config.machineId = value;
        } else if (opt == "--records") {
            if (!toInt(value, 0, 99999, &o->recordCount))
                return fail("not a record count from 0 to 99999", value);
        } else if (opt == "--records-file") {
            o->recordsFile = value;
        } else if (opt == "--seed") {
            if (!toInt(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), &o->seed))
                return fail("not a number", value);
        } else if (opt == "--clock") {
            QDateTime c = QDateTime::fromString(QString::fromLatin1(value), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!c.isValid() || c.date().year() < 2000 || c.date().year() > 2099)
                return fail("not a time of the form 'YYYY-MM-DD HH:MM:SS' from 2000 to 2099", value);
            o->config.clock = QDateTime(c.date(), c.time(), QTimeZone::utc());
        } else if (opt == "--pace") {
            if (!toInt(value, 0, 1000000, &o->config.bytesPerSecond))
                return fail("not a rate from 0 to 1000000", value);
        } else if (opt == "--erase-delay") {
            if (!toInt(value, 0, 3600000, &o->config.eraseDelayMs))
                return fail("not a time in ms", value);
        } else if (opt == "--fault") {
            using F = ScannerModel::Fault;
            if (value == "refuse")
                o->config.fault = F::RefuseAll;
            else if (value == "silent")
                o->config.fault = F::Silent;
            else if (value == "one-byte")
                o->config.fault = F::OneByteReply;
            else if (value == "garbled")
                o->config.fault = F::GarbledReply;
            else if (value.startsWith("delay:") && toInt(value.mid(6), 0, 3600000, &n))
                o->config.replyDelayMs = n;
            else if (value.startsWith("hangup:") && toInt(value.mid(7), 0, std::numeric_limits<int>::max(), &n)) {
                o->config.fault = F::HangUpAfterBytes;
                o->config.hangUpAfterBytes = n;
            } else if (value == "silent-download") {
                o->config.fault = F::SilentDownload;
            } else if (value == "noise") {
                o->config.fault = F::Noise;
            } else if (value.startsWith("short:") && toInt(value.mid(6), 0, 99999, &n)) {
                o->config.fault = F::ShortDownload;
                o->config.shortRecords = n;
            } else
                return fail("unknown fault", value);
        } else if (opt == "--link") {
            o->link = value;
        } else {
            return fail("unknown option", argv[i - 1]);
        }
    }
    return 0;
}

bool loadRecords(Options *o)
{
    QList<QByteArray> lines;
    if (!o->recordsFile.isEmpty()) {
        QFile f(QString::fromLocal8Bit(o->recordsFile));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "zev-scanner-sim: cannot read %s: %s\n", o->recordsFile.constData(),
                         qPrintable(f.errorString()));
            return false;
        }
        for (QByteArray line : f.readAll().split('\n')) {
            while (line.endsWith('\r'))
                line.chop(1);
            if (!line.isEmpty())
                lines.append(line);
        }
        if (lines.size() > 99999) {
            std::fprintf(stderr, "zev-scanner-sim: %s holds more than 99999 barcodes\n", o->recordsFile.constData());
            return false;
        }
    }
    const int count = lines.isEmpty() ? o->recordCount : int(lines.size());
    // The records were read before the clock shows now: at most 900 s apart.
    const QDateTime start = o->config.clock.addSecs(-qint64(count) * 901);
    o->config.records = ScannerModel::generateRecords(count, start, o->seed);
    for (qsizetype i = 0; i < lines.size(); ++i)
        o->config.records[i].data = 'C' + lines.at(i);
    return true;
}

struct Pty
{
    int master = -1;
    int slave = -1;
    QByteArray device;
};

bool openPty(Pty *pty)
{
    pty->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty->master < 0 || grantpt(pty->master) != 0 || unlockpt(pty->master) != 0) {
        std::perror("zev-scanner-sim: pseudo-terminal");
        return false;
    }
    char name[256];
    if (ptsname_r(pty->master, name, sizeof name) != 0) {
        std::perror("zev-scanner-sim: ptsname");
        return false;
    }
    pty->device = name;
    // Held open for the whole run, so that the PC closing and reopening the
    // device between exchanges never hangs the line up.
    pty->slave = open(name, O_RDWR | O_NOCTTY);
    if (pty->slave < 0) {
        std::perror("zev-scanner-sim: open the device");
        return false;
    }
    termios t {};
    if (tcgetattr(pty->slave, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B19200);
        cfsetospeed(&t, B19200);
        tcsetattr(pty->slave, TCSANOW, &t);
    }
    fcntl(pty->master, F_SETFL, fcntl(pty->master, F_GETFL) | O_NONBLOCK);
    return true;
}

bool makeLink(const QByteArray &link, const QByteArray &device)
{
    struct stat st {};
    if (lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "zev-scanner-sim: %s exists and is not a link\n", link.constData());
            return false;
        }
        unlink(link.constData()); // left over from an earlier run
    }
    if (symlink(device.constData(), link.constData()) != 0) {
        std::fprintf(stderr, "zev-scanner-sim: cannot make the link %s: %s\n", link.constData(), std::strerror(errno));
        return false;
    }
    return true;
}

void removeLink(const QByteArray &link, const QByteArray &device)
{
    if (link.isEmpty())
        return;
    char target[512];
    const ssize_t n = readlink(link.constData(), target, sizeof target - 1);
    if (n > 0 && QByteArray(target, int(n)) == device)
        unlink(link.constData());
}

// Lets the PC take what was sent before the line goes dead (at most 2 s).
// The bytes reach the device's input queue a moment after the write, hence
// the first pause.
void drain(int slave)
{
    sleepMs(100);
    for (int i = 0; i < 190; ++i) {
        int waiting = 0;
        if (ioctl(slave, FIONREAD, &waiting) != 0 || waiting == 0)
            return;
        sleepMs(10);
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    const int parsed = parseArgs(argc, argv, &o);
    if (parsed != 0)
        return parsed < 0 ? 0 : parsed;
    if (!loadRecords(&o))
        return 1;

    sigset_t stopSignals, runMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    // Blocked except inside ppoll, so a signal cannot slip in between the check and the wait.
    sigprocmask(SIG_BLOCK, &stopSignals, &runMask);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        sigaction(s, &sa, nullptr);

    Pty pty;
    if (!openPty(&pty))
        return 2;
    if (!o.link.isEmpty() && !makeLink(o.link, pty.device))
        return 2;
    std::printf("DEVICE %s\n", pty.device.constData());
    std::fflush(stdout);

    ScannerModel model(o.config);
    const qint64 t0 = monotonicMs();
    auto elapsed = [t0] { return monotonicMs() - t0; };
    auto say = [&o, &elapsed](const QString &line) {
        if (!o.quiet)
            std::fprintf(stderr, "[%8lld ms] %s\n", static_cast<long long>(elapsed()), qPrintable(line));
    };
    say(QStringLiteral("scanner on %1, machine ID \"%2\", %3 records, clock %4")
            .arg(QString::fromLocal8Bit(pty.device), QString::fromLatin1(model.machineId()))
            .arg(model.records().size())
            .arg(model.clockAt(0).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));

    QByteArray toWrite;
    int status = 0;
    while (!g_stop) {
        const qint64 now = elapsed();
        // Output waits in the model while nobody reads the line (noise has no end).
        if (toWrite.size() < 65536)
            toWrite += model.takeOutput(now);
        for (const QString &line : model.takeLog())
            say(line);
        while (!toWrite.isEmpty()) {
            const ssize_t n = write(pty.master, toWrite.constData(), size_t(toWrite.size()));
            if (n > 0) {
                toWrite.remove(0, n);
            } else if (n < 0 && errno == EIO) {
                toWrite.clear(); // nobody on the line
            } else {
                if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    std::perror("zev-scanner-sim: write");
                    status = 2;
                    g_stop = 1;
                }
                break;
            }
        }
        if (toWrite.isEmpty() && model.hungUp(now) && model.nextOutputDueMs() < 0) {
            drain(pty.slave);
            say(QStringLiteral("hanging up after %1 bytes").arg(o.config.hangUpAfterBytes));
            break;
        }

        pollfd pfd {pty.master, short(POLLIN | (toWrite.isEmpty() ? 0 : POLLOUT)), 0};
        const qint64 due = toWrite.size() < 65536 ? model.nextOutputDueMs() : -1;
        timespec wait {};
        if (due >= 0) {
            const qint64 ms = std::max<qint64>(0, due - elapsed());
            wait = {time_t(ms / 1000), long(ms % 1000) * 1000000L};
        }
        const int r = ppoll(&pfd, 1, due >= 0 ? &wait : nullptr, &runMask);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::perror("zev-scanner-sim: poll");
            status = 2;
            break;
        }
        if (pfd.revents & POLLIN) {
            char buf[4096];
            const ssize_t n = read(pty.master, buf, sizeof buf);
            if (n > 0)
                model.receive(QByteArray(buf, int(n)), elapsed());
            else if (n < 0 && errno == EIO)
                sleepMs(50); // no client right now
        } else if (pfd.revents & (POLLHUP | POLLERR)) {
            sleepMs(50);
        }
    }

    close(pty.master);
    close(pty.slave);
    removeLink(o.link, pty.device);
    say(QStringLiteral("stopped"));
    return status;
}
