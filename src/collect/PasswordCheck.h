#pragma once

#include <QByteArray>
#include <QString>

class SerialPort;
class Clock;
struct Session;

// The password frame sent before a data operation. Only the reply's length is
// judged: two or more bytes pass, a negative reply included.
enum class PasswordCheckVariant { Download, Erase, Clock, ChangePassword };

struct PasswordCheckResult
{
    enum Kind {
        Passed,
        NoAnswer,  // fewer than two bytes
        PortError, // the port could not be opened or failed
    };
    Kind kind = NoAnswer;
    QByteArray reply;
    QString error;
    bool opened = false; // with PortError: the port opened and failed afterwards
    // With NoAnswer: the line never went quiet before the frame; the bytes thrown away.
    qint64 stillSending = -1;
    bool passed() const { return kind == Passed; }
};

// Uses port on CommPortNumber; the erase variant leaves it open for the erase frame.
// Waits at most quietLimitMs for a quiet line before the frame.
PasswordCheckResult runPasswordCheck(SerialPort &port, Clock &clock, const Session &session,
                                     PasswordCheckVariant variant, qint64 quietLimitMs = 30000);

// The message and title shown when the check gets no answer.
QString passwordCheckFailureText(PasswordCheckVariant variant);
QString passwordCheckFailureTitle(PasswordCheckVariant variant);
