#include "cli/Command.h"

#include "cli/LedgerStep.h"
#include "cli/ManyPorts.h"
#include "cli/Station.h"
#include "cli/ZevCtl.h"
#include "collect/DownloadArchive.h"
#include "link/Frames.h"
#include "platform/UserFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// watch: the collection station. One thread per port probes it, collects the
// scanner that answers, exports its new records and runs the command; the
// main thread waits for signals.
namespace ZevCtl {

namespace {

// What the main thread and the port threads share.
struct Shared
{
    Shared(QIODevice &e, const QString &url) : err(e), ledgerUrl(url) {}
    QIODevice &err;
    QString ledgerUrl;
    std::atomic<bool> stop{false};
    QMutex mutex;
    std::shared_ptr<const Station::Options> current;
    std::map<QString, ExchangeGate *> gates; // of the running collections' clocks, to stop them

    bool stopping() const { return stop.load(); }
    void say(const QString &line)
    {
        QMutexLocker lock(&mutex);
        err.write((line + QLatin1Char('\n')).toLocal8Bit());
    }
    std::shared_ptr<const Station::Options> options()
    {
        QMutexLocker lock(&mutex);
        return current;
    }
    void enrol(const QString &port, ExchangeGate *gate)
    {
        QMutexLocker lock(&mutex);
        gates[port] = gate;
    }
    void leave(const QString &port)
    {
        QMutexLocker lock(&mutex);
        gates.erase(port);
    }
    // A running collection ends at its next wait.
    void stopAll()
    {
        stop = true;
        QMutexLocker lock(&mutex);
        for (const auto &entry : gates)
            entry.second->stopForGood();
    }
};

// One port's stderr: each whole line, prefixed with the port, goes out at once.
class PortLog : public QIODevice
{
public:
    PortLog(Shared &shared, const QString &label) : m_shared(shared), m_label(label) { open(WriteOnly); }
    void line(const QString &text) { m_shared.say(m_label + QStringLiteral(": ") + text); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        m_pending += QByteArray(data, size);
        for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
            QString text = QString::fromLocal8Bit(m_pending.left(end));
            m_pending.remove(0, end + 1);
            text.remove(QStringLiteral("zevctl watch: "));
            if (!text.trimmed().isEmpty())
                line(text);
        }
        return size;
    }

private:
    Shared &m_shared;
    QString m_label;
    QByteArray m_pending;
};

// The lightest exchange that shows a scanner is there: the password check,
// which changes nothing in the scanner, judged as the download judges it.
Station::Probe probe(Line &line, QtSerialPort *port, QString &problem)
{
    auto failed = [&]() {
        const PortProblem p = port->problem();
        problem = p.line();
        port->close();
        return p.kind == PortProblem::Missing || p.kind == PortProblem::Lost ? Station::Probe::Missing
                                                                              : Station::Probe::CannotOpen;
    };
    // The port stays open from one probe to the next: a collection closes it first.
    if (!port->isOpen() && !port->open())
        return failed();
    port->discardInput();
    // Bytes still arriving belong to an earlier stream, never to the probe.
    if (!line.clock.waitMs(100) || port->bytesWaiting() > 0)
        return Station::Probe::Talking;
    if (!port->write(Link::commandFrame(line.session.LoginPassword, 'P')))
        return failed();
    // As long as the download's own check waits (250 ms), in few sleeps: an empty cradle costs little.
    QByteArray reply;
    for (const int ms : {50, 100, 100}) {
        if (reply.size() >= Link::AckFrame.size() || !line.clock.waitMs(ms))
            break;
        reply += port->readAll();
    }
    if (!port->isOpen())
        return failed();
    return reply.size() >= 2 ? Station::Probe::Answered : Station::Probe::Silent;
}

// The records of the scanner that this folder has not had, one file per
// batch named after the machine ID and the time; returns the last file written.
QString exportNew(Command &c, Ledger &ledger, const LedgerStep &step, const Station::Options &o, PortLog &log)
{
    RecordExport::Format format = RecordExport::Format::Csv;
    RecordExport::parseFormat(o.format, format);
    const QString dir = QDir(o.exportDir).absolutePath();
    const QString key = step.recorded.scannerKey;
    const QString sink = QStringLiteral("station %1 %2").arg(dir, key);
    QString error;
    // A batch committed by a run that stopped before its file was whole goes first.
    QList<ExportBatch> batches = ledger.pendingBatches(sink, &error);
    if (error.isEmpty())
        if (const ExportBatch fresh = ledger.newBatch(sink, key, &error); fresh.id)
            batches << fresh;
    if (!error.isEmpty()) {
        log.line(QStringLiteral("nothing exported: ") + error);
        return QString();
    }
    QString name = DownloadArchive::safeName(step.machineId);
    if (name.isEmpty())
        name = QStringLiteral("download");
    QString written;
    for (const ExportBatch &b : batches) {
        QFile claim;
        const QString base = dir + QLatin1Char('/') + name + QLatin1Char('-')
                           + b.createdUtc.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!UserFile::createNew(claim, base, QLatin1Char('.') + RecordExport::extension(format))) {
            log.line(QStringLiteral("nothing exported: cannot make a file in %1: %2").arg(dir, claim.errorString()));
            return written;
        }
        claim.close();
        qsizetype rows = 0;
        if (writeExportBatch(c, ledger, b, format, claim.fileName(), rows) != Done) {
            if (QFileInfo(claim.fileName()).size() == 0)
                QFile::remove(claim.fileName());
            return written;
        }
        written = claim.fileName();
        log.line(QStringLiteral("%1 records exported to %2").arg(rows).arg(written));
    }
    return written;
}

void runCommand(Shared &shared, const QString &command, const QProcessEnvironment &env, PortLog &log)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.setProcessEnvironment(env);
#ifdef Q_OS_WIN
    p.start(QStringLiteral("cmd.exe"), {QStringLiteral("/c"), command});
#else
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
#endif
    if (!p.waitForStarted()) {
        log.line(QStringLiteral("the command did not start: ") + p.errorString());
        return;
    }
    while (!p.waitForFinished(100) && p.state() != QProcess::NotRunning) {
        if (shared.stopping()) {
            p.terminate();
            p.waitForFinished(500);
            log.line(QStringLiteral("the command was ended: the station stops"));
            return;
        }
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        log.line(QStringLiteral("the command ended with status %1").arg(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1));
}

// One collection with collect's rules, then the export and the command.
void collectOnce(Shared &shared, Command &c, Line &line, const Station::Options &o, PortLog &log)
{
    CollectOptions co;
    co.erase = o.erase;
    co.setClock = o.setClock;
    co.download.writeOutput = false;
    LedgerStep step;
    const int status = collectScanner(c, co, line, step);
    if (shared.stopping()) {
        // What arrived is archived and recorded; the next collection exports it.
        log.line(QStringLiteral("stopped during the collection (status %1)").arg(status));
        return;
    }
    const QString file = step.recorded.ok && !o.exportDir.isEmpty() ? exportNew(c, *step.ledger, step, o, log) : QString();
    const QString machine = QString::fromLatin1(step.machineId);
    log.line(QStringLiteral("collected %1: %2 of %3 records, %4 new, status %5")
                 .arg(machine.isEmpty() ? QStringLiteral("(no machine ID)") : machine)
                 .arg(step.received)
                 .arg(step.announced)
                 .arg(step.recorded.fresh)
                 .arg(status));
    if (o.exec.isEmpty())
        return;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZEV_PORT"), line.device());
    env.insert(QStringLiteral("ZEV_MACHINE_ID"), machine);
    env.insert(QStringLiteral("ZEV_NEW"), QString::number(step.recorded.fresh));
    env.insert(QStringLiteral("ZEV_RECEIVED"), QString::number(step.received));
    env.insert(QStringLiteral("ZEV_ANNOUNCED"), QString::number(step.announced));
    env.insert(QStringLiteral("ZEV_STATUS"), QString::number(status));
    env.insert(QStringLiteral("ZEV_FILE"), file);
    runCommand(shared, o.exec, env, log);
}

void servePort(Shared &shared, const QString &port)
{
    PortLog log(shared, ManyPorts::label(port));
    QBuffer unused;
    Command c{QStringLiteral("watch"), {}, port, QString(), unused, log, shared.ledgerUrl, false};
    Line line(c);
    shared.enrol(port, &line.clock.gate());
    Station::PortWatch watch;
    // One port for every probe, open while nothing else uses it.
    QtSerialPort *const probePort = line.makePort();
    while (!shared.stopping()) {
        const std::shared_ptr<const Station::Options> o = shared.options();
        if (!o->ports.contains(port))
            break; // no longer watched since the settings were read again
        line.setPassword(o->password);
        QString problem;
        const Station::Probe found = probe(line, probePort, problem);
        if (shared.stopping())
            break;
        const Station::Step step = watch.probed(found, line.clock.tickCount(), o->everyMs(), problem);
        if (!step.say.isEmpty())
            log.line(step.say);
        if (step.collect) {
            probePort->close();
            collectOnce(shared, c, line, *o, log);
            watch.collected(line.clock.tickCount());
        }
        if (!line.clock.waitMs(int(o->intervalMs())))
            break;
    }
    shared.leave(port);
}

#ifdef Q_OS_UNIX
int g_signalPipe[2] = {-1, -1};
extern "C" void onStationSignal(int signal)
{
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}
#else
volatile std::sig_atomic_t g_signal = 0;
extern "C" void onStationSignal(int signal)
{
    g_signal = signal;
}
#endif

// Blocks until a signal comes; returns its number.
int nextSignal()
{
#ifdef Q_OS_UNIX
    char byte = 0;
    while (::read(g_signalPipe[0], &byte, 1) != 1) {
    }
    return byte;
#else
    while (g_signal == 0)
        QThread::msleep(200);
    const int s = g_signal;
    g_signal = 0;
    return s;
#endif
}

} // namespace

int watch(Command &c, const QStringList &ports)
{
    Station::Options o;
    bool save = false;
    QString error;
    if (const int status = Station::load(c.args, ports, c.password, o, save, error); status != Done)
        return c.fail(status, error);
    if (save) {
        QString path;
        if (!Station::save(o, path, error))
            return c.fail(FileError, error);
        return c.print(QStringLiteral("the station's settings are saved in %1\n").arg(path));
    }

    Shared shared(c.err, c.ledgerUrl);
    shared.current = std::make_shared<const Station::Options>(o);
#ifdef Q_OS_UNIX
    if (::pipe(g_signalPipe) != 0)
        return c.fail(FileError, QStringLiteral("cannot wait for signals: ") + QString::fromLocal8Bit(strerror(errno)));
    struct sigaction action {}, old[3];
    action.sa_handler = onStationSignal;
    sigemptyset(&action.sa_mask);
    const int signals[3] = {SIGTERM, SIGINT, SIGHUP};
    for (int i = 0; i < 3; ++i)
        sigaction(signals[i], &action, &old[i]);
#else
    std::signal(SIGTERM, onStationSignal);
    std::signal(SIGINT, onStationSignal);
#endif

    std::map<QString, std::unique_ptr<QThread>> threads;
    auto startPorts = [&](const QStringList &list) {
        for (const QString &port : list) {
            std::unique_ptr<QThread> &t = threads[port];
            if (t && !t->isFinished())
                t->wait(); // dropped and named again before it ended: one thread a port
            t.reset(QThread::create([&shared, port]() { servePort(shared, port); }));
            t->start();
        }
    };
    startPorts(o.ports);
    shared.say(QStringLiteral("zevctl watch: watching %1 port(s) every %2 s").arg(o.ports.size()).arg(o.intervalSeconds));

    for (int signal = nextSignal(); signal != SIGTERM && signal != SIGINT; signal = nextSignal()) {
        // SIGHUP: the settings again; a port still watched keeps its thread and its state.
        Station::Options next;
        bool ignored = false;
        if (Station::load(c.args, ports, c.password, next, ignored, error) != Done) {
            shared.say(QStringLiteral("zevctl watch: the settings were not taken, watching on as before: ") + error);
            continue;
        }
        QStringList added;
        for (const QString &port : next.ports)
            if (!shared.options()->ports.contains(port) || !threads.count(port) || threads[port]->isFinished())
                added << port;
        {
            QMutexLocker lock(&shared.mutex);
            shared.current = std::make_shared<const Station::Options>(next);
        }
        startPorts(added);
        shared.say(QStringLiteral("zevctl watch: settings read again: %1 port(s) every %2 s")
                       .arg(next.ports.size())
                       .arg(next.intervalSeconds));
    }
    shared.say(QStringLiteral("zevctl watch: stopping"));
    shared.stopAll();
    for (auto &entry : threads)
        entry.second->wait();
#ifdef Q_OS_UNIX
    for (int i = 0; i < 3; ++i)
        sigaction(signals[i], &old[i], nullptr);
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
#endif
    shared.say(QStringLiteral("zevctl watch: stopped"));
    return Done;
}

} // namespace ZevCtl
