#include "support/FakeSerialPort.h"

#include "platform/Clock.h"

void ScriptedPeer::receive(const QByteArray &bytes, qint64 nowMs)
{
    received << bytes;
    if (replies.isEmpty())
        return;
    const Reply r = replies.takeFirst();
    if (!r.bytes.isEmpty())
        m_due << qMakePair(nowMs + r.delayMs, r.bytes);
    for (const auto &burst : r.later)
        m_due << qMakePair(nowMs + burst.first, burst.second);
    std::stable_sort(m_due.begin(), m_due.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
}

QByteArray ScriptedPeer::takeOutput(qint64 nowMs)
{
    QByteArray out;
    while (!m_due.isEmpty() && m_due.first().first <= nowMs)
        out += m_due.takeFirst().second;
    return out;
}

void FakeSerialPort::setPortNumber(int comNumber)
{
    if (m_open) {
        ++portNumberChangesWhileOpen;
        return;
    }
    m_number = comNumber;
}

bool FakeSerialPort::open()
{
    if (m_open)
        return true;
    if (failOpen) {
        m_error = openError;
        return false;
    }
    m_open = true;
    m_error.clear();
    ++opens;
    portNumbersOpened << m_number;
    return true;
}

void FakeSerialPort::close()
{
    m_open = false;
}

void FakeSerialPort::pull()
{
    if (!m_open)
        return;
    const qint64 now = m_clock.tickCount();
    m_input += m_peer.takeOutput(now);
    if (m_peer.hungUp(now)) {
        m_open = false;
        m_error = QStringLiteral("Input/output error");
    }
}

void FakeSerialPort::discardInput()
{
    pull();
    m_input.clear();
}

int FakeSerialPort::bytesWaiting()
{
    pull();
    return int(m_input.size());
}

bool FakeSerialPort::write(const QByteArray &bytes, bool /*more*/)
{
    pull();
    if (!m_open)
        return false;
    writes << bytes;
    m_peer.receive(bytes, m_clock.tickCount());
    return true;
}

QByteArray FakeSerialPort::readAll()
{
    pull();
    QByteArray out;
    out.swap(m_input);
    return out;
}

QByteArray FakeSerialPort::written() const
{
    QByteArray all;
    for (const QByteArray &w : writes)
        all += w;
    return all;
}
