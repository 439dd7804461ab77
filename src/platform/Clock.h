#pragma once

#include "core/Exchange.h"
#include "platform/SerialPort.h"

#include <QDateTime>
#include <QtGlobal>

// Time as the exchanges see it. Tests use a virtual clock, so protocol waits
// take no real time.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since some fixed start (the system tick count).
    virtual qint64 tickCount() = 0;
    // Time passes and the user interface keeps running. False ("stopped") when
    // the exchange was asked to stop before or during the wait: it returns at once.
    virtual bool waitMs(int ms) = 0;
    // Time passes without user-interface events (the ports keep collecting).
    // False, at once, when the exchange was asked to stop.
    virtual bool block(int ms) = 0;
    // Time passes until at least `bytes` are waiting on the port, the line
    // fails or ms pass, whichever comes first; the user interface keeps
    // running. It sleeps rather than polls where the port allows. False
    // ("stopped") when the exchange was asked to stop.
    virtual bool waitForInput(SerialPort &port, int ms, int bytes = 1)
    {
        const qint64 end = tickCount() + ms;
        while (port.bytesWaiting() < bytes && port.isOpen() && tickCount() < end) {
            if (!waitMs(1))
                return false;
        }
        return !stopping();
    }
    // Lets pending user-interface events run once.
    virtual void processEvents() = 0;
    virtual double secondsSinceMidnight() = 0;
    virtual QDateTime now() = 0;

    // Whether an exchange runs, and the request to stop it; every wait answers to it.
    ExchangeGate &gate() { return m_gate; }
    bool stopping() const { return m_gate.stopping(); }

private:
    ExchangeGate m_gate;
};
