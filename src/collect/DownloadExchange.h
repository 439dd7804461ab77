#pragma once

#include "collect/PasswordCheck.h"

#include <QByteArray>
#include <QtGlobal>
#include <functional>

class SerialPort;
class Clock;
struct Session;
namespace RecordAssembler {
struct Result;
}

// The download up to the received bytes: the password check on one port, then
// "D" on the other and everything the scanner sends until it pauses for 0.3 s,
// the line fails, the user stops it or the time limit runs out.
//
// How to judge one (the window and zevctl alike), after RecordAssembler::assemble:
// - kind CheckFailed or PortError: "D" was not sent or the port failed first;
// - bytes empty: nothing came after "D" (a communication failure);
// - refused(): the scanner answered "D" with NakFrame (a wrong password);
// - !readable(assembled): the bytes do not begin with the header, or it
//   cannot be read (an old stream's tail, a late reply): an unexpected reply;
// - overfull(assembled): more records than the header announced;
// - incomplete(assembled): fewer records ended by "?" CR than the header
//   announced, or the stream ended neither by a pause nor by its ETX (a line
//   lost after the ETX loses nothing). Its text still holds everything that arrived.
struct DownloadStream
{
    enum Kind {
        Received,    // "D" went out; bytes holds what came, end says how it ended
        CheckFailed, // no answer to the password frame, or stopped (end Stopped); "D" was not sent
        PortError,   // a port could not be opened, or failed before "D" went out
    };
    enum End {
        Paused,     // 0.3 s passed since the last byte: the scanner sent what it meant to send
        LineFailed, // the line failed while bytes were collected (error says why)
        Stopped,    // the user stopped it, or the time limit ran out
    };
    Kind kind = Received;
    End end = Paused;
    // With PortError: false when the port could not be opened, true when it
    // opened and failed afterwards.
    bool opened = false;
    QByteArray bytes; // every byte received after "D", in order
    QString error;

    // With CheckFailed: the line never went quiet before a frame; the bytes thrown away.
    qint64 stillSending = -1;

    bool refused() const;
    bool readable(const RecordAssembler::Result &assembled) const;
    bool ended() const;
    bool incomplete(const RecordAssembler::Result &assembled) const;
    bool overfull(const RecordAssembler::Result &assembled) const;
};

struct DownloadProgress
{
    std::function<void()> receiving; // the first wait is over; bytes are being collected
    std::function<void()> step;      // one read done
    std::function<void(const QByteArray &soFar)> received; // after each read: every byte so far
};

// timeLimitMs > 0 stops collecting that long after "D" went out (end Stopped),
// and bounds each wait for a quiet line before a frame (else 30 s).
DownloadStream receiveDownload(SerialPort &checkPort, SerialPort &dataPort, Clock &clock, const Session &session,
                               const DownloadProgress &progress = {}, qint64 timeLimitMs = 0);

// What the window and zevctl say of an incomplete download: both numbers.
QString incompleteDownloadText(qsizetype received, qint64 announced);
