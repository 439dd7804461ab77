#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class SerialPort;
class Clock;
struct Session;

// Empties the scanner's record memory: the password frame, then "E" on the
// same port, then 51 polls 0.1 s apart that do not yield to the user interface.
struct EraseResult
{
    enum Kind {
        Erased,        // exactly AckFrame
        NoAnswer,      // fewer than two bytes to the password or to the erase frame
        OtherReply,    // anything else: a negative reply, or more than one frame
        PortError,
    };
    Kind kind = NoAnswer;
    QByteArray reply;
    QString error;
    // With NoAnswer: the line never went quiet before the password frame; the bytes thrown away.
    qint64 stillSending = -1;
};

constexpr int ErasePolls = 51;

// poll gets 0 once the erase frame has gone out, then 1..51 as each poll ends.
EraseResult runEraseExchange(SerialPort &port, Clock &clock, const Session &session,
                             const std::function<void(int)> &poll = {});
