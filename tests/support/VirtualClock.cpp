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

void VirtualClock::waitMs(int ms)
{
    const qint64 end = m_now + ms;
    while (m_now < end) {
        QCoreApplication::processEvents();
        advance(1);
    }
}

void VirtualClock::block(int ms)
{
    blockedMs += ms;
    advance(ms);
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
