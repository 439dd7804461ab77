#pragma once

#include "platform/Clock.h"

#include <functional>

// Time that moves only when the code under test waits. waitMs and
// processEvents run Qt's pending events; every wait or poll moves time on,
// so polling loops always end. onTick runs at each millisecond the clock passes,
// which lets a test act "while" an exchange waits.
class VirtualClock : public Clock
{
public:
    explicit VirtualClock(QDateTime start = QDateTime(QDate(2026, 12, 8), QTime(12, 34, 0)))
        : m_start(start) {}

    qint64 tickCount() override { return m_now; }
    bool waitMs(int ms) override;
    bool block(int ms) override;
    void processEvents() override;
    double secondsSinceMidnight() override;
    QDateTime now() override { return m_start.addMSecs(m_now); }

    void advance(qint64 ms);
    std::function<void(qint64 nowMs)> onTick;
    int blockedMs = 0; // total time spent in block(), for asserting that a wait did not yield

private:
    QDateTime m_start;
    qint64 m_now = 0;
};
