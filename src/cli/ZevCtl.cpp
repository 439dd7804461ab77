#include "cli/ZevCtl.h"

#include "image/ImageText.h"
#include "link/Frames.h"
#include "link/LoginExchange.h"
#include "link/TransmitExchange.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"

#include <QFile>
#include <QIODevice>
#include <optional>

namespace ZevCtl {

namespace {

void say(QIODevice &dev, const QString &text)
{
    dev.write(text.toLocal8Bit());
}

QByteArray boolText(bool b)
{
    return b ? QByteArrayLiteral("True") : QByteArrayLiteral("False");
}

// Reads a settings file the way the program would take it; nullopt (and a
// reason on err) when it would refuse it.
std::optional<ImageText::SettingsContent> readSettingsFile(const QString &command, const QString &path, QIODevice &err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(err, QStringLiteral("zevctl %1: cannot read %2: %3\n").arg(command, path, file.errorString()));
        return std::nullopt;
    }
    QString reason;
    auto content = ImageText::parseSettingsText(file.readAll(), &reason);
    if (!content)
        say(err, QStringLiteral("zevctl %1: %2 is not a settings file: %3\n").arg(command, path, reason));
    return content;
}

int show(const QStringList &args, QIODevice &out, QIODevice &err)
{
    if (args.size() != 1) {
        say(err, QStringLiteral("zevctl show: expected one FILE\n"));
        return Usage;
    }
    const auto content = readSettingsFile(QStringLiteral("show"), args.first(), err);
    if (!content)
        return FileError;
    QByteArray listing;
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 16; ++c) {
            if (c)
                listing += ' ';
            listing += QByteArray::number(content->image[16 * r + c], 16).rightJustified(2, '0').toUpper();
        }
        listing += '\n';
    }
    if (content->flags)
        listing += "RtcFlag=" + boolText(content->flags->rtc) + " MidFlag=" + boolText(content->flags->mid) + '\n';
    else
        listing += "no flags\n";
    out.write(listing);
    return Done;
}

// The line to the scanner as --port names it: a COM number, or a device path taken as COM 1.
struct Line
{
    QtSettingsStore store;
    PortNames names{&store};
    QtSerialPort port{names};
    QtClock clock;

    explicit Line(const QString &portOption)
    {
        bool isNumber = false;
        const int n = portOption.toInt(&isNumber);
        if (portOption.isEmpty()) {
            port.setPortNumber(1);
        } else if (isNumber && n > 0) {
            port.setPortNumber(n);
        } else {
            names.setOverride(1, portOption);
            port.setPortNumber(1);
        }
    }
};

int login(const QStringList &args, const QString &portOption, const QString &password, QIODevice &out,
          QIODevice &err)
{
    if (!args.isEmpty()) {
        say(err, QStringLiteral("zevctl login: takes no arguments\n"));
        return Usage;
    }
    Line line(portOption);
    const LoginResult r = runLoginExchange(line.port, line.clock, password);
    switch (r.kind) {
    case LoginResult::Acknowledged:
        say(out, QStringLiteral("login acknowledged\n"));
        return Done;
    case LoginResult::Refused:
        say(err, QStringLiteral("zevctl login: the scanner refused the password (%1 tries)\n").arg(r.sends));
        return Refused;
    case LoginResult::NoReply:
        say(err, QStringLiteral("zevctl login: no reply from the scanner on %1\n").arg(line.port.deviceName()));
        return NoReply;
    case LoginResult::OtherReply:
        say(err, QStringLiteral("zevctl login: unexpected reply %1\n")
                     .arg(QString::fromLatin1(r.reply.toHex(' ')).toUpper()));
        return UnexpectedReply;
    case LoginResult::PortError:
        break;
    }
    if (r.sends == 0) {
        say(err, QStringLiteral("zevctl login: cannot open %1: %2\n").arg(line.port.deviceName(), r.error));
        return PortCannotOpen;
    }
    say(err, QStringLiteral("zevctl login: the line failed during the exchange: %1\n").arg(r.error));
    return NoReply;
}

int transmit(const QStringList &args, const QString &portOption, const QString &password, QIODevice &out,
             QIODevice &err)
{
    if (args.size() != 1) {
        say(err, QStringLiteral("zevctl transmit: expected one FILE\n"));
        return Usage;
    }
    const auto content = readSettingsFile(QStringLiteral("transmit"), args.first(), err);
    if (!content)
        return FileError;
    Line line(portOption);
    line.port.setSettings(Link::LineSettings);
    if (!line.port.open()) {
        say(err, QStringLiteral("zevctl transmit: cannot open %1: %2\n").arg(line.port.deviceName(), line.port.errorString()));
        return PortCannotOpen;
    }
    line.port.discardInput();
    QString loginPassword = password;
    int sum = 0;
    PadPassword(loginPassword, sum);
    const TransmitResult r = runTransmitExchange(line.port, line.clock, loginPassword, content->image.data());
    switch (r.kind) {
    case TransmitResult::Acknowledged:
        say(out, QStringLiteral("transmit acknowledged\n"));
        return Done;
    case TransmitResult::OtherReply:
        say(err, QStringLiteral("zevctl transmit: the scanner did not accept the settings (reply %1)\n")
                     .arg(QString::fromLatin1(r.reply.toHex(' ')).toUpper()));
        return UnexpectedReply;
    case TransmitResult::TimedOut:
        say(err, QStringLiteral("zevctl transmit: no reply within 3 s\n"));
        return NoReply;
    case TransmitResult::LineFailed:
        break;
    }
    say(err, QStringLiteral("zevctl transmit: the line failed: %1\n").arg(r.error));
    return NoReply;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: zevctl [--port DEVICE|N] [--password PW] COMMAND\n"
        "  login          the login handshake\n"
        "  transmit FILE  send the image of a settings file (.msr or Default.mag layout)\n"
        "  show FILE      print a settings file's image and its flags\n"
        "exit status: 0 done, 1 usage, 2 port cannot be opened, 3 refused by the scanner,\n"
        "  4 no reply or time-out, 5 unexpected reply, 6 file cannot be read or written\n");
}

int run(const QStringList &argsIn, QIODevice &out, QIODevice &err)
{
    QStringList args = argsIn;
    QString port;
    QString password;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--help")) {
            say(out, usageText());
            return Done;
        }
        if ((opt == QLatin1String("--port") || opt == QLatin1String("--password")) && !args.isEmpty()) {
            (opt == QLatin1String("--port") ? port : password) = args.takeFirst();
            continue;
        }
        say(err, QStringLiteral("zevctl: unknown or incomplete option %1\n").arg(opt) + usageText());
        return Usage;
    }
    if (args.isEmpty()) {
        say(err, usageText());
        return Usage;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("show"))
        return show(args, out, err);
    if (command == QLatin1String("transmit"))
        return transmit(args, port, password, out, err);
    if (command == QLatin1String("login"))
        return login(args, port, password, out, err);
    say(err, QStringLiteral("zevctl: unknown command %1\n").arg(command) + usageText());
    return Usage;
}

} // namespace ZevCtl
