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

bool QtClock::waitMs(int ms)
{
    const qint64 end = tickCount() + ms;
    while (!stopping() && tickCount() < end) {
        QEventLoop loop;
        bool timedOut = false;
        QTimer::singleShot(int(end - tickCount()), Qt::PreciseTimer, &loop, [&loop, &timedOut]() {
            timedOut = true;
            loop.quit();
        });
        QObject::connect(&gate(), &ExchangeGate::stopRequested, &loop, &QEventLoop::quit);
        // A stop from another thread may have come before the connection.
        if (stopping())
            break;
        loop.exec();
        // A loop ended from outside means the application is quitting: from
        // then on every local loop returns at once, so waiting on would spin.
        if (!timedOut && !stopping())
            gate().stopForGood();
    }
    return !stopping();
}

bool QtClock::block(int ms)
{
    if (stopping())
        return false;
    if (ms > 0)
        QThread::msleep(ulong(ms));
    return true;
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
