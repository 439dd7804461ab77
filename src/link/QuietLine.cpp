#include "link/QuietLine.h"

#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <climits>

namespace QuietLine {

namespace {
// A reply to a request is one short frame; more than this is no reply at all.
constexpr qsizetype ReplyLimit = 512;
thread_local Observer *t_observer = nullptr;
} // namespace

Observer::Observer(std::function<void(qint64)> f) : m_f(std::move(f)), m_previous(t_observer)
{
    t_observer = this;
}

Observer::~Observer()
{
    t_observer = m_previous;
}

Drained drain(SerialPort &port, Clock &clock, qint64 limitMs)
{
    Drained d;
    const qint64 start = clock.tickCount();
    qint64 lastByte = -1;
    StreamReads reads(start, port.bytesPerSecond());
    for (;;) {
        const QByteArray bytes = port.readAll();
        const qint64 now = clock.tickCount();
        reads.read(bytes.size(), now);
        if (!bytes.isEmpty()) {
            d.discarded += bytes.size();
            lastByte = now;
            if (t_observer && t_observer->m_f)
                t_observer->m_f(d.discarded);
        }
        if (!port.isOpen()) {
            d.quiet = false;
            return d;
        }
        // Nothing in the first probe: the line is quiet. After bytes, quiet
        // means a whole QuietMs since the last one.
        const qint64 quietFor = now - (lastByte < 0 ? start : lastByte);
        const qint64 needed = lastByte < 0 ? ProbeMs : QuietMs;
        if (quietFor >= needed)
            return d;
        if (now - start >= limitMs
            || !reads.awaitMore(port, clock, qMin(needed - quietFor, qMax<qint64>(1, limitMs - (now - start))))) {
            d.quiet = false;
            return d;
        }
    }
}

void StreamReads::read(qsizetype bytes, qint64 nowMs)
{
    // More than the line carries since the read before, and two batches more
    // for a late wake-up or an adapter that hands bytes on in packets.
    const qint64 readMs = qMax<qint64>(0, nowMs - m_lastRead);
    m_fast = bytes > qint64(m_rate) * (readMs + 2 * batchMs()) / 1000;
    if (bytes > 0 && m_firstBytes < 0)
        m_firstBytes = nowMs;
    m_bytes = bytes;
    m_lastRead = nowMs;
}

qint64 StreamReads::batchMs() const
{
    const qint64 flowing = m_firstBytes < 0 ? 0 : m_lastRead - m_firstBytes;
    return qBound(ShortestBatchMs, flowing / 50, LongestBatchMs);
}

bool StreamReads::awaitMore(SerialPort &port, Clock &clock, qint64 ms) const
{
    const int wait = int(qBound(qint64(1), ms, qint64(INT_MAX)));
    if (m_bytes == 0 || m_fast)
        return clock.waitForInput(port, wait, 1);
    const qint64 batch = batchMs();
    return clock.waitForInput(port, int(qMin<qint64>(wait, batch)), int(qMax<qint64>(1, m_rate * batch / 1000)));
}

bool ready(SerialPort &port, Clock &clock, qint64 &stillSending, qint64 limitMs)
{
    const Drained d = drain(port, clock, limitMs);
    if (d.quiet)
        return true;
    stillSending = -1;
    if (port.isOpen()) {
        stillSending = d.discarded;
        port.close();
    }
    return false;
}

void collectRest(SerialPort &port, Clock &clock, QByteArray &reply, Wait wait)
{
    reply += port.readAll();
    while (port.isOpen() && reply.size() <= ReplyLimit) {
        if (!(wait == Wait::Blocking ? clock.block(ProbeMs) : clock.waitMs(ProbeMs)))
            return;
        const QByteArray more = port.readAll();
        if (more.isEmpty())
            return;
        reply += more;
    }
}

} // namespace QuietLine
