#pragma once

#include "platform/PortProblem.h"

#include <QByteArray>
#include <QString>

// The serial line as the exchanges use it: exactly the operations of the old
// port control (port number, settings string, open/close, discard input,
// bytes waiting, write, read all).
class SerialPort
{
public:
    virtual ~SerialPort() = default;

    // Only while closed.
    virtual void setPortNumber(int comNumber) = 0;
    virtual int portNumber() const = 0;
    // "19200,n,8,1"
    virtual void setSettings(const QString &settings) = 0;
    virtual void setInputBufferSize(int bytes) = 0;

    // False with the operating system's reason in errorString() when the port
    // is missing or busy.
    virtual bool open() = 0;
    virtual void close() = 0;
    // Turns false by itself when the line fails (the device went away); the
    // failure is then in errorString().
    virtual bool isOpen() const = 0;
    virtual QString errorString() const = 0;
    // The last failure as the user should see it: the device, the reason and
    // a hint. None after a successful open.
    virtual PortProblem problem() const
    {
        if (errorString().isEmpty())
            return {};
        return {PortProblem::Other, QString(), errorString(), QString()};
    }

    virtual void discardInput() = 0;
    virtual int bytesWaiting() = 0;
    // Queues the bytes for sending, in order, without waiting. With more, the
    // frame goes on in the next write and the port may hold the bytes until
    // then (or until input is looked at); the last piece hands them all over.
    virtual bool write(const QByteArray &bytes, bool more = false) = 0;
    // Everything received so far; empty when nothing arrived.
    virtual QByteArray readAll() = 0;

    // What a wait sleeps on until input arrives: the open line's descriptor,
    // or -1 when the port has none to offer (the wait then polls).
    virtual qintptr inputDescriptor() const { return -1; }
    // Characters a second at the line's rate (10 bits each).
    virtual int bytesPerSecond() const { return 1920; }
};
