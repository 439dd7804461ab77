#pragma once

#include "core/Exchange.h"

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
