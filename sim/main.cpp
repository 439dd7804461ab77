// zev-scanner-sim: a scanner on a pseudo-terminal, for trying the program
// without hardware and for the end-to-end tests.
#include "sim/ScannerModel.h"
#include "sim/SimOptions.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

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
    } else if (line.startsWith("add ") && SimOptions::toInt(line.mid(4), 1, 99999, &n)) {
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
    SimOptions::Options o;
    const int parsed = SimOptions::parseArgs(argc, argv, &o);
    if (parsed != 0)
        return parsed < 0 ? 0 : parsed;
    if (!SimOptions::loadRecords(&o))
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
    if (!o.memoryFile.isEmpty() && !SimOptions::saveMemory(o.memoryFile, model))
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
            SimOptions::saveMemory(o.memoryFile, model);
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
        SimOptions::saveMemory(o.memoryFile, model);
    close(pty.master);
    close(pty.slave);
    removeLink(o.link, pty.device);
    closeControl(&control);
    say(QStringLiteral("stopped"));
    return status;
}
