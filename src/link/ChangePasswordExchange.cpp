#include "link/ChangePasswordExchange.h"

#include "link/Frames.h"
#include "link/QuietLine.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

ChangePasswordResult runChangePasswordExchange(SerialPort &port, Clock &clock, int portNumber,
                                               const QString &currentPassword, const QString &newPassword,
                                               const std::function<void()> &afterPoll)
{
    ChangePasswordResult result;
    result.paddedNewPassword = newPassword;
    int sum = 0;
    PadPassword(result.paddedNewPassword, sum);
    auto portFailed = [&]() {
        result.kind = ChangePasswordResult::PortError;
        result.error = port.errorString();
        port.close();
        return result;
    };
    if (port.isOpen())
        port.close();
    port.setPortNumber(portNumber);
    port.setSettings(Link::LineSettings);
    if (!port.open())
        return portFailed();
    // A late reply to the password check must not pass for the answer to "C".
    if (!QuietLine::ready(port, clock, result.stillSending))
        return result.stillSending < 0 ? portFailed() : result;
    if (!port.write(Link::changePasswordFrame(currentPassword, newPassword)))
        return portFailed();
    for (int poll = 0; poll < 10; ++poll) {
        result.reply += port.readAll();
        if (!port.isOpen())
            break;
        if (afterPoll)
            afterPoll();
        clock.waitMs(100);
    }
    QuietLine::collectRest(port, clock, result.reply, QuietLine::Wait::Yielding);
    // What the scanner answered before the line failed still counts, but not
    // the first bytes of an acknowledgement.
    if (!port.isOpen() && (result.reply.size() < 2 || Link::isCutAcknowledgement(result.reply)))
        return portFailed();
    result.error = port.errorString();
    port.close();
    if (result.reply.size() < 2)
        result.kind = ChangePasswordResult::NoAnswer;
    else if (result.reply == Link::AckFrame)
        result.kind = ChangePasswordResult::Changed;
    else if (result.reply == Link::NakFrame)
        result.kind = ChangePasswordResult::Refused;
    else
        result.kind = ChangePasswordResult::OtherReply;
    return result;
}
