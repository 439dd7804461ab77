#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

// The real clock: waits run a local event loop (the window stays responsive) or sleep.
class QtClock : public Clock
{
public:
    QtClock();
    qint64 tickCount() override;
    bool waitMs(int ms) override;
    bool block(int ms) override;
    bool waitForInput(SerialPort &port, int ms, int bytes = 1) override;
    void processEvents() override;
    double secondsSinceMidnight() override;
    QDateTime now() override;

private:
    // One local loop until a timer runs out, the descriptor (when given) has
    // input, or a stop is asked for.
    void sleep(qint64 ms, qintptr descriptor);

    QElapsedTimer m_timer;
};
