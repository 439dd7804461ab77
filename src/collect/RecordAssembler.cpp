#include "collect/RecordAssembler.h"

#include "core/LargeBuffer.h"

#include <algorithm>
#include <cstring>

namespace RecordAssembler {

namespace {

constexpr char Stx = 0x02;
constexpr qsizetype HeaderChars = 14;
constexpr qsizetype TimestampChars = 6;
// Below this many characters after a record no further record can follow
// (a timestamp and a terminator alone take 8).
constexpr qsizetype MinRecordChars = 8;

int byteValue(char c)
{
    return static_cast<unsigned char>(c);
}

// At least two digits; a negative value keeps its sign in front ("-05").
char *putNumber(char *out, int v)
{
    if (v < 0) {
        *out++ = '-';
        v = -v;
    }
    if (v >= 100) {
        *out++ = char('0' + v / 100);
        v %= 100;
    }
    *out++ = char('0' + v / 10);
    *out++ = char('0' + v % 10);
    return out;
}

// A timestamp's text; values in stream order: year, month, day, hour, minute, second.
char *putTimestamp(char *p, const int *values, const char *separators)
{
    *p++ = '2';
    *p++ = '0';
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            *p++ = separators[i - 1];
        p = putNumber(p, values[i]);
    }
    return p;
}

void appendTimestampLine(QByteArray &text, const int *values)
{
    char line[40];
    char *p = putTimestamp(line, values, "// ::");
    *p++ = '\r';
    *p++ = '\n';
    text.append(line, p - line);
}

void appendFailedTimestampLine(QByteArray &text)
{
    text.append(FailedTimestamp, sizeof(FailedTimestamp) - 1);
    text.append("\r\n", 2);
}

// Index of the first "?" CR in [from, end), or -1.
qsizetype findTerminator(const char *p, qsizetype from, qsizetype end)
{
    const char *q = p + from;
    const char *const stop = p + end - 1; // a "?" in the last place has no CR after it
    while (q < stop) {
        q = static_cast<const char *>(std::memchr(q, '?', size_t(stop - q)));
        if (!q)
            return -1;
        if (q[1] == '\r')
            return q - p;
        ++q;
    }
    return -1;
}

// Upper limits of month, day, hour, minute and second.
constexpr int FieldLimits[6] = {0, 12, 31, 24, 60, 60};

// The first record's timestamp is checked field by field, the year against the
// PC's year too. A value below 0 (a byte below 16) fails like one above its
// limit, so one bad byte cannot end the whole download.
bool firstFieldPasses(int field, int v, int currentYear)
{
    if (v < 0)
        return false;
    if (field == 0) {
        // The year reads as "20" followed by its digits.
        const int year = v < 100 ? 2000 + v : 20000 + v;
        return year <= currentYear;
    }
    return v <= FieldLimits[field];
}

// Later timestamps are judged on the raw bytes; the year is not tested and
// negative values pass.
bool laterTimestampPasses(const char *b)
{
    for (int i = 1; i < 6; ++i) {
        if (byteValue(b[i]) - 16 > FieldLimits[i])
            return false;
    }
    return true;
}

struct Header
{
    qsizetype idBegin = 0;
    qsizetype idChars = 0;
    qint64 count = 0;
};

// STX, then the machine ID and five count digits, blanks trimmed around what
// follows the STX and after every digit. Without STX the count is 0 and the ID empty.
Fault readHeader(const char *p, qsizetype end, Header &h)
{
    if (end == 0 || p[0] != Stx)
        return Fault::None;
    if (end < HeaderChars)
        return Fault::HeaderCut;
    qsizetype b = 1;
    qsizetype e = HeaderChars;
    while (b < e && p[b] == ' ')
        ++b;
    while (e > b && p[e - 1] == ' ')
        --e;
    h.idBegin = b;
    h.idChars = qMin<qsizetype>(8, e - b);
    qsizetype r = b + h.idChars;
    static constexpr qint64 Weights[5] = {10000, 1000, 100, 10, 1};
    for (qint64 weight : Weights) {
        // Only the first digit can meet a blank: the trim below skips the rest.
        if (r >= e || p[r] == ' ')
            return Fault::CountUnreadable;
        h.count += (byteValue(p[r]) - 48) * weight;
        ++r;
        while (r < e && p[r] == ' ')
            ++r;
    }
    if (h.count < 0)
        h.count = 0;
    return Fault::None;
}

// The records in the whole stream, judged by those in its first 64 kB, one in
// eight more to be safe.
qsizetype expectedRecords(const char *p, qsizetype end)
{
    const qsizetype sample = qMin<qsizetype>(end, 1 << 16);
    qsizetype found = 0;
    for (qsizetype at = HeaderChars; (at = findTerminator(p, at, sample)) >= 0; at += 2)
        ++found;
    return sample > 0 ? (found + 1) * end / sample * 9 / 8 : 0;
}

Result fault(Fault f, const QString &description)
{
    Result r;
    r.fault = f;
    r.description = description;
    return r;
}

} // namespace

QByteArray Records::timestamp(const Record &r)
{
    char line[TimestampRoom];
    return QByteArray(line, timestamp(r, line));
}

int Records::timestamp(const Record &r, char *out)
{
    if (!r.stamped)
        return 0;
    // The viewer's check lets later timestamps through with values below 0 and
    // a zero month or day; as data those are no date at all.
    static constexpr int Lowest[6] = {0, 1, 1, 0, 0, 0};
    int values[6];
    for (int i = 0; i < 6; ++i) {
        values[i] = r.clock[i] - 16;
        if (values[i] < Lowest[i] || (i > 0 && values[i] > FieldLimits[i]))
            return 0;
    }
    return int(putTimestamp(out, values, "-- ::") - out);
}

void RecordCounter::update(const QByteArray &soFar)
{
    const char *const p = soFar.constData();
    const qsizetype end = soFar.size();
    m_bytes = end;
    if (!m_headerRead && end >= HeaderChars) {
        m_headerRead = true;
        Header h;
        m_headerKnown = p[0] == Stx && readHeader(p, end, h) == Fault::None;
        m_announced = h.count;
    }
    // Records are found as the assembler finds them: terminators from offset
    // 20 on, each followed by the next record's six timestamp bytes.
    for (;;) {
        if (m_pos + 2 > end)
            return;
        const qsizetype terminator = findTerminator(p, m_pos, end);
        if (terminator < 0) {
            m_pos = qMax(m_pos, end - 1); // a "?" at the end may yet get its CR
            return;
        }
        ++m_received;
        m_pos = terminator + 2 + TimestampChars;
    }
}

QString RecordCounter::describe() const
{
    if (!m_headerKnown)
        return QString();
    QString text = QStringLiteral("%1 of %2 records").arg(m_received).arg(m_announced);
    if (m_received == 0 || m_received >= m_announced)
        return text;
    // The records so far tell how long one is on the line.
    constexpr double LineBytesPerSecond = 1920;
    const double perRecord = double(m_bytes - 20) / double(m_received);
    const auto seconds = qint64(perRecord * double(m_announced - m_received) / LineBytesPerSecond + 0.999);
    if (seconds < 60)
        text += QStringLiteral(", about %1 s left").arg(seconds);
    else if (seconds < 3600)
        text += QStringLiteral(", about %1 min %2 s left").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    else
        text += QStringLiteral(", about %1 h %2 min left").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
    return text;
}

namespace {

// The one pass behind assemble and scan: text (when wanted) and records, each
// record to found or, without it, to the list.
Result run(const QByteArray &stream, bool midFlag, bool rtcFlag, int currentYear, const Progress &progress,
           bool wantText, const Found &found)
{
    const char *const p = stream.constData();
    qsizetype end = stream.size();

    Header h;
    if (const Fault f = readHeader(p, end, h); f != Fault::None)
        return fault(f, f == Fault::HeaderCut
                            ? QStringLiteral("The download ended inside its header: %1 of %2 characters arrived.")
                                  .arg(end)
                                  .arg(HeaderChars)
                            : QStringLiteral("The record count in the download's header has a blank where a "
                                             "digit belongs."));
    const char *idBegin = p + h.idBegin;
    const qsizetype idChars = h.idChars;
    const qint64 count = h.count;

    Result result;
    Records &records = result.download;
    records.announced = count;
    records.machineId = QByteArray(idBegin, idChars);
    while (records.machineId.endsWith(' '))
        records.machineId.chop(1);
    records.stream = stream;
    result.announced = count;
    // The list and the text are reserved once, from the records the start of
    // the stream holds; a stream that changes its pace later only grows them.
    const qsizetype expected = found && !wantText ? 0 : expectedRecords(p, end);
    if (!found)
        LargeBuffer::reserve(records.list, expected);
    QByteArray *text = wantText ? &result.text : nullptr;
    if (text) {
        // A record's lines take its data and 4 line ends, in the stream it
        // takes its data and 9 bytes; a timestamp line adds 21 characters.
        LargeBuffer::reserve(*text, 64 + idChars + end + (rtcFlag ? expected * (21 + 4 - 9) : 0));
        if (midFlag) {
            text->append("Machine ID: ");
            text->append(idBegin, idChars);
            text->append("\r\n\r\n");
        }
        text->append(QByteArray::number(count));
        text->append(" record(s) received\r\n \r\n");
    }

    if (end < HeaderChars + 3) {
        result.headerOnly = true;
        return result;
    }

    // First record's timestamp: a field that fails drops the rest of the six
    // bytes and the blanks at both ends of what remains.
    qsizetype pos = HeaderChars;
    int values[6] = {};
    bool passed = true;
    for (int field = 0; field < 6; ++field) {
        if (pos >= end)
            return fault(Fault::TimestampCut,
                         QStringLiteral("The download ended inside the first record's timestamp."));
        values[field] = byteValue(p[pos++]) - 16;
        if (!firstFieldPasses(field, values[field], currentYear)) {
            passed = false;
            pos = qMin(end, pos + (5 - field));
            while (pos < end && p[pos] == ' ')
                ++pos;
            while (end > pos && p[end - 1] == ' ')
                --end;
            break;
        }
    }
    auto appendStamp = [text, rtcFlag, &values](bool stamped) {
        if (!text || !rtcFlag)
            return;
        if (stamped)
            appendTimestampLine(*text, values);
        else
            appendFailedTimestampLine(*text);
    };
    appendStamp(passed);
    Record next;
    next.stamped = passed;
    for (int i = 0; i < 6; ++i)
        next.clock[i] = quint8(values[i] + 16);
    if (progress)
        progress(0);

    // Records in stream order: the character not shown, the data, "?" CR; the
    // next record's timestamp follows at once.
    qsizetype processed = 0;
    for (;;) {
        const qsizetype terminator = findTerminator(p, pos, end);
        if (terminator < 0)
            break;
        if (terminator > pos) {
            if (text) {
                text->append(p + pos + 1, terminator - pos - 1);
                text->append("\r\n\r\n", 4);
            }
            ++result.records;
            next.offset = pos + 1;
            next.size = qint32(terminator - pos - 1);
        } else {
            next.offset = pos;
            next.size = 0;
        }
        if (found)
            found(next);
        else
            records.list.append(next);
        pos = terminator + 2;
        ++processed;
        result.terminated = processed;
        if (progress)
            progress(processed);
        if (end - pos < MinRecordChars)
            break;
        next.stamped = laterTimestampPasses(p + pos);
        if (next.stamped) {
            for (int i = 0; i < 6; ++i) {
                next.clock[i] = quint8(p[pos + i]);
                values[i] = next.clock[i] - 16;
            }
        }
        appendStamp(next.stamped);
        pos += TimestampChars;
    }
    return result;
}

} // namespace

Result assemble(const QByteArray &stream, bool midFlag, bool rtcFlag, int currentYear, const Progress &progress)
{
    return run(stream, midFlag, rtcFlag, currentYear, progress, true, {});
}

Result scan(const QByteArray &stream, int currentYear, const Found &found)
{
    return run(stream, false, false, currentYear, {}, false, found ? found : [](const Record &) {});
}

} // namespace RecordAssembler
