#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <climits>
#include <optional>

QtClock::QtClock()
{
    m_timer.start();
}

qint64 QtClock::tickCount()
{
    return m_timer.elapsed();
}

void QtClock::sleep(qint64 ms, qintptr descriptor)
{
    QEventLoop loop;
    bool ownEnd = false;
    auto end = [&loop, &ownEnd]() {
        ownEnd = true;
        loop.quit();
    };
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, end);
    timer.start(int(qBound(qint64(0), ms, qint64(INT_MAX))));
    std::optional<QSocketNotifier> input;
    if (descriptor >= 0) {
        input.emplace(descriptor, QSocketNotifier::Read);
        // Once is enough: the exchange reads what came.
        QObject::connect(&*input, &QSocketNotifier::activated, &loop, [&input, end]() {
            input->setEnabled(false);
            end();
        });
    }
    QObject::connect(&gate(), &ExchangeGate::stopRequested, &loop, end);
    // A stop from another thread may have come before the connection.
    if (stopping())
        return;
    loop.exec();
    // A loop ended from outside means the application is quitting: from
    // then on every local loop returns at once, so waiting on would spin.
    if (!ownEnd && !stopping())
        gate().stopForGood();
}

bool QtClock::waitMs(int ms)
{
    const qint64 end = tickCount() + ms;
    while (!stopping() && tickCount() < end)
        sleep(end - tickCount(), -1);
    return !stopping();
}

bool QtClock::waitForInput(SerialPort &port, int ms, int bytes)
{
    const qint64 end = tickCount() + ms;
    while (!stopping() && port.isOpen()) {
        const int waiting = port.bytesWaiting();
        const qint64 left = end - tickCount();
        if (waiting >= bytes || left <= 0 || !port.isOpen())
            break;
        if (waiting > 0) {
            // The rest is on its way: sleep the time it takes on the line
            // rather than waking for each byte.
            const qint64 rest = (qint64(bytes - waiting) * 1000 + port.bytesPerSecond() - 1) / port.bytesPerSecond();
            sleep(qMin(left, qMax<qint64>(1, rest)), -1);
            continue;
        }
        const qintptr descriptor = port.inputDescriptor();
        // Without a descriptor to sleep on, look again every few milliseconds.
        sleep(descriptor >= 0 ? left : qMin<qint64>(left, 5), descriptor);
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
