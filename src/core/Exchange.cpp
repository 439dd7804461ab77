#include "core/Exchange.h"

void ExchangeGate::stop()
{
    if (!m_busy)
        return;
    m_stop = true;
    Q_EMIT stopRequested();
}

void ExchangeGate::stopForGood()
{
    m_forGood = true;
    Q_EMIT stopRequested();
}

#include "moc_Exchange.cpp"
