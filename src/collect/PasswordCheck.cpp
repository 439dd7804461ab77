#include "collect/PasswordCheck.h"

#include "core/Session.h"
#include "link/Frames.h"
#include "link/LoginExchange.h"
#include "link/QuietLine.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

PasswordCheckResult runPasswordCheck(SerialPort &port, Clock &clock, const Session &session,
                                     PasswordCheckVariant variant, qint64 quietLimitMs)
{
    PasswordCheckResult result;
    bool opened = false;
    const QByteArray frame = Link::commandFrame(session.LoginPassword, 'P');
    auto portFailed = [&]() {
        result.kind = PasswordCheckResult::PortError;
        result.opened = opened;
        result.error = port.errorString();
        port.close();
        return result;
    };

    if (port.isOpen())
        port.close();
    port.setPortNumber(session.CommPortNumber);
    if (!port.open())
        return portFailed();
    opened = true;
    if (!QuietLine::ready(port, clock, result.stillSending, quietLimitMs))
        return result.stillSending < 0 ? portFailed() : result;

    if (variant == PasswordCheckVariant::ChangePassword) {
        int sends = 0;
        if (!sendUpToThreeTimes(port, clock, frame, result.reply, sends))
            return portFailed();
    } else {
        if (!port.write(frame))
            return portFailed();
        for (int pass = 0; pass < 5; ++pass) {
            result.reply += port.readAll();
            clock.waitMs(50);
        }
        QuietLine::collectRest(port, clock, result.reply, QuietLine::Wait::Yielding);
        if (!port.isOpen() && !Link::isAcknowledgement(result.reply))
            return portFailed();
    }
    result.kind = result.reply.size() >= 2 ? PasswordCheckResult::Passed : PasswordCheckResult::NoAnswer;
    if (variant != PasswordCheckVariant::Erase || !result.passed())
        port.close();
    return result;
}

QString passwordCheckFailureText(PasswordCheckVariant variant)
{
    if (variant == PasswordCheckVariant::ChangePassword)
        return QStringLiteral(" Communications failed to establish. \r\nCheck physical connections and\r\n"
                              "make sure reader is powered up.");
    return QStringLiteral("Communications failed to establish.   \r\nCheck physical connections and  \r\n"
                          "make sure reader is powered up.");
}

QString passwordCheckFailureTitle(PasswordCheckVariant variant)
{
    switch (variant) {
    case PasswordCheckVariant::Download: return QStringLiteral("Download Data From ZEV");
    case PasswordCheckVariant::Erase: return QStringLiteral("Erase Data in ZEV");
    case PasswordCheckVariant::Clock: return QStringLiteral("Enable/Disable Real Time Clock");
    case PasswordCheckVariant::ChangePassword: return QStringLiteral("Change Password");
    }
    return QString();
}
