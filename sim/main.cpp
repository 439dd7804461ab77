// zev-scanner-sim: a scanner on a pseudo-terminal, for trying the program
// without hardware and for the end-to-end tests.
#include "sim/ScannerMemory.h"
#include "sim/ScannerModel.h"

#include <QFile>
#include <QSaveFile>

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
    "  --memory FILE          keep the records, password, machine ID and settings image in\n"
    "                         FILE across runs: read at start when it exists (it then stands\n"
    "                         for --password, --machine-id, --records and --records-file),\n"
    "                         written again after every change (an erase, for one)\n"
    "  --control PATH         make PATH a named pipe (removed on exit) that takes one command\n"
    "                         a line: 'add N' (N new records, scanned up to the clock's now),\n"
    "                         'scan BARCODE' (one Code 128 record), 'out' (taken out of the\n"
    "                         cradle: it answers nothing), 'dock' (back in the cradle)\n"
    "  --undocked             start out of the cradle\n"

    "  --quiet                no log of frames and replies on stderr\n"
    "  --help                 this text\n"
    "SIGUSR1 takes the scanner out of the cradle, or docks it again; SIGTERM or Ctrl-C end it.\n";

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_dockSignals = 0;

void onSignal(int signal)
{
    if (signal == SIGUSR1)
        g_dockSignals = g_dockSignals + 1;
    else
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
    QByteArray memoryFile;
    QByteArray control;
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
        if (opt == "--undocked") {
            o->config.docked = false;
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
        } else if (opt == "--memory") {
            o->memoryFile = value;
        } else if (opt == "--control") {
            o->control = value;
        } else {
            return fail("unknown option", argv[i - 1]);
        }
    }
    return 0;
}

// 0 when there is no memory file yet, 1 when it was read, -1 when it cannot be.
int loadMemory(Options *o)
{
    if (o->memoryFile.isEmpty())
        return 0;
    QFile f(QString::fromLocal8Bit(o->memoryFile));
    if (!f.exists())
        return 0;
    QString error;
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.errorString();
    } else if (f.size() > 64 << 20) {
        error = QStringLiteral("larger than 64 MiB");
    } else if (ScannerMemory::read(f.readAll(), &o->config, &error)) {
        return 1;
    }
    std::fprintf(stderr, "zev-scanner-sim: cannot read the memory %s: %s\n", o->memoryFile.constData(),
                 qPrintable(error));
    return -1;
}

bool saveMemory(const QByteArray &file, const ScannerModel &model)
{
    QSaveFile f(QString::fromLocal8Bit(file));
    if (f.open(QIODevice::WriteOnly) && f.write(ScannerMemory::text(model)) >= 0 && f.commit())
        return true;
    std::fprintf(stderr, "zev-scanner-sim: cannot write the memory %s: %s\n", file.constData(),
                 qPrintable(f.errorString()));
    return false;
}

bool loadRecords(Options *o)
{
    const int memory = loadMemory(o);
    if (memory != 0)
        return memory > 0;
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

// The control pipe. Its own write end stays open so that the read end never
// reports a hang-up when a writer such as "echo add 30 > PATH" closes.
struct Control
{
    QByteArray path;
    int fd = -1;
    int keepOpen = -1;
    QByteArray partial;
};

bool openControl(const QByteArray &path, Control *c)
{
    struct stat st {};
    if (lstat(path.constData(), &st) == 0) {
        if (!S_ISFIFO(st.st_mode)) {
            std::fprintf(stderr, "zev-scanner-sim: %s exists and is not a named pipe\n", path.constData());
            return false;
        }
        unlink(path.constData()); // left over from an earlier run
    }
    if (mkfifo(path.constData(), 0600) != 0) {
        std::fprintf(stderr, "zev-scanner-sim: cannot make the pipe %s: %s\n", path.constData(), std::strerror(errno));
        return false;
    }
    c->path = path;
    c->fd = open(path.constData(), O_RDONLY | O_NONBLOCK);
    c->keepOpen = open(path.constData(), O_WRONLY | O_NONBLOCK);
    if (c->fd < 0 || c->keepOpen < 0) {
        std::fprintf(stderr, "zev-scanner-sim: cannot open the pipe %s: %s\n", path.constData(), std::strerror(errno));
        return false;
    }
    return true;
}

void closeControl(Control *c)
{
    if (c->path.isEmpty())
        return;
    if (c->fd >= 0)
        close(c->fd);
    if (c->keepOpen >= 0)
        close(c->keepOpen);
    unlink(c->path.constData());
}

// The whole lines that arrived; a line longer than 4 KiB is dropped.
QList<QByteArray> readControl(Control *c)
{
    char buf[4096];
    ssize_t n;
    while ((n = read(c->fd, buf, sizeof buf)) > 0)
        c->partial.append(buf, int(n));
    QList<QByteArray> lines = c->partial.split('\n');
    c->partial = lines.takeLast();
    if (c->partial.size() > 4096)
        c->partial.clear();
    return lines;
}

// Carries out one control line; returns what happened for the log, or an
// empty string with *error set.
QString runControl(QByteArray line, ScannerModel &model, qint64 nowMs, int seed, QString *error)
{
    while (line.endsWith('\r'))
        line.chop(1);
    const QDateTime now = model.clockAt(nowMs);
    int n = 0;
    QList<ScannerModel::Record> scanned;
    if (line == "out" || line == "dock") {
        model.setDocked(line == "dock", nowMs);
        return QString();
    } else if (line.startsWith("add ") && toInt(line.mid(4), 1, 99999, &n)) {
        // Scanned before the clock's now, at most 900 s apart, after the last one held.
        QDateTime start = now.addSecs(-qint64(n) * 901);
        if (!model.records().isEmpty() && model.records().last().time >= start)
            start = model.records().last().time.addSecs(1);
        // Other records than the earlier runs gave, so an erased memory never looks unerased.
        const int mixed = seed + int(model.records().size()) * 7919 + int(now.toSecsSinceEpoch() % 1000003);
        scanned = ScannerModel::generateRecords(n, start, mixed);
    } else if (line.startsWith("scan ") && line.size() > 5) {
        scanned.append({now, 'C' + line.mid(5)});
    } else {
        *error = QStringLiteral("not 'add N' (1 to 99999), 'scan BARCODE', 'out' or 'dock': %1")
                     .arg(QString::fromLatin1(line));
        return QString();
    }
    const qsizetype kept = model.addRecords(scanned);
    return QStringLiteral("%1 records scanned, %2 held%3")
        .arg(kept)
        .arg(model.records().size())
        .arg(kept < scanned.size() ? QStringLiteral(" (the memory is full)") : QString());
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
    sigaddset(&stopSignals, SIGUSR1);
    // Blocked except inside ppoll, so a signal cannot slip in between the check and the wait.
    sigprocmask(SIG_BLOCK, &stopSignals, &runMask);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (const int s : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        sigaction(s, &sa, nullptr);

    ScannerModel model(o.config);
    // Written at once: a memory that cannot be kept is said before the device is offered.
    if (!o.memoryFile.isEmpty() && !saveMemory(o.memoryFile, model))
        return 2;

    Pty pty;
    if (!openPty(&pty))
        return 2;
    if (!o.link.isEmpty() && !makeLink(o.link, pty.device))
        return 2;
    Control control;
    if (!o.control.isEmpty() && !openControl(o.control, &control)) {
        closeControl(&control);
        removeLink(o.link, pty.device);
        return 2;
    }
    std::printf("DEVICE %s\n", pty.device.constData());
    std::fflush(stdout);

    const qint64 t0 = monotonicMs();
    auto elapsed = [t0] { return monotonicMs() - t0; };
    auto say = [&o, &elapsed](const QString &line) {
        if (!o.quiet)
            std::fprintf(stderr, "[%8lld ms] %s\n", static_cast<long long>(elapsed()), qPrintable(line));
    };
    say(QStringLiteral("scanner on %1, machine ID \"%2\", %3 records, clock %4%5")
            .arg(QString::fromLocal8Bit(pty.device), QString::fromLatin1(model.machineId()))
            .arg(model.records().size())
            .arg(model.clockAt(0).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 model.docked() ? QString() : QStringLiteral(", out of the cradle")));
    quint64 savedChanges = model.memoryChanges();
    int dockSignalsSeen = 0;

    QByteArray toWrite;
    int status = 0;
    while (!g_stop) {
        for (; dockSignalsSeen != g_dockSignals; ++dockSignalsSeen)
            model.setDocked(!model.docked(), elapsed());
        if (!o.memoryFile.isEmpty() && savedChanges != model.memoryChanges()) {
            savedChanges = model.memoryChanges();
            saveMemory(o.memoryFile, model);
        }
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

        pollfd pfds[2] = {{pty.master, short(POLLIN | (toWrite.isEmpty() ? 0 : POLLOUT)), 0}, {control.fd, POLLIN, 0}};
        pollfd &pfd = pfds[0];
        const qint64 due = toWrite.size() < 65536 ? model.nextOutputDueMs() : -1;
        timespec wait {};
        if (due >= 0) {
            const qint64 ms = std::max<qint64>(0, due - elapsed());
            wait = {time_t(ms / 1000), long(ms % 1000) * 1000000L};
        }
        const int r = ppoll(pfds, control.fd >= 0 ? 2 : 1, due >= 0 ? &wait : nullptr, &runMask);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::perror("zev-scanner-sim: poll");
            status = 2;
            break;
        }
        // Before the line: a command written before a frame is carried out before it.
        if (pfds[1].revents & POLLIN) {
            for (const QByteArray &line : readControl(&control)) {
                QString error;
                const QString done = runControl(line, model, elapsed(), o.seed, &error);
                if (!error.isEmpty())
                    std::fprintf(stderr, "zev-scanner-sim: control: %s\n", qPrintable(error));
                if (!done.isEmpty())
                    say(done);
            }
            for (const QString &line : model.takeLog())
                say(line);
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

    if (!o.memoryFile.isEmpty() && savedChanges != model.memoryChanges())
        saveMemory(o.memoryFile, model);
    close(pty.master);
    close(pty.slave);
    removeLink(o.link, pty.device);
    closeControl(&control);
    say(QStringLiteral("stopped"));
    return status;
}
