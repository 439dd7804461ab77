#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

QtClock::QtClock()
{
    m_timer.start();
}

qint64 QtClock::tickCount()
{
    return m_timer.elapsed();
}

void QtClock::waitMs(int ms)
{
    const qint64 end = tickCount() + ms;
    while (tickCount() < end) {
        QEventLoop loop;
        QTimer::singleShot(int(end - tickCount()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void QtClock::block(int ms)
{
    if (ms > 0)
        QThread::msleep(ulong(ms));
}

void QtClock::processEvents()
{
    QCoreApplication::processEvents();
}

double QtClock::secondsSinceMidnight()
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

QDateTime QtClock::now()
{
    return QDateTime::currentDateTime();
}
