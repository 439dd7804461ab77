#include "collect/EraseExchange.h"

#include "core/Session.h"
#include "collect/PasswordCheck.h"
#include "link/Frames.h"
#include "link/QuietLine.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

EraseResult runEraseExchange(SerialPort &port, Clock &clock, const Session &session,
                             const std::function<void(int)> &poll)
{
    EraseResult result;
    const PasswordCheckResult check = runPasswordCheck(port, clock, session, PasswordCheckVariant::Erase);
    if (check.kind != PasswordCheckResult::Passed) {
        result.kind = check.kind == PasswordCheckResult::PortError ? EraseResult::PortError : EraseResult::NoAnswer;
        result.error = check.error;
        result.stillSending = check.stillSending;
        return result;
    }
    if (!port.write(Link::commandFrame(session.LoginPassword, 'E'))) {
        result.kind = EraseResult::PortError;
        result.error = port.errorString();
        port.close();
        return result;
    }
    if (poll)
        poll(0);
    for (int i = 1; i <= ErasePolls; ++i) {
        result.reply += port.readAll();
        // A stop ends the wait; what came is judged as it is.
        if (!clock.block(100))
            break;
        if (poll)
            poll(i);
    }
    QuietLine::collectRest(port, clock, result.reply, QuietLine::Wait::Blocking);
    // Part of an acknowledgement, then a lost line: the line was lost.
    if (!port.isOpen() && (result.reply.size() < 2 || Link::isCutAcknowledgement(result.reply))) {
        result.kind = EraseResult::PortError;
        result.error = port.errorString();
        return result;
    }
    port.close();
    if (result.reply.size() < 2)
        result.kind = EraseResult::NoAnswer;
    else if (result.reply == Link::AckFrame)
        result.kind = EraseResult::Erased;
    else
        result.kind = EraseResult::OtherReply;
    return result;
}
