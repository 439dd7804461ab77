#pragma once

#include <QByteArray>
#include <QString>

class SerialPort;
class Clock;

// The login handshake: "P" + password, up to three sends, each followed by a
// 0.5 s wait that does not yield to the user interface.
struct LoginResult
{
    enum Kind {
        Acknowledged,
        Refused,    // NakFrame
        NoReply,    // nothing, or one byte, after the last send
        OtherReply, // two or more bytes that are neither frame
        PortError,  // the port could not be opened or failed during the exchange
    };
    Kind kind = NoReply;
    QString paddedPassword;
    QByteArray reply;
    int sends = 0;
    QString error;
    // With NoReply: the line never went quiet before the first send; the bytes thrown away.
    qint64 stillSending = -1;
};

LoginResult runLoginExchange(SerialPort &port, Clock &clock, const QString &typedPassword);

// Up to three sends of frame, each after discarding what came before and
// followed by a 0.5 s wait that does not yield (and the rest of a reply still
// arriving); stops at AckFrame. reply is what came after the last send. False
// when the port failed, unless an AckFrame came first.
bool sendUpToThreeTimes(SerialPort &port, Clock &clock, const QByteArray &frame, QByteArray &reply, int &sends);
