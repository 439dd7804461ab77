// Apart from the gate: the guard touches widgets, and zevctl, which uses the
// gate, links no window.
#include "core/Exchange.h"

ExchangeGuard::ExchangeGuard(ExchangeGate &gate, const QList<QWidget *> &controls) : m_gate(gate)
{
    if (gate.m_busy)
        return;
    m_held = true;
    gate.m_busy = true;
    gate.m_stop = false;
    for (QWidget *w : controls) {
        m_controls.append({QPointer<QWidget>(w), w->isEnabled()});
        w->setEnabled(false);
    }
}

ExchangeGuard::~ExchangeGuard()
{
    if (!m_held)
        return;
    // Only what the guard disabled comes back: a control the window had
    // disabled itself stays the window's to enable.
    for (const auto &[w, enabled] : m_controls) {
        if (w && enabled)
            w->setEnabled(true);
    }
    m_gate.m_busy = false;
    m_gate.m_stop = false;
}
