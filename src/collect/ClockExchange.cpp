#include "collect/ClockExchange.h"

#include "core/Session.h"
#include "link/Frames.h"
#include "link/QuietLine.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace {
int field(const QByteArray &reply, int oneBasedByte)
{
    return static_cast<unsigned char>(reply.at(oneBasedByte - 1)) - 16;
}
} // namespace

ClockSyncResult runClockSync(SerialPort &port, Clock &clock, const Session &session, const QDateTime &now)
{
    ClockSyncResult result;
    QByteArray outgoing = Link::setClockFrame(session.LoginPassword, now);
    auto portFailed = [&]() {
        result.kind = ClockSyncResult::PortError;
        result.error = port.errorString();
        port.close();
        return result;
    };
    // The second pass sends the read-clock frame and adds its reply to the one
    // kept, which is then never AckFrame: at most two passes.
    for (;;) {
        ++result.passes;
        port.close();
        port.setPortNumber(session.CommPortNumber);
        if (!port.open())
            return portFailed();
        if (!QuietLine::ready(port, clock, result.stillSending))
            return result.stillSending < 0 ? portFailed() : result;
        if (!port.write(outgoing))
            return portFailed();
        for (int pass = 0; pass < 10; ++pass) {
            result.reply += port.readAll();
            clock.waitMs(50);
        }
        QuietLine::collectRest(port, clock, result.reply, QuietLine::Wait::Yielding);
        // An acknowledgement that came before the line failed still counts.
        result.acknowledged = result.reply == Link::AckFrame;
        if (!port.isOpen())
            return portFailed();
        if (result.reply.size() < 2) {
            result.kind = ClockSyncResult::NoAnswer;
            port.close();
            return result;
        }
        if (result.reply != Link::AckFrame) {
            result.kind = ClockSyncResult::NotAcknowledged;
            port.close();
            return result;
        }
        clock.block(1000);
        outgoing = Link::readClockFrame(session.LoginPassword, now);
        if (!port.write(outgoing))
            return portFailed();
        const qint64 sent = clock.tickCount();
        while (port.bytesWaiting() < 10) {
            if (!port.isOpen())
                return portFailed();
            if (clock.tickCount() - sent >= 3000 || clock.stopping()) {
                result.kind = ClockSyncResult::ReadBackTimedOut;
                if (clock.stopping())
                    port.close(); // stopped: no next try on this port
                return result;
            }
            clock.block(10);
        }
        result.reply = port.readAll();
        const QDate today = clock.now().date();
        const bool sameDay = field(result.reply, 2) + 2000 == today.year() && field(result.reply, 3) == today.month()
                          && field(result.reply, 4) == today.day();
        if (sameDay && field(result.reply, 7) <= 60 && field(result.reply, 6) <= 60 && field(result.reply, 5) <= 24) {
            result.kind = ClockSyncResult::Synchronised;
            port.close();
            return result;
        }
        port.close();
    }
}
