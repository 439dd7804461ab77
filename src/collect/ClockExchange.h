#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class SerialPort;
class Clock;
struct Session;

// Sets the scanner's clock to the PC's and reads it back: the set-clock frame,
// then (after a positive reply and a blocking second) the read-clock frame,
// whose reply must come within 3 s with today's date and a valid time.
struct ClockSyncResult
{
    enum Kind {
        Synchronised,     // the read-back matched
        NotAcknowledged,  // a reply that is not AckFrame: the option is enabled without a set clock
        NoAnswer,         // fewer than two bytes to the set-clock frame
        ReadBackTimedOut, // fewer than ten bytes within 3 s of the read-clock frame; the port stays open
        PortError,
    };
    Kind kind = NoAnswer;
    QByteArray reply;
    int passes = 0;
    QString error;
    // The scanner acknowledged the set-clock frame (in the last pass), even
    // when the line failed afterwards: its clock is set.
    bool acknowledged = false;
    // With NoAnswer: the line never went quiet before the set-clock frame; the bytes thrown away.
    qint64 stillSending = -1;
};

// now is the PC's time when OK was clicked; its six clock bytes go into both frames.
ClockSyncResult runClockSync(SerialPort &port, Clock &clock, const Session &session, const QDateTime &now);
