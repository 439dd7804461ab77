#include "cli/Command.h"

#include "cli/ZevCtl.h"
#include "image/SettingsFile.h"
#include "link/Frames.h"
#include "platform/UserFile.h"

namespace ZevCtl {

void say(QIODevice &dev, const QString &text)
{
    dev.write(text.toLocal8Bit());
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

std::unique_ptr<QtSerialPort> Line::makePort()
{
    auto port = std::make_unique<QtSerialPort>(names);
    port->setPortNumber(session.CommPortNumber);
    port->setSettings(Link::LineSettings);
    port->setInputBufferSize(2048);
    return port;
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
