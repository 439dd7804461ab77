#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class SerialPort;
class Clock;

// Waits for a quiet line, sends current password, "C", new password,
// then collects the reply in ten polls 100 ms apart (all ten run unless the
// line fails; the user interface keeps running). A reply that came before
// the line failed is judged like any other (error then holds the failure).
struct ChangePasswordResult
{
    enum Kind {
        Changed,    // exactly AckFrame
        Refused,    // exactly NakFrame
        NoAnswer,   // fewer than two bytes
        OtherReply, // anything else
        PortError,  // the port could not be opened or failed while the reply was collected
    };
    Kind kind = NoAnswer;
    QString paddedNewPassword;
    QByteArray reply;
    QString error;
    // With NoAnswer: the line never went quiet before "C"; the bytes thrown away.
    qint64 stillSending = -1;
};

// afterPoll runs after each poll (the dialog counts BusyCount there).
ChangePasswordResult runChangePasswordExchange(SerialPort &port, Clock &clock, int portNumber,
                                               const QString &currentPassword, const QString &newPassword,
                                               const std::function<void()> &afterPoll = {});
