#pragma once

#include <QByteArray>
#include <QString>
#include <QList>
#include <QtGlobal>
#include <array>
#include <functional>

// Turns the scanner's download stream into the data viewer's text.
//
// The stream is STX, an 8-character machine ID, 5 count digits, then per
// record: 6 timestamp bytes (value + 16 each), one character that is not
// shown, the data, "?" CR. The text is 8-bit with CR LF line ends: the header
// lines (machine ID when asked for, the count, a line holding one blank), then
// per record its timestamp line (when asked for), its data and an empty line.
namespace RecordAssembler {

enum class Fault {
    None,
    HeaderCut,       // the stream begins with STX but ends inside the 14-character header
    CountUnreadable, // a blank in the header where a count digit belongs
    TimestampCut,    // the stream ends inside the first record's timestamp
};

// One terminated record as data: where its data lie in the stream (without the
// character that is not shown) and its six timestamp bytes, when they passed
// their check. Kept small: a long download holds millions.
struct Record
{
    qsizetype offset = 0;
    qint32 size = 0;
    bool stamped = false;             // false: the timestamp failed its check
    std::array<quint8, 6> clock = {}; // year within the century, month, day, hour, minute, second; each value + 16
};

// The records of a download, gathered in the same pass as the text. Every
// terminated record is in list, empty ones included.
struct Records
{
    QByteArray machineId; // as the viewer shows it, trailing blanks removed; empty without STX
    qint64 announced = 0; // the count the header announces
    QByteArray stream;    // the bytes the records point into (shared, not copied)
    QList<Record> list;

    QByteArray data(const Record &r) const { return stream.mid(r.offset, r.size); }
    const char *dataBegin(const Record &r) const { return stream.constData() + r.offset; }
    // "20YY-MM-DD hh:mm:ss" with the numbers the viewer's text shows; empty when the
    // check failed or a field lies outside month 1-12, day 1-31, hour 0-24,
    // minute and second 0-60 (or the year below 0).
    static QByteArray timestamp(const Record &r);
    // The same into out (room for TimestampRoom characters); its length, 0 when there is none.
    static int timestamp(const Record &r, char *out);
    static constexpr int TimestampRoom = 32;
};

struct Result
{
    Fault fault = Fault::None;
    QString description; // plain words, empty when there is no fault
    QByteArray text;     // the viewer's text; empty on a fault
    qsizetype records = 0; // records whose lines were added (empty records add none)
    bool headerOnly = false; // too short to hold a record: the text is the header alone
    qint64 announced = 0;    // the count the header announces, as the text shows it
    qsizetype terminated = 0; // records ended by "?" CR, empty ones included
    Records download;         // the records themselves; empty on a fault

    bool ok() const { return fault == Fault::None; }
};

// Called with 0 once the first record's timestamp has been read, then once per
// terminated record, empty ones included, with the number processed so far. It
// drives the progress bar and the busy counter, so it should return quickly; it
// may be empty.
using Progress = std::function<void(qsizetype recordsProcessed)>;

// Counts the records of a download while it arrives, as the assembler will
// find them, for a progress display. update() takes the whole stream so far;
// the stream only grows.
class RecordCounter
{
public:
    void update(const QByteArray &soFar);
    // The header arrived with STX and a count that can be read.
    bool headerKnown() const { return m_headerKnown; }
    qint64 announced() const { return m_announced; }
    qint64 received() const { return m_received; }
    // "N of M records, about T left" at the line rate (1920 bytes a second);
    // empty until the header is known.
    QString describe() const;

private:
    qsizetype m_bytes = 0;
    bool m_headerRead = false;
    bool m_headerKnown = false;
    qint64 m_announced = 0;
    qint64 m_received = 0;
    qsizetype m_pos = 20; // the header and the first timestamp come before any terminator
};

// currentYear is the PC's year: a first timestamp dated later fails its check.
Result assemble(const QByteArray &stream, bool midFlag, bool rtcFlag, int currentYear,
                const Progress &progress = {});

// Called with each terminated record as it is found, in stream order.
using Found = std::function<void(const Record &)>;

// The records alone, as assemble finds them, without the viewer's text: each
// goes to found (when given) and none is kept, so the memory taken does not
// grow with the stream. The result holds the fault, the header's fields and the
// counts; its text and list stay empty.
Result scan(const QByteArray &stream, int currentYear, const Found &found = {});

// The text form of a timestamp that fails its check.
inline constexpr char FailedTimestamp[] = "2000/01/01 00:00:00";

} // namespace RecordAssembler
