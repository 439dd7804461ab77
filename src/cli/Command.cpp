#include "cli/Command.h"

#include "cli/ZevCtl.h"
#include "image/SettingsFile.h"
#include "link/Frames.h"
#include "platform/UserFile.h"

#include <QFile>
#include <QRegularExpression>

#include <csignal>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

namespace ZevCtl {

void say(QIODevice &dev, const QString &text)
{
    dev.write(text.toLocal8Bit());
}

DefaultEnvironment::DefaultEnvironment(const char *name) : m_name(name), m_ours(!qEnvironmentVariableIsSet(name))
{
    if (m_ours)
        qputenv(m_name, "1");
}

DefaultEnvironment::~DefaultEnvironment()
{
    if (m_ours)
        qunsetenv(m_name);
}

bool isTerminal(const QIODevice &dev)
{
    const auto *file = qobject_cast<const QFile *>(&dev);
    return file && file->handle() >= 0 && isatty(file->handle());
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ')).toUpper();
}

int Command::fail(int status, const QString &text) const
{
    say(err, QStringLiteral("zevctl %1: %2\n").arg(name, text));
    return status;
}

int Command::print(const QByteArray &bytes) const
{
    if (const QString error = UserFile::writeAll(out, bytes); !error.isEmpty())
        return fail(FileError, QStringLiteral("cannot write the output: ") + error);
    return Done;
}

bool Command::option(const QString &o, QString &value)
{
    const qsizetype i = args.indexOf(o);
    if (i < 0)
        return true;
    if (i + 1 >= args.size())
        return false;
    value = args.at(i + 1);
    args.remove(i, 2);
    return true;
}

Line::Line(const Command &c)
    : m_command(c), m_draining(c.err),
      m_observer([this](qint64 discarded) { m_draining.discarding(m_command.name, discarded); })
{
    bool isNumber = false;
    const int n = c.portOption.toInt(&isNumber);
    if (!c.portOption.isEmpty() && !(isNumber && n > 0))
        names.setOverride(1, c.portOption);
    session.CommPortNumber = qint16(isNumber && n > 0 ? n : 1);
    setPassword(c.password);
}

void Line::setPassword(const QString &password)
{
    session.LoginPassword = password;
    int sum = 0;
    PadPassword(session.LoginPassword, sum);
}

Line::~Line()
{
    m_draining.finish();
    for (const auto &port : m_ports)
        if (port->bytesWritten() > 0)
            m_command.frameSent = true;
}

QtSerialPort *Line::makePort()
{
    auto port = std::make_unique<QtSerialPort>(names);
    port->setPortNumber(session.CommPortNumber);
    port->setSettings(Link::LineSettings);
    m_ports.push_back(std::move(port));
    return m_ports.back().get();
}

int Line::stillSending(const Command &c, qint64 discarded) const
{
    return c.fail(NoReply, QStringLiteral("the scanner is still sending (%1 bytes discarded): wait until it has "
                                          "finished, or switch it off and on")
                               .arg(discarded));
}

QString signalName(int signal)
{
#ifdef SIGHUP
    if (signal == SIGHUP)
        return QStringLiteral("SIGHUP");
#endif
    if (signal == SIGINT)
        return QStringLiteral("SIGINT");
    if (signal == SIGTERM)
        return QStringLiteral("SIGTERM");
    return QString::number(signal);
}

QString portOptionProblem(const QString &port)
{
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9]+$"));
    if (number.match(port).hasMatch()) {
        bool ok = false;
        const int n = port.toInt(&ok);
        return ok && n >= 1 && n <= 16 ? QString() : QStringLiteral("COM numbers run from 1 to 16, not %1").arg(port);
    }
    if (port.isEmpty())
        return QStringLiteral("--port needs a device or a COM number");
    if (port != port.trimmed())
        return QStringLiteral("the device \"%1\" has blanks at its ends").arg(port);
    for (const QChar ch : port)
        if (ch.category() == QChar::Other_Control)
            return QStringLiteral("the device name holds a control character");
    return QString();
}

int Line::portFailed(const Command &c, const SerialPort &port, const SerialPort *other) const
{
    PortProblem p = port.problem();
    if (p.isNone() && other)
        p = other->problem();
    if (p.device.isEmpty())
        p.device = device();
    if (p.kind == PortProblem::Lost)
        return c.fail(NoReply, QStringLiteral("the line failed: ") + p.line());
    return c.fail(PortCannotOpen, QStringLiteral("cannot open ") + p.line());
}

std::optional<ImageText::SettingsContent> readSettingsFile(const Command &c, const QString &path)
{
    const SettingsFileRead read = ReadSettingsFile(path);
    if (read.result == OpenResult::ReadError)
        c.fail(FileError, QStringLiteral("cannot read %1: %2").arg(path, read.reason));
    else if (!read.content)
        c.fail(FileError, QStringLiteral("%1 is not a settings file: %2").arg(path, read.reason));
    return read.content;
}

int writeFile(const Command &c, const QString &path, const QByteArray &bytes)
{
    if (const QString error = UserFile::write(path, bytes); !error.isEmpty())
        return c.fail(FileError, QStringLiteral("cannot write %1: %2").arg(path, error));
    return Done;
}

} // namespace ZevCtl
