#include "link/TransmitExchange.h"

#include "link/Frames.h"
#include "link/QuietLine.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

TransmitResult runTransmitExchange(SerialPort &port, Clock &clock, const QString &loginPassword,
                                   const quint8 *image, const std::function<void(int)> &progress)
{
    const QByteArray frame = Link::transmitFrame(loginPassword, image);
    auto step = [&progress](int value) {
        if (progress)
            progress(value);
    };
    TransmitResult result;
    auto failed = [&]() {
        result.kind = TransmitResult::LineFailed;
        result.error = port.errorString();
        port.close();
        return result;
    };

    if (!QuietLine::ready(port, clock, result.stillSending))
        return result.stillSending < 0 ? failed() : result;
    // STX, password and "Z" first, then each value as its two nibble characters.
    // The pieces go out back to back: the port may gather them into one write.
    if (!port.write(frame.left(10), true))
        return failed();
    for (int i = 0; i <= 128; ++i) {
        step(i);
        if (!port.write(frame.mid(10 + 2 * i, 2), true))
            return failed();
    }
    step(129);
    if (!port.write(frame.right(1)))
        return failed();
    step(130);

    // Up to 3 s for the five bytes of a reply, the window running meanwhile.
    const qint64 sent = clock.tickCount();
    for (;;) {
        if (port.bytesWaiting() >= 5) {
            QuietLine::collectRest(port, clock, result.reply, QuietLine::Wait::Yielding);
            result.kind = result.reply == Link::AckFrame ? TransmitResult::Acknowledged : TransmitResult::OtherReply;
            break;
        }
        if (!port.isOpen())
            return failed();
        clock.waitForInput(port, int(qMax<qint64>(1, 3001 - (clock.tickCount() - sent))), 5);
        if (clock.tickCount() - sent > 3000 || clock.stopping()) {
            result.kind = TransmitResult::TimedOut;
            break;
        }
    }
    port.close();
    return result;
}
