#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>

// One exchange with the scanner at a time, program-wide. Exchanges run inline
// in handlers with local event loops, so a click, a key or a close can arrive
// while one runs. The gate tells whether one runs and carries the request to
// stop it: the running exchange's next wait answers "stopped".
class ExchangeGate : public QObject
{
    Q_OBJECT
public:
    bool busy() const { return m_busy; }
    // The running exchange ends at its next wait; the request ends with its guard.
    void stop();
    // The program is ending: the running exchange and every later wait stop at once.
    // Safe from any thread: a wait in the gate's thread ends at once.
    void stopForGood();
    bool stopping() const { return m_stop || m_forGood || s_signal.load() != 0; }
    bool stoppedForGood() const { return m_forGood; }
    // A signal asked the whole process to stop (zevctl): every gate in every
    // thread answers "stopping" from then on. Safe inside a signal handler.
    static void stopProcess(int signal) { s_signal.store(signal); }
    // The signal's number, or 0.
    static int processStopSignal() { return s_signal.load(); }

Q_SIGNALS:
    void stopRequested();

private:
    friend class ExchangeGuard;
    bool m_busy = false;
    // A station's port thread is stopped from the main thread.
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_forGood{false};
    static inline std::atomic<int> s_signal{0};
};

// Taken by a handler for the length of its exchange. held() is false when
// another exchange runs: the handler then starts nothing. While held, the
// given controls are disabled; those that were enabled are enabled again at the end.
class ExchangeGuard
{
public:
    explicit ExchangeGuard(ExchangeGate &gate, const QList<QWidget *> &controls = {});
    ~ExchangeGuard();
    ExchangeGuard(const ExchangeGuard &) = delete;
    ExchangeGuard &operator=(const ExchangeGuard &) = delete;

    bool held() const { return m_held; }
    // The exchange was asked to stop (by the user, or because the program ends).
    bool stopped() const { return m_gate.stopping(); }

private:
    ExchangeGate &m_gate;
    bool m_held = false;
    QList<QPair<QPointer<QWidget>, bool>> m_controls;
};
