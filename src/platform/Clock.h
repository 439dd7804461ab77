#pragma once

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
    // Time passes and the user interface keeps running.
    virtual void waitMs(int ms) = 0;
    // Time passes without user-interface events (the ports keep collecting).
    virtual void block(int ms) = 0;
    // Lets pending user-interface events run once.
    virtual void processEvents() = 0;
    virtual double secondsSinceMidnight() = 0;
    virtual QDateTime now() = 0;
};
