#include "link/LoginExchange.h"

#include "link/Frames.h"
#include "link/QuietLine.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

bool sendUpToThreeTimes(SerialPort &port, Clock &clock, const QByteArray &frame, QByteArray &reply, int &sends)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        port.discardInput();
        if (!port.write(frame))
            return false;
        ++sends;
        clock.block(500);
        reply.clear();
        QuietLine::collectRest(port, clock, reply, QuietLine::Wait::Blocking);
        if (!port.isOpen())
            return Link::isAcknowledgement(reply);
        if (reply == Link::AckFrame)
            break;
    }
    return true;
}

LoginResult runLoginExchange(SerialPort &port, Clock &clock, const QString &typedPassword)
{
    LoginResult result;
    result.paddedPassword = typedPassword;
    int sum = 0;
    PadPassword(result.paddedPassword, sum);
    const QByteArray frame = Link::loginFrame(typedPassword);

    auto portFailed = [&]() {
        result.kind = LoginResult::PortError;
        result.error = port.errorString();
        port.close();
        return result;
    };

    if (!port.isOpen() && !port.open())
        return portFailed();
    if (!QuietLine::ready(port, clock, result.stillSending))
        return result.stillSending < 0 ? portFailed() : result;
    if (!sendUpToThreeTimes(port, clock, frame, result.reply, result.sends))
        return portFailed();
    port.close();

    if (result.reply.size() <= 1)
        result.kind = LoginResult::NoReply;
    else if (result.reply == Link::AckFrame)
        result.kind = LoginResult::Acknowledged;
    else if (result.reply == Link::NakFrame)
        result.kind = LoginResult::Refused;
    else
        result.kind = LoginResult::OtherReply;
    return result;
}
