#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

// The real clock. How its waits pass the time:
// - Events: a local event loop, so a window stays responsive during a wait.
// - Sleep: the thread sleeps in poll() on the port's descriptor, the stop
//   request and a timeout, and no events run (zevctl and its port threads,
//   which have no window to keep alive). Elsewhere than on Unix, as Events.
class QtClock : public Clock
{
public:
    enum class Waits { Events, Sleep };
    explicit QtClock(Waits waits = Waits::Events);
    ~QtClock() override;
    QtClock(const QtClock &) = delete;
    QtClock &operator=(const QtClock &) = delete;

    qint64 tickCount() override;
    bool waitMs(int ms) override;
    bool block(int ms) override;
    bool waitForInput(SerialPort &port, int ms, int bytes = 1) override;
    void processEvents() override;
    double secondsSinceMidnight() override;
    QDateTime now() override;

    // ExchangeGate::stopProcess, and every sleeping wait of every thread
    // wakes to it. Safe inside a signal handler.
    static void stopProcess(int signal);

private:
    // One sleep until ms pass, the descriptor (when given) has input, or a
    // stop is asked for.
    void sleep(qint64 ms, qintptr descriptor);
    void loopSleep(qint64 ms, qintptr descriptor);
    void pollSleep(qint64 ms, qintptr descriptor);

    QElapsedTimer m_timer;
    Waits m_waits;
    // Sleep: written when the gate is asked to stop, from any thread.
    int m_wake[2] = {-1, -1};
};
