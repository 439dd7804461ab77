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
    void processEvents() override;
    double secondsSinceMidnight() override;
    QDateTime now() override;

private:
    QElapsedTimer m_timer;
};
