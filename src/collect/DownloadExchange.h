#pragma once

#include "collect/PasswordCheck.h"

#include <QByteArray>
#include <functional>

class SerialPort;
class Clock;
struct Session;

// The download up to the received bytes: the password check on one port, then
// "D" on the other and everything the scanner sends until it pauses for 0.3 s.
struct DownloadStream
{
    enum Kind {
        Received,
        CheckFailed, // no answer to the password frame
        PortError,   // a port could not be opened or failed
    };
    Kind kind = Received;
    QByteArray bytes;
    QString error;
};

struct DownloadProgress
{
    std::function<void()> receiving; // the first wait is over; bytes are being collected
    std::function<void()> step;      // one read done
    std::function<void(const QByteArray &soFar)> received; // after each read: every byte so far
};

DownloadStream receiveDownload(SerialPort &checkPort, SerialPort &dataPort, Clock &clock, const Session &session,
                               const DownloadProgress &progress = {});
