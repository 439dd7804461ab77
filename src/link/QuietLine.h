#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <functional>

class SerialPort;
class Clock;

// A scanner goes on sending a download the PC stopped reading, for as long as
// its stream lasts. Whatever still arrives is never an answer: every exchange
// makes sure the line is quiet before its first frame, and takes a reply whose
// bytes are still coming whole.
namespace QuietLine {

// No byte for this long and the scanner is done: the download ends on the same
// pause, so no gap inside a stream is this long.
constexpr int QuietMs = 300;
// How long a quiet line is watched before the first frame, and how long a
// reply's next byte may take: about 38 bytes come in 20 ms at 19200 baud, and a
// USB adapter holds bytes back for up to 16 ms.
constexpr int ProbeMs = 20;
// The longest an exchange other than the download waits for a quiet line.
constexpr qint64 LimitMs = 30000;

struct Drained
{
    bool quiet = true;   // false: still sending at the limit, stopped, or the line failed
    qint64 discarded = 0; // bytes read and thrown away
};

// Reads and discards until no byte has come for QuietMs, at most limitMs.
// A quiet line costs one ProbeMs.
Drained drain(SerialPort &port, Clock &clock, qint64 limitMs = LimitMs);

// Before an exchange's first frame: true on a quiet line. Otherwise false
// with stillSending the bytes thrown away and the port closed, or -1 when the
// line failed (the port's error says why).
bool ready(SerialPort &port, Clock &clock, qint64 &stillSending, qint64 limitMs = LimitMs);

// While one lives, every drain in its thread tells it the bytes discarded so
// far (zevctl says on stderr that it waits).
class Observer
{
public:
    explicit Observer(std::function<void(qint64 discarded)> f);
    ~Observer();
    Observer(const Observer &) = delete;
    Observer &operator=(const Observer &) = delete;

private:
    std::function<void(qint64)> m_f;
    Observer *m_previous;
    friend Drained drain(SerialPort &, Clock &, qint64);
};

// The reads of a stream, and how long to sleep before the next one. After an
// empty read, or one larger than the line could carry since the read before (a
// fast line), it wakes at the next byte. While bytes come at the line's rate it
// sleeps a batch of them, so a slow line wakes every batch rather than per
// byte: a fiftieth of the time since the stream's first read with bytes, at
// least ShortestBatchMs and at most LongestBatchMs. A pause counted from the
// read that took the last byte is late by at most that batch: 10 ms in a
// stream's first half second, 2 % of a longer one's time, never over 200 ms.
class StreamReads
{
public:
    static constexpr qint64 ShortestBatchMs = 10;
    static constexpr qint64 LongestBatchMs = 200;

    StreamReads(qint64 startMs, int bytesPerSecond) : m_rate(qMax(1, bytesPerSecond)), m_lastRead(startMs) {}
    // A read of `bytes` at nowMs.
    void read(qsizetype bytes, qint64 nowMs);
    // Sleeps until more may be read, at most ms.
    bool awaitMore(SerialPort &port, Clock &clock, qint64 ms) const;

private:
    qint64 batchMs() const;

    int m_rate;
    qint64 m_lastRead;
    qsizetype m_bytes = 0;
    bool m_fast = false;
    qint64 m_firstBytes = -1; // when the first read with bytes was
};

// After an exchange's wait: adds what arrived to reply, and goes on reading
// while bytes keep coming (until ProbeMs pass without one), so that a reply
// caught in the middle is taken whole and leaves no tail to the next step.
// The waits yield to the user interface when the exchange's own waits do.
enum class Wait { Blocking, Yielding };
void collectRest(SerialPort &port, Clock &clock, QByteArray &reply, Wait wait);

} // namespace QuietLine
