#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <climits>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {
#ifdef Q_OS_UNIX
bool makePipe(int fds[2])
{
    if (::pipe(fds) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        ::fcntl(fds[i], F_SETFL, ::fcntl(fds[i], F_GETFL) | O_NONBLOCK);
        ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
    }
    return true;
}

void poke(int fd)
{
    if (fd < 0)
        return;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    errno = saved;
}

// Readable for good once a signal asked the process to stop: a sleep in any
// thread sees it (a signal interrupts only one thread's poll).
std::atomic<int> g_processWakeWrite{-1};
int processWakeRead()
{
    static const int fd = []() {
        int fds[2];
        if (!makePipe(fds))
            return -1;
        g_processWakeWrite.store(fds[1]);
        return fds[0];
    }();
    return fd;
}
#endif
} // namespace

QtClock::QtClock(Waits waits) : m_waits(waits)
{
    m_timer.start();
#ifdef Q_OS_UNIX
    if (m_waits == Waits::Sleep && processWakeRead() >= 0 && makePipe(m_wake)) {
        QObject::connect(&gate(), &ExchangeGate::stopRequested, &gate(), [fd = m_wake[1]]() { poke(fd); },
                         Qt::DirectConnection);
        return;
    }
#endif
    m_waits = Waits::Events;
}

QtClock::~QtClock()
{
#ifdef Q_OS_UNIX
    for (const int fd : m_wake)
        if (fd >= 0)
            ::close(fd);
#endif
}

void QtClock::stopProcess(int signal)
{
    ExchangeGate::stopProcess(signal);
#ifdef Q_OS_UNIX
    poke(g_processWakeWrite.load());
#endif
}

qint64 QtClock::tickCount()
{
    return m_timer.elapsed();
}

void QtClock::sleep(qint64 ms, qintptr descriptor)
{
    // A stop from another thread may have come before the wait.
    if (stopping())
        return;
    if (m_waits == Waits::Sleep)
        pollSleep(ms, descriptor);
    else
        loopSleep(ms, descriptor);
}

void QtClock::pollSleep(qint64 ms, qintptr descriptor)
{
#ifdef Q_OS_UNIX
    // poll() passes over a negative descriptor.
    pollfd fds[3] = {{m_wake[0], POLLIN, 0}, {processWakeRead(), POLLIN, 0}, {int(descriptor), POLLIN, 0}};
    const int r = ::poll(fds, 3, int(qBound(qint64(0), ms, qint64(INT_MAX))));
    if (r > 0 && (fds[0].revents & POLLIN)) {
        // A stop request: taken once, so a later exchange sleeps again.
        char bytes[64];
        while (::read(m_wake[0], bytes, sizeof bytes) > 0) {
        }
    }
#else
    Q_UNUSED(ms);
    Q_UNUSED(descriptor);
#endif
}

void QtClock::loopSleep(qint64 ms, qintptr descriptor)
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
    const qint64 rate = port.bytesPerSecond();
    while (!stopping() && port.isOpen()) {
        const int waiting = port.bytesWaiting();
        const qint64 left = end - tickCount();
        if (waiting >= bytes || left <= 0 || !port.isOpen())
            break;
        // The bytes still missing take this long on the line at the soonest.
        const qint64 rest = (qint64(bytes - waiting) * 1000 + rate - 1) / rate;
        const qintptr descriptor = port.inputDescriptor();
        if (waiting > 0 || rest >= left || descriptor < 0) {
            // Sleep the time it takes on the line rather than waking for each
            // byte: when even the first byte's coming now could not end the wait
            // before its time is up, a timer alone ends it as soon. Without a
            // descriptor to sleep on, look again every few milliseconds.
            sleep(qMin(left, descriptor < 0 && waiting == 0 ? qMin<qint64>(rest, 5) : qMax<qint64>(1, rest)), -1);
            continue;
        }
        sleep(left, descriptor);
    }
    return !stopping();
}

bool QtClock::block(int ms)
{
    // No events either way; a sleeping clock also wakes to a stop.
    const qint64 end = tickCount() + ms;
    while (!stopping() && tickCount() < end) {
        if (m_waits == Waits::Sleep)
            pollSleep(end - tickCount(), -1);
        else
            QThread::msleep(ulong(end - tickCount()));
    }
    return !stopping();
}

void QtClock::processEvents()
{
    // A sleeping clock's thread has no window to serve.
    if (m_waits == Waits::Events)
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
