#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class SerialPort;
class Clock;

// Sends the whole settings image in one frame and awaits one reply: at least
// five bytes within 3 s of the last byte written, polled while the user
// interface runs.
struct TransmitResult
{
    enum Kind {
        Acknowledged,
        OtherReply, // five or more bytes that are not AckFrame
        TimedOut,   // fewer than five bytes within 3 s
        LineFailed, // the port failed after it was opened
    };
    Kind kind = TimedOut;
    QByteArray reply;
    QString error;
    // With TimedOut: the line never went quiet before the frame; the bytes thrown away.
    qint64 stillSending = -1;
};

// port must be open; the frame waits for a quiet line. progress gets 0..130 as the bar would.
TransmitResult runTransmitExchange(SerialPort &port, Clock &clock, const QString &loginPassword,
                                   const quint8 *image, const std::function<void(int)> &progress = {});
