#include "sim/ScannerModel.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char CR = 0x0D;

constexpr qsizetype kTransmitFrameSize = 269;
constexpr qsizetype kMaxFrameSize = 512;
constexpr qsizetype kMaxQueuedBytes = 1 << 20;
constexpr qsizetype kKeptFrames = 1000;
constexpr qsizetype kKeptLogLines = 1000;
constexpr int kMaxRecordsSent = 99999; // what 5 count digits can announce
constexpr int kMaxBytesPerSecond = 1000000;
// Times are clamped here so that adding delays can never overflow.
constexpr qint64 kMaxTimeMs = qint64(1) << 50;

qint64 clampTime(qint64 ms)
{
    return std::clamp<qint64>(ms, 0, kMaxTimeMs);
}

QByteArray padded(const QByteArray &password)
{
    return password.left(8).leftJustified(8, ' ');
}

QString letterText(char c)
{
    if (c > 0x20 && c < 0x7F)
        return QString(QLatin1Char(c));
    return QStringLiteral("0x%1").arg(int(quint8(c)), 2, 16, QLatin1Char('0'));
}

QString replyName(const QByteArray &bytes)
{
    if (bytes == ScannerModel::AckFrame)
        return QStringLiteral("Ack");
    if (bytes == ScannerModel::NakFrame)
        return QStringLiteral("Nak");
    return QStringLiteral("%1 bytes").arg(bytes.size());
}

// splitmix64: the same records for the same seed on every platform.
struct Rng
{
    quint64 state;
    quint64 next()
    {
        quint64 z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
};

enum class Action { None, Login, Check, Download, Erase, SetClock, ReadClock, ChangePassword, Transmit };

struct Request
{
    char letter = '?';
    QString name = QStringLiteral("unknown");
    QString problem; // empty when the scanner carries it out
    Action action = Action::None;
    QByteArray data;
    QDateTime clock;
};

QDateTime decodeClock(const QByteArray &six)
{
    int v[6];
    for (int i = 0; i < 6; ++i)
        v[i] = quint8(six.at(i)) - 16;
    if (v[0] < 0 || v[0] > 99)
        return QDateTime();
    const QDate date(2000 + v[0], v[1], v[2]);
    const QTime time(v[3], v[4], v[5]);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, QTimeZone::utc());
}

int nibble(char c)
{
    return (c >= 0x30 && c <= 0x3F) ? c - 0x30 : -1;
}

Request parseTransmit(const QByteArray &frame, const QByteArray &password)
{
    Request r;
    r.letter = 'Z';
    r.name = QStringLiteral("transmit");
    r.action = Action::Transmit;
    int sum = 0;
    for (int i = 1; i <= 9; ++i)
        sum += quint8(frame.at(i));
    r.data.resize(128);
    for (int i = 0; i < 129; ++i) {
        const int hi = nibble(frame.at(10 + 2 * i));
        const int lo = nibble(frame.at(11 + 2 * i));
        if (hi < 0 || lo < 0) {
            r.problem = QStringLiteral("not nibble characters");
            return r;
        }
        const int value = hi * 16 + lo;
        if (i < 128) {
            r.data[i] = char(value);
            sum += value;
        } else if (value != ((sum % 128) | 0x20)) {
            r.problem = QStringLiteral("wrong check value");
            return r;
        }
    }
    if (frame.mid(1, 8) != password)
        r.problem = QStringLiteral("wrong password");
    return r;
}

Request parseRequest(const QByteArray &frame, const QByteArray &password)
{
    Request r;
    const QByteArray inner = frame.mid(1, frame.size() - 2);
    if (inner.size() < 2 || inner.at(inner.size() - 2) != CR) {
        if (!inner.isEmpty())
            r.letter = inner.size() > 8 ? inner.at(8) : inner.at(0);
        r.problem = QStringLiteral("no CR before the check character");
        return r;
    }
    const QByteArray body = inner.left(inner.size() - 2);
    const bool passwordFirst = body.size() >= 9 && body.left(8) == password;
    const bool loginShape = body.size() == 9 && body.at(0) == 'P';
    if (ScannerModel::checkChar(body) != inner.back())
        r.problem = QStringLiteral("wrong check character");

    if (loginShape && !passwordFirst) {
        r.letter = 'P';
        r.name = QStringLiteral("login");
        r.action = Action::Login;
        if (r.problem.isEmpty() && body.mid(1) != password)
            r.problem = QStringLiteral("wrong password");
        return r;
    }
    if (body.size() < 9) {
        if (!body.isEmpty())
            r.letter = body.at(0);
        if (r.problem.isEmpty())
            r.problem = QStringLiteral("too short");
        return r;
    }
    r.letter = body.at(8);
    r.data = body.mid(9);
    qsizetype dataSize = 0;
    switch (r.letter) {
    case 'P': r.action = Action::Check; r.name = QStringLiteral("password check"); break;
    case 'D': r.action = Action::Download; r.name = QStringLiteral("download"); break;
    case 'E': r.action = Action::Erase; r.name = QStringLiteral("erase"); break;
    case 'T': r.action = Action::SetClock; r.name = QStringLiteral("set clock"); dataSize = 6; break;
    case 'R': r.action = Action::ReadClock; r.name = QStringLiteral("read clock"); dataSize = 6; break;
    case 'C': r.action = Action::ChangePassword; r.name = QStringLiteral("change password"); dataSize = 8; break;
    default:
        if (r.problem.isEmpty())
            r.problem = QStringLiteral("unknown command");
        return r;
    }
    if (!r.problem.isEmpty())
        return r;
    if (r.data.size() != dataSize) {
        r.problem = QStringLiteral("wrong length");
    } else if (!passwordFirst) {
        r.problem = QStringLiteral("wrong password");
    } else if (r.action == Action::SetClock) {
        r.clock = decodeClock(r.data);
        if (!r.clock.isValid())
            r.problem = QStringLiteral("not a date and time");
    }
    return r;
}

} // namespace

const QByteArray ScannerModel::AckFrame = QByteArray::fromHex("0206" "0d" "33" "03");
const QByteArray ScannerModel::NakFrame = QByteArray::fromHex("0215" "0d" "22" "03");

ScannerModel::ScannerModel(Config config)
    : m_config(std::move(config))
{
    m_password = padded(m_config.password);
    m_machineId = m_config.machineId.left(8).leftJustified(8, ' ');
    const QDateTime start = m_config.clock.isValid() ? m_config.clock : Config().clock;
    m_clockBase = QDateTime(start.date(), start.time(), QTimeZone::utc());
    m_records = m_config.records;
    if (m_config.image.size() == qsizetype(m_image.size())) {
        std::copy(m_config.image.cbegin(), m_config.image.cend(), m_image.begin());
        m_hasImage = true;
    }
    m_docked = m_config.docked;
    m_config.bytesPerSecond = std::clamp(m_config.bytesPerSecond, 0, kMaxBytesPerSecond);
    m_config.replyDelayMs = std::max(0, m_config.replyDelayMs);
    m_config.eraseDelayMs = std::max(0, m_config.eraseDelayMs);
}

char ScannerModel::checkChar(const QByteArray &body)
{
    int sum = CR;
    for (const char c : body)
        sum += quint8(c);
    return char((sum % 128) | 0x20);
}

QByteArray ScannerModel::clockBytes(const QDateTime &time)
{
    const QDateTime t = time.isValid() ? time : QDateTime(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc());
    const QDate d = t.date();
    const QTime c = t.time();
    const int values[6] = {((d.year() % 100) + 100) % 100, d.month(), d.day(), c.hour(), c.minute(), c.second()};
    QByteArray bytes;
    for (const int v : values)
        bytes += char(v + 16);
    return bytes;
}

void ScannerModel::receive(const QByteArray &bytes, qint64 nowMs)
{
    nowMs = clampTime(nowMs);
    if (hungUp(nowMs) || !m_docked)
        return;
    for (const char c : bytes) {
        if (c == STX) {
            // A frame never holds an STX: an unfinished one before it was noise.
            m_input = QByteArray(1, STX);
            continue;
        }
        if (m_input.isEmpty())
            continue;
        m_input.append(c);
        if (c == ETX) {
            const QByteArray frame = m_input;
            m_input.clear();
            handleFrame(frame, nowMs);
        } else if (m_input.size() >= kMaxFrameSize) {
            m_input.clear();
        }
    }
}

void ScannerModel::handleFrame(const QByteArray &frame, qint64 nowMs)
{
    m_frames.append(frame);
    if (m_frames.size() > kKeptFrames)
        m_frames.removeFirst();

    const Request r = (frame.size() == kTransmitFrameSize && frame.at(9) == 'Z')
                          ? parseTransmit(frame, m_password)
                          : parseRequest(frame, m_password);
    const qint64 replyAt = nowMs + m_config.replyDelayMs;
    QString outcome;
    switch (m_config.fault) {
    case Fault::RefuseAll:
        outcome = queue(NakFrame, replyAt) + QStringLiteral(" (refusing everything)");
        break;
    case Fault::Silent:
        outcome = QStringLiteral("no reply (silent)");
        break;
    case Fault::OneByteReply:
        outcome = queue(QByteArray(1, STX), replyAt);
        break;
    case Fault::GarbledReply:
        outcome = queue(QByteArray::fromHex("02060d3403"), replyAt) + QStringLiteral(" (garbled)");
        break;
    case Fault::None:
    case Fault::HangUpAfterBytes:
    case Fault::Noise:
    case Fault::ShortDownload:
    case Fault::SilentDownload:
        if (!r.problem.isEmpty()) {
            outcome = queue(NakFrame, replyAt);
            break;
        }
        switch (r.action) {
        case Action::None:
            outcome = queue(NakFrame, replyAt);
            break;
        case Action::Login:
        case Action::Check:
            outcome = queue(AckFrame, replyAt);
            break;
        case Action::Download:
            if (m_config.fault == Fault::SilentDownload) {
                outcome = QStringLiteral("no reply (silent to downloads)");
                break;
            }
            if (m_config.fault == Fault::Noise) {
                if (m_noiseStartMs < 0)
                    m_noiseStartMs = std::max(replyAt, m_lineFreeMs);
                outcome = QStringLiteral("noise from %1 ms, without end").arg(m_noiseStartMs);
                break;
            }
            outcome = queue(downloadStream(), replyAt)
                      + QStringLiteral(" (%1 records)").arg(std::min<qsizetype>(m_records.size(), kMaxRecordsSent));
            break;
        case Action::Erase:
            m_records.clear();
            ++m_memoryChanges;
            outcome = queue(AckFrame, nowMs + m_config.eraseDelayMs);
            break;
        case Action::SetClock:
            m_clockBase = r.clock;
            m_clockBaseMs = nowMs;
            outcome = queue(AckFrame, replyAt) + QStringLiteral(", clock %1").arg(r.clock.toString(Qt::ISODate));
            break;
        case Action::ReadClock: {
            const QByteArray body = clockBytes(clockAt(nowMs));
            outcome = queue(STX + body + CR + checkChar(body) + ETX, replyAt);
            break;
        }
        case Action::ChangePassword:
            m_password = r.data;
            ++m_memoryChanges;
            outcome = queue(AckFrame, replyAt);
            break;
        case Action::Transmit:
            std::copy(r.data.cbegin(), r.data.cend(), m_image.begin());
            m_hasImage = true;
            ++m_memoryChanges;
            outcome = queue(AckFrame, replyAt) + QStringLiteral(", image %1").arg(QString::fromLatin1(r.data.toHex()).toUpper());
            break;
        }
        break;
    }
    log(QStringLiteral("<- %1 %2, %3 bytes, %4 -> %5")
            .arg(letterText(r.letter), r.name)
            .arg(frame.size())
            .arg(r.problem.isEmpty() ? QStringLiteral("valid") : r.problem, outcome));
}

void ScannerModel::setDocked(bool docked, qint64 nowMs)
{
    if (docked == m_docked)
        return;
    m_docked = docked;
    if (docked) {
        log(QStringLiteral("docked"));
        return;
    }
    const qsizetype unsent = m_queuedBytes;
    m_input.clear();
    m_out.clear();
    m_queuedBytes = 0;
    m_lineFreeMs = clampTime(nowMs);
    m_noiseStartMs = -1;
    log(unsent ? QStringLiteral("taken out of the cradle, %1 bytes not sent").arg(unsent)
               : QStringLiteral("taken out of the cradle"));
}

qsizetype ScannerModel::addRecords(const QList<Record> &records)
{
    const qsizetype kept = std::clamp<qsizetype>(kMaxRecordsSent - m_records.size(), 0, records.size());
    if (kept == 0)
        return 0;
    m_records.append(records.mid(0, kept));
    ++m_memoryChanges;
    return kept;
}

QString ScannerModel::queue(const QByteArray &reply, qint64 readyMs)
{
    if (!m_out.empty() && m_queuedBytes + reply.size() > kMaxQueuedBytes)
        return QStringLiteral("%1 dropped, output queue full").arg(replyName(reply));
    Pending p;
    p.bytes = reply;
    p.startMs = std::max(readyMs, m_lineFreeMs);
    m_lineFreeMs = byteDueMs(p, reply.size());
    m_queuedBytes += reply.size();
    m_out.push_back(p);
    return QStringLiteral("%1 from %2 ms").arg(replyName(reply)).arg(p.startMs);
}

QByteArray ScannerModel::downloadStream() const
{
    const qsizetype count = std::min<qsizetype>(m_records.size(), kMaxRecordsSent);
    const bool cut = m_config.fault == Fault::ShortDownload;
    const qsizetype sent = cut ? std::clamp<qsizetype>(m_config.shortRecords, 0, count) : count;
    QByteArray s;
    s += STX;
    s += m_machineId;
    s += QByteArray::number(count).rightJustified(5, '0');
    for (qsizetype i = 0; i < sent; ++i) {
        s += clockBytes(m_records.at(i).time);
        s += m_records.at(i).data;
        s += "?\r";
    }
    if (!cut)
        s += ETX;
    return s;
}

qint64 ScannerModel::byteDueMs(const Pending &p, qsizetype index) const
{
    const qint64 bps = m_config.bytesPerSecond;
    return bps == 0 ? p.startMs : p.startMs + (qint64(index) * 1000 + bps - 1) / bps;
}

qsizetype ScannerModel::dueCount(const Pending &p, qint64 nowMs) const
{
    if (nowMs < p.startMs)
        return 0;
    const qint64 bps = m_config.bytesPerSecond;
    const qint64 elapsed = nowMs - p.startMs;
    if (bps == 0 || elapsed >= byteDueMs(p, p.bytes.size()) - p.startMs)
        return p.bytes.size();
    return std::min<qsizetype>(p.bytes.size(), 1 + elapsed * bps / 1000);
}

bool ScannerModel::deadForGood() const
{
    return m_config.fault == Fault::HangUpAfterBytes && m_config.hangUpAfterBytes >= 0
           && m_sent >= m_config.hangUpAfterBytes;
}

QByteArray ScannerModel::takeOutput(qint64 nowMs)
{
    nowMs = clampTime(nowMs);
    qint64 allowed = std::numeric_limits<qint64>::max();
    if (m_config.fault == Fault::HangUpAfterBytes && m_config.hangUpAfterBytes >= 0)
        allowed = m_config.hangUpAfterBytes - m_sent;
    QByteArray out;
    while (!m_out.empty() && allowed > 0) {
        Pending &p = m_out.front();
        const qsizetype n = std::min<qint64>(dueCount(p, nowMs) - p.taken, allowed);
        if (n <= 0)
            break;
        out += p.bytes.mid(p.taken, n);
        p.taken += n;
        m_sent += n;
        allowed -= n;
        m_queuedBytes -= n;
        if (p.taken < p.bytes.size())
            break;
        m_out.pop_front();
    }
    if (deadForGood()) {
        m_out.clear();
        m_queuedBytes = 0;
    }
    // Noise follows every queued reply; at most 64 KiB a call when unpaced.
    if (m_noiseStartMs >= 0 && m_out.empty() && nowMs >= m_noiseStartMs) {
        const qint64 bps = m_config.bytesPerSecond;
        const qint64 due = bps == 0 ? m_noiseSent + 65536 : 1 + (nowMs - m_noiseStartMs) * bps / 1000;
        for (; m_noiseSent < due && out.size() < 65536; ++m_noiseSent)
            out += char('A' + (m_noiseSent * 7) % 26);
    }
    return out;
}

qint64 ScannerModel::nextOutputDueMs() const
{
    if (deadForGood())
        return -1;
    if (m_out.empty() && m_noiseStartMs >= 0) {
        const qint64 bps = m_config.bytesPerSecond;
        return bps == 0 ? m_noiseStartMs : m_noiseStartMs + (m_noiseSent * 1000 + bps - 1) / bps;
    }
    if (m_out.empty())
        return -1;
    return byteDueMs(m_out.front(), m_out.front().taken);
}

bool ScannerModel::hungUp(qint64 nowMs) const
{
    if (m_config.fault != Fault::HangUpAfterBytes || m_config.hangUpAfterBytes < 0)
        return false;
    nowMs = clampTime(nowMs);
    qint64 due = m_sent;
    for (const Pending &p : m_out) {
        if (due >= m_config.hangUpAfterBytes)
            break;
        due += dueCount(p, nowMs) - p.taken;
    }
    return due >= m_config.hangUpAfterBytes;
}

QDateTime ScannerModel::clockAt(qint64 nowMs) const
{
    return m_clockBase.addMSecs(clampTime(nowMs) - m_clockBaseMs);
}

void ScannerModel::log(const QString &line)
{
    m_log.append(line);
    if (m_log.size() > kKeptLogLines)
        m_log.removeFirst();
}

QStringList ScannerModel::takeLog()
{
    QStringList lines;
    lines.swap(m_log);
    return lines;
}

QList<ScannerModel::Record> ScannerModel::generateRecords(int count, QDateTime start, int seed)
{
    struct Symbology
    {
        char lead;
        int minLength;
        int maxLength;
        const char *alphabet;
        bool evenLength;
    };
    static const char digits[] = "0123456789";
    static const char code39[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-.$/+%";
    static const char code128[] = "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                                  "abcdefghijklmnopqrstuvwxyz{|}~";
    static const Symbology kinds[] = {
        {'A', 13, 13, digits, false}, // EAN-13
        {'D', 12, 12, digits, false}, // UPC-A
        {'B', 1, 20, code39, false},  // Code 39
        {'C', 1, 48, code128, false}, // Code 128
        {'E', 2, 24, digits, true},   // Interleaved 2 of 5
    };
    Rng rng {quint64(quint32(seed))};
    QDateTime t = start.isValid() ? start : Config().clock;
    t = QDateTime(t.date(), t.time(), QTimeZone::utc());
    QList<Record> records;
    count = std::clamp(count, 0, kMaxRecordsSent);
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        const Symbology &k = kinds[rng.below(int(std::size(kinds)))];
        int length = k.minLength + rng.below(k.maxLength - k.minLength + 1);
        if (k.evenLength)
            length &= ~1;
        const int alphabetSize = int(qstrlen(k.alphabet));
        QByteArray data(1, k.lead);
        for (int j = 0; j < length; ++j)
            data += k.alphabet[rng.below(alphabetSize)];
        records.append(Record {t, data});
        t = t.addSecs(1 + rng.below(900));
    }
    return records;
}
