#include "cli/Command.h"

#include "cli/ZevCtl.h"
#include "collect/ClockExchange.h"
#include "collect/EraseExchange.h"
#include "collect/PasswordCheck.h"
#include "link/ChangePasswordExchange.h"
#include "link/Frames.h"
#include "link/LoginExchange.h"
#include "link/TransmitExchange.h"

// The commands that change or ask the scanner and answer with one line.
namespace ZevCtl {

int login(Command &c)
{
    if (!c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("takes no arguments"));
    Line line(c);
    auto port = line.makePort();
    const LoginResult r = runLoginExchange(*port, line.clock, c.password);
    switch (r.kind) {
    case LoginResult::Acknowledged:
        return c.print(QStringLiteral("login acknowledged\n"));
    case LoginResult::Refused:
        return c.fail(Refused, QStringLiteral("the scanner refused the password (%1 tries)").arg(r.sends));
    case LoginResult::NoReply:
        return c.fail(NoReply, QStringLiteral("no reply from the scanner on %1").arg(line.device()));
    case LoginResult::OtherReply:
        return c.fail(UnexpectedReply, QStringLiteral("unexpected reply %1").arg(hex(r.reply)));
    case LoginResult::PortError:
        break;
    }
    return line.portFailed(c, *port);
}

int transmit(Command &c)
{
    if (c.args.size() != 1)
        return c.fail(Usage, QStringLiteral("expected one FILE"));
    const auto content = readSettingsFile(c, c.args.first());
    if (!content)
        return FileError;
    Line line(c);
    auto port = line.makePort();
    if (!port->open())
        return line.portFailed(c, *port);
    port->discardInput();
    const TransmitResult r = runTransmitExchange(*port, line.clock, line.session.LoginPassword, content->image.data());
    switch (r.kind) {
    case TransmitResult::Acknowledged:
        return c.print(QStringLiteral("transmit acknowledged\n"));
    case TransmitResult::OtherReply:
        // Only AckFrame means accepted; the negative reply is the scanner's own refusal.
        return c.fail(r.reply == Link::NakFrame ? Refused : UnexpectedReply,
                      QStringLiteral("the scanner did not accept the settings (reply %1)").arg(hex(r.reply)));
    case TransmitResult::TimedOut:
        return c.fail(NoReply, QStringLiteral("no reply within 3 s"));
    case TransmitResult::LineFailed:
        break;
    }
    return line.portFailed(c, *port);
}
int erase(Command &c)
{
    if (!c.flag(QStringLiteral("--yes")) || !c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("erases every record in the scanner; confirm with --yes"));
    Line line(c);
    return eraseScanner(c, line);
}

int eraseScanner(Command &c, Line &line)
{
    auto port = line.makePort();
    const EraseResult r = runEraseExchange(*port, line.clock, line.session);
    switch (r.kind) {
    case EraseResult::Erased:
        return c.print(QStringLiteral("erased\n"));
    case EraseResult::NoAnswer:
        return c.fail(NoReply, QStringLiteral("no answer from the scanner on %1").arg(line.device()));
    case EraseResult::OtherReply:
        return c.fail(r.reply == Link::NakFrame ? Refused : UnexpectedReply,
                      QStringLiteral("the scanner did not confirm the erase (reply %1)").arg(hex(r.reply)));
    case EraseResult::PortError:
        break;
    }
    return line.portFailed(c, *port);
}

namespace {

// The password check that comes before a clock or password change; Done when it passed.
int passwordCheck(Command &c, Line &line, PasswordCheckVariant variant)
{
    auto port = line.makePort();
    const PasswordCheckResult r = runPasswordCheck(*port, line.clock, line.session, variant);
    if (r.kind == PasswordCheckResult::PortError)
        return line.portFailed(c, *port);
    if (!r.passed())
        return c.fail(NoReply, QStringLiteral("no answer to the password frame on %1").arg(line.device()));
    return Done;
}

} // namespace

int setClock(Command &c)
{
    if (!c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("takes no arguments"));
    Line line(c);
    return setScannerClock(c, line);
}

int setScannerClock(Command &c, Line &line)
{
    if (const int status = passwordCheck(c, line, PasswordCheckVariant::Clock); status != Done)
        return status;
    auto port = line.makePort();
    const QDateTime now = line.clock.now();
    const ClockSyncResult r = runClockSync(*port, line.clock, line.session, now);
    const QString setTo = QStringLiteral("clock set to %1\n").arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    switch (r.kind) {
    case ClockSyncResult::Synchronised:
        return c.print(setTo);
    case ClockSyncResult::NotAcknowledged:
        return c.fail(r.reply == Link::NakFrame ? Refused : UnexpectedReply,
                      QStringLiteral("the clock was not set (reply %1)").arg(hex(r.reply)));
    case ClockSyncResult::NoAnswer:
        return c.fail(NoReply, QStringLiteral("no answer to the set-clock frame"));
    case ClockSyncResult::ReadBackTimedOut:
        return c.fail(NoReply, QStringLiteral("the clock could not be read back within 3 s"));
    case ClockSyncResult::PortError:
        if (r.acknowledged) {
            say(c.err, QStringLiteral("zevctl %1: the scanner acknowledged the clock, but the line failed "
                                      "before it could be read back: %2\n").arg(c.name, r.error));
            return c.print(setTo);
        }
        break;
    }
    return line.portFailed(c, *port);
}

int passwd(Command &c)
{
    if (c.args.size() != 1 || !Link::isPasswordText(c.args.first()))
        return c.fail(Usage, QStringLiteral("expected the new password: up to 8 letters and digits"));
    Line line(c);
    if (const int status = passwordCheck(c, line, PasswordCheckVariant::ChangePassword); status != Done)
        return status;
    auto port = line.makePort();
    const ChangePasswordResult r = runChangePasswordExchange(*port, line.clock, line.session.CommPortNumber,
                                                             c.password, c.args.first());
    // Only whole acknowledgements count: a late one to the password check may come first.
    if (r.kind == ChangePasswordResult::Changed || Link::isAcknowledgement(r.reply))
        return c.print(QStringLiteral("password changed\n"));
    switch (r.kind) {
    case ChangePasswordResult::Changed:
    case ChangePasswordResult::Refused:
        return c.fail(Refused, QStringLiteral("the scanner refused the current password"));
    case ChangePasswordResult::NoAnswer:
        return c.fail(NoReply, QStringLiteral("no answer from the scanner"));
    case ChangePasswordResult::OtherReply:
        return c.fail(UnexpectedReply, QStringLiteral("unexpected reply %1").arg(hex(r.reply)));
    case ChangePasswordResult::PortError:
        break;
    }
    return line.portFailed(c, *port);
}

} // namespace ZevCtl
