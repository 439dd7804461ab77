#include "cli/ZevCtl.h"

#include "image/ImageText.h"
#include "link/LoginExchange.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"

#include <QFile>
#include <QIODevice>

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

int show(const QStringList &args, QIODevice &out, QIODevice &err)
{
    if (args.size() != 1) {
        say(err, QStringLiteral("zevctl show: expected one FILE\n"));
        return Usage;
    }
    const QString path = args.first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(err, QStringLiteral("zevctl show: cannot read %1: %2\n").arg(path, file.errorString()));
        return FileError;
    }
    const QByteArray text = file.readAll();
    QString reason;
    const auto content = ImageText::parseSettingsText(text, &reason);
    if (!content) {
        say(err, QStringLiteral("zevctl show: %1 is not a settings file: %2\n").arg(path, reason));
        return FileError;
    }
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

} // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: zevctl [--port DEVICE|N] [--password PW] COMMAND\n"
        "  login          the login handshake\n"
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
    if (command == QLatin1String("login"))
        return login(args, port, password, out, err);
    say(err, QStringLiteral("zevctl: unknown command %1\n").arg(command) + usageText());
    return Usage;
}

} // namespace ZevCtl
