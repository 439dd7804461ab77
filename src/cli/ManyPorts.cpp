#include "cli/ManyPorts.h"

#include "cli/Command.h"
#include "cli/ZevCtl.h"
#include "platform/PortNames.h"
#include "platform/QtSettingsStore.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QIODevice>
#include <QThread>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace ManyPorts {

namespace {

constexpr uint PortThreadStack = 1024 * 1024;

QString statusWords(int status)
{
    switch (status) {
    case ZevCtl::Done: return QStringLiteral("done");
    case ZevCtl::Usage: return QStringLiteral("usage error");
    case ZevCtl::PortCannotOpen: return QStringLiteral("port cannot be opened");
    case ZevCtl::Refused: return QStringLiteral("refused by the scanner");
    case ZevCtl::NoReply: return QStringLiteral("no reply, time-out or line lost");
    case ZevCtl::UnexpectedReply: return QStringLiteral("unexpected reply");
    case ZevCtl::FileError: return QStringLiteral("file cannot be read or written");
    case ZevCtl::Incomplete: return QStringLiteral("download incomplete");
    }
    if (status > ZevCtl::StoppedBySignal)
        return QStringLiteral("stopped by signal ") + ZevCtl::signalName(status - ZevCtl::StoppedBySignal);
    return QStringLiteral("status %1").arg(status);
}

int usage(QIODevice &err, const QString &text)
{
    err.write(QStringLiteral("zevctl: %1\n").arg(text).toLocal8Bit());
    return ZevCtl::Usage;
}

// The last thing a port's zevctl said, without its "zevctl COMMAND: " prefix.
QString lastLine(const QByteArray &stderrText, const QString &command)
{
    const QStringList lines = QString::fromLocal8Bit(stderrText).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return QString();
    QString line = lines.last().trimmed();
    const QString prefix = QStringLiteral("zevctl %1: ").arg(command);
    if (line.startsWith(prefix))
        line.remove(0, prefix.size());
    return line;
}

// What a --port value opens, as the system tells devices apart (a link, "..",
// a COM number mapped to it all give the same); the path itself when it is not there.
QString deviceIdentity(const QString &port, const PortNames &names)
{
    bool isNumber = false;
    const int com = port.toInt(&isNumber);
    const QString device = isNumber ? names.deviceFor(com) : port;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) == 0)
        return QStringLiteral("%1:%2:%3").arg(quint64(st.st_rdev)).arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
#endif
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

} // namespace

bool takesSeveralPorts(const QString &command)
{
    static const QStringList commands{QStringLiteral("login"), QStringLiteral("transmit"), QStringLiteral("erase"),
                                      QStringLiteral("set-clock"), QStringLiteral("passwd"), QStringLiteral("download"),
                                      QStringLiteral("collect")};
    return commands.contains(command);
}

QString label(const QString &port)
{
    bool isNumber = false;
    const int com = port.toInt(&isNumber);
    if (!isNumber)
        return port;
    QtSettingsStore store;
    return QStringLiteral("COM%1 %2").arg(com).arg(PortNames(&store).deviceFor(com));
}

int run(const QStringList &ports, const QString &password, const QStringList &shared, const QStringList &command,
        QIODevice &err)
{
    const QString &name = command.first();
    if (!takesSeveralPorts(name))
        return usage(err, QStringLiteral("%1 takes one --port at most").arg(name));
    if (QStringList(ports).removeDuplicates() > 0)
        return usage(err, QStringLiteral("a port is named twice"));
    // One device under two names would run twice on one line: refused before any port opens.
    QtSettingsStore store;
    PortNames names(&store);
    QHash<QString, QString> seen;
    for (const QString &port : ports) {
        const QString id = deviceIdentity(port, names);
        if (seen.contains(id))
            return usage(err, QStringLiteral("%1 and %2 are the same device").arg(seen.value(id), port));
        seen.insert(id, port);
    }
    if (name == QLatin1String("download") || name == QLatin1String("collect")) {
        // Every port writes its own file, named by its machine ID.
        const qsizetype o = command.indexOf(QStringLiteral("-o"));
        if (o < 0 || o + 1 >= command.size() || !QFileInfo(command.at(o + 1)).isDir())
            return usage(err, QStringLiteral("%1 on several ports needs -o DIR, an existing folder").arg(name));
        if (command.contains(QStringLiteral("--raw")))
            return usage(err, QStringLiteral("--raw takes one port; the archive keeps every port's bytes"));
    }

    // One thread per port, each running the one-port command with its own
    // port, clock and event loop: the scanners are served at the same time
    // without the cost of starting a process for each.
    struct Outcome
    {
        int status = ZevCtl::Done;
        QByteArray err;
    };
    std::vector<Outcome> outcomes(size_t(ports.size()));
    // As in the main thread: each port's thread starts with the plain Unix
    // event dispatcher, at a fraction of the cost of GLib's.
    const ZevCtl::DefaultEnvironment noGlib("QT_NO_THREADED_GLIB");
    std::vector<std::unique_ptr<QThread>> threads;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        QStringList args{QStringLiteral("--port"), ports[i]};
        if (!password.isNull())
            args << QStringLiteral("--password") << password;
        args += shared;
        args += command;
        Outcome &outcome = outcomes[size_t(i)];
        threads.emplace_back(QThread::create([args, &outcome]() {
            QBuffer out;
            QBuffer err;
            out.open(QIODevice::WriteOnly);
            err.open(QIODevice::WriteOnly);
            outcome.status = ZevCtl::run(args, out, err);
            outcome.err = err.data();
        }));
        // Small stacks stay in the C library's cache of stacks at the end;
        // sixteen of the default 8 MB would be unmapped one by one.
        threads.back()->setStackSize(PortThreadStack);
        threads.back()->start();
    }
    for (auto &t : threads)
        t->wait();

    int highest = ZevCtl::Done;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        const int status = outcomes[size_t(i)].status;
        const QString detail = lastLine(outcomes[size_t(i)].err, name);
        highest = qMax(highest, status);
        QString line = label(ports[i]) + QStringLiteral(": ") + statusWords(status);
        if (status != ZevCtl::Done && !detail.isEmpty())
            line += QStringLiteral(" (") + detail + QLatin1Char(')');
        err.write((line + QLatin1Char('\n')).toLocal8Bit());
    }
    return highest;
}

} // namespace ManyPorts
