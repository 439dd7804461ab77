#include "support/VirtualClock.h"

#include <QCoreApplication>

void VirtualClock::advance(qint64 ms)
{
    for (qint64 i = 0; i < ms; ++i) {
        ++m_now;
        if (onTick)
            onTick(m_now);
    }
}

bool VirtualClock::waitMs(int ms)
{
    const qint64 end = m_now + ms;
    while (!stopping() && m_now < end) {
        QCoreApplication::processEvents();
        advance(1);
    }
    return !stopping();
}

bool VirtualClock::block(int ms)
{
    if (stopping())
        return false;
    blockedMs += ms;
    advance(ms);
    return true;
}

void VirtualClock::processEvents()
{
    QCoreApplication::processEvents();
    advance(1);
}

double VirtualClock::secondsSinceMidnight()
{
    return now().time().msecsSinceStartOfDay() / 1000.0;
}
