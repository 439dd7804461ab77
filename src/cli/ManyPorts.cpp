#include "cli/ManyPorts.h"

#include "cli/ZevCtl.h"
#include "platform/PortNames.h"
#include "platform/QtSettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIODevice>
#include <QProcess>
#include <memory>
#include <vector>

namespace ManyPorts {

namespace {

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

} // namespace

bool takesSeveralPorts(const QString &command)
{
    static const QStringList commands{QStringLiteral("login"), QStringLiteral("transmit"), QStringLiteral("erase"),
                                      QStringLiteral("set-clock"), QStringLiteral("passwd"), QStringLiteral("download")};
    return commands.contains(command);
}

int run(const QStringList &ports, const QString &password, const QStringList &command, QIODevice &err)
{
    const QString &name = command.first();
    if (!takesSeveralPorts(name))
        return usage(err, QStringLiteral("%1 takes one --port at most").arg(name));
    if (QStringList(ports).removeDuplicates() > 0)
        return usage(err, QStringLiteral("a port is named twice"));
    if (name == QLatin1String("download")) {
        // Every port writes its own file, named by its machine ID.
        const qsizetype o = command.indexOf(QStringLiteral("-o"));
        if (o < 0 || o + 1 >= command.size() || !QFileInfo(command.at(o + 1)).isDir())
            return usage(err, QStringLiteral("download on several ports needs -o DIR, an existing folder"));
        if (command.contains(QStringLiteral("--raw")))
            return usage(err, QStringLiteral("--raw takes one port; the archive keeps every port's bytes"));
    }

    QtSettingsStore store;
    PortNames names(&store);
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QString &port : ports) {
        QStringList args{QStringLiteral("--port"), port};
        if (!password.isNull())
            args << QStringLiteral("--password") << password;
        auto p = std::make_unique<QProcess>();
        p->setStandardOutputFile(QProcess::nullDevice());
        p->start(QCoreApplication::applicationFilePath(), args + command);
        runs.push_back(std::move(p));
    }
    int highest = ZevCtl::Done;
    for (size_t i = 0; i < runs.size(); ++i) {
        QProcess &p = *runs[i];
        p.waitForFinished(-1);
        int status = p.exitCode();
        QString detail = lastLine(p.readAllStandardError(), name);
        if (p.error() == QProcess::FailedToStart || p.exitStatus() != QProcess::NormalExit) {
            status = ZevCtl::UnexpectedReply;
            detail = QStringLiteral("zevctl ended abnormally: ") + p.errorString();
        }
        highest = qMax(highest, status);
        bool isNumber = false;
        const int com = ports[i].toInt(&isNumber);
        const QString label = isNumber ? QStringLiteral("COM%1 %2").arg(com).arg(names.deviceFor(com)) : ports[i];
        QString line = label + QStringLiteral(": ") + statusWords(status);
        if (status != ZevCtl::Done && !detail.isEmpty())
            line += QStringLiteral(" (") + detail + QLatin1Char(')');
        err.write((line + QLatin1Char('\n')).toLocal8Bit());
    }
    return highest;
}

} // namespace ManyPorts
