#include "collect/RecordExport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace RecordExport {

namespace {

// Latin-1 to UTF-8, byte by byte.
void appendUtf8(QByteArray &out, char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
        out += c;
        return;
    }
    out += char(0xC0 | (u >> 6));
    out += char(0x80 | (u & 0x3F));
}

// Eight bytes at a time: each test sets the high bit of the bytes it finds
// (or of some byte when it finds any, which is all the tests below ask).
constexpr quint64 Ones = 0x0101010101010101ull;
constexpr quint64 Highs = 0x8080808080808080ull;

quint64 load8(const char *p)
{
    quint64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
quint64 bytesBelow(quint64 v, quint8 n) // valid for bytes below 0x80
{
    return (v - Ones * n) & ~v & Highs;
}
quint64 bytesEqual(quint64 v, char c)
{
    return bytesBelow(v ^ (Ones * quint8(c)), 1);
}

// A byte that makes a CSV field quoted.
bool csvQuoted(char c)
{
    return c == ',' || c == '"' || c == '\r' || c == '\n';
}

// A byte a CSV field must quote or convert.
bool csvSpecial(char c)
{
    return csvQuoted(c) || (c & 0x80);
}

// Most data are plain ASCII: no byte a CSV field must quote or convert.
bool csvPlain(const char *p, qsizetype size)
{
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        const quint64 v = load8(p + i);
        if ((v & Highs) | bytesEqual(v, ',') | bytesEqual(v, '"') | bytesEqual(v, '\r') | bytesEqual(v, '\n'))
            return false;
    }
    return std::none_of(p + i, p + size, csvSpecial);
}

// Printable ASCII but for '"' and '\\': a JSON string takes it as it is.
bool jsonPlain(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x7f && c != '"' && c != '\\';
}

bool jsonPlain(const char *p, qsizetype size)
{
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        const quint64 v = load8(p + i);
        if (v & Highs)
            return false;
        if (bytesBelow(v, 0x20) | bytesEqual(v, 0x7f) | bytesEqual(v, '"') | bytesEqual(v, '\\'))
            return false;
    }
    for (; i < size; ++i) {
        if (!jsonPlain(p[i]))
            return false;
    }
    return true;
}

void appendCsvField(QByteArray &out, const char *latin1, qsizetype size)
{
    const char *const end = latin1 + size;
    // Most fields are plain ASCII and go in one piece.
    if (csvPlain(latin1, size)) {
        out.append(latin1, size);
        return;
    }
    if (std::none_of(latin1, end, csvQuoted)) {
        for (const char *c = latin1; c < end; ++c)
            appendUtf8(out, *c);
        return;
    }
    out += '"';
    for (const char *c = latin1; c < end; ++c) {
        if (*c == '"')
            out += '"';
        appendUtf8(out, *c);
    }
    out += '"';
}

void appendJsonString(QByteArray &out, const char *latin1, qsizetype size)
{
    out += '"';
    const char *const end = latin1 + size;
    for (const char *p = latin1; p < end;) {
        // Runs of plain characters go in one piece.
        const char *plain = p;
        while (plain < end && jsonPlain(*plain))
            ++plain;
        out.append(p, plain - p);
        if (plain == end)
            break;
        p = plain + 1;
        const char c = *plain;
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u == 0x7f) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", u);
                out += escape;
            } else {
                appendUtf8(out, c);
            }
        }
    }
    out += '"';
}

void appendCsvHeader(QByteArray &out)
{
    out += "machine_id,timestamp,data\r\n";
}

// Room for size more bytes at the end of out, to be written at the place
// returned; closeRoom(out, end) then cuts out where the writing ended.
char *openRoom(QByteArray &out, qsizetype size)
{
    const qsizetype at = out.size();
    out.resize(at + size);
    return out.data() + at;
}
void closeRoom(QByteArray &out, const char *end)
{
    out.truncate(end - out.constData());
}
char *put(char *p, const char *bytes, qsizetype size)
{
    std::memcpy(p, bytes, size_t(size));
    return p + size;
}

// Ends a row opened with openRoom at p: its data field, the data as they are
// between quote and quote when plain (room for them was opened), else written
// by appendField; then after.
void closeRow(QByteArray &out, char *p, const char *data, qsizetype size, bool plain, QByteArrayView quote,
              QByteArrayView after, void (*appendField)(QByteArray &, const char *, qsizetype))
{
    if (plain) {
        p = put(p, quote.data(), quote.size());
        p = put(p, data, size);
        p = put(p, quote.data(), quote.size());
        closeRoom(out, put(p, after.data(), after.size()));
        return;
    }
    closeRoom(out, p);
    appendField(out, data, size);
    out.append(after.data(), after.size());
}

// idComma: the machine ID's field and its comma.
void appendCsvRow(QByteArray &out, const QByteArray &idComma, const RecordAssembler::Records &records,
                  const RecordAssembler::Record &r)
{
    const char *data = records.dataBegin(r);
    const bool plain = csvPlain(data, r.size);
    char *p = openRoom(out, idComma.size() + RecordAssembler::Records::TimestampRoom + 1 + (plain ? r.size + 2 : 0));
    p = put(p, idComma.constData(), idComma.size());
    p += RecordAssembler::Records::timestamp(r, p);
    *p++ = ',';
    closeRow(out, p, data, r.size, plain, "", "\r\n",
             [](QByteArray &o, const char *d, qsizetype n) { appendCsvField(o, d, n); });
}

void appendJsonHead(QByteArray &out, const QByteArray &machineId, qint64 announced, qsizetype received, bool complete,
                    qint64 fresh)
{
    out += '{';
    if (fresh >= 0)
        out += "\"new\": " + QByteArray::number(fresh) + ", ";
    out += "\"machine_id\": ";
    appendJsonString(out, machineId.constData(), machineId.size());
    out += ", \"announced\": " + QByteArray::number(announced);
    out += ", \"received\": " + QByteArray::number(received);
    out += complete ? ", \"complete\": true" : ", \"complete\": false";
    out += ", \"records\": [";
}

void appendJsonRecord(QByteArray &out, bool first, const RecordAssembler::Records &records,
                      const RecordAssembler::Record &r)
{
    static constexpr char Head[] = ",\n  {\"timestamp\": ";
    static constexpr char Data[] = ", \"data\": ";
    const char *data = records.dataBegin(r);
    const bool plain = jsonPlain(data, r.size);
    char *p = openRoom(out, qsizetype(sizeof Head + sizeof Data) + RecordAssembler::Records::TimestampRoom + 2
                                + (plain ? r.size + 3 : 0));
    p = first ? put(p, Head + 1, sizeof Head - 2) : put(p, Head, sizeof Head - 1);
    if (const int n = RecordAssembler::Records::timestamp(r, p + 1); n > 0) {
        *p = '"';
        p += n + 1;
        *p++ = '"';
    } else {
        p = put(p, "null", 4);
    }
    p = put(p, Data, sizeof Data - 1);
    closeRow(out, p, data, r.size, plain, "\"", "}",
             [](QByteArray &o, const char *d, qsizetype n) { appendJsonString(o, d, n); });
}

void appendJsonTail(QByteArray &out, qsizetype received)
{
    out += received == 0 ? "]}\n" : "\n]}\n";
}

QByteArray csvIdComma(const QByteArray &machineId)
{
    QByteArray id;
    appendCsvField(id, machineId.constData(), machineId.size());
    return id + ',';
}

} // namespace

void appendCsvField(QByteArray &out, const QByteArray &latin1)
{
    appendCsvField(out, latin1.constData(), latin1.size());
}

void appendJsonString(QByteArray &out, const QByteArray &latin1)
{
    appendJsonString(out, latin1.constData(), latin1.size());
}

bool parseFormat(const QString &name, Format &format)
{
    if (name == QLatin1String("text"))
        format = Format::Text;
    else if (name == QLatin1String("csv"))
        format = Format::Csv;
    else if (name == QLatin1String("json"))
        format = Format::Json;
    else if (name == QLatin1String("xlsx"))
        format = Format::Xlsx;
    else
        return false;
    return true;
}

QString extension(Format format)
{
    switch (format) {
    case Format::Csv: return QStringLiteral("csv");
    case Format::Json: return QStringLiteral("json");
    case Format::Xlsx: return QStringLiteral("xlsx");
    case Format::Text: break;
    }
    return QStringLiteral("txt");
}

QByteArray csv(const RecordAssembler::Records &records)
{
    QByteArray out;
    out.reserve(32 + records.stream.size() + records.list.size() * (records.machineId.size() + 24));
    appendCsvHeader(out);
    const QByteArray id = csvIdComma(records.machineId);
    for (const RecordAssembler::Record &r : records.list)
        appendCsvRow(out, id, records, r);
    return out;
}

QByteArray json(const RecordAssembler::Records &records, bool complete)
{
    QByteArray out;
    out.reserve(128 + records.stream.size() + records.list.size() * 48);
    appendJsonHead(out, records.machineId, records.announced, records.list.size(), complete, -1);
    for (qsizetype i = 0; i < records.list.size(); ++i)
        appendJsonRecord(out, i == 0, records, records.list.at(i));
    appendJsonTail(out, records.list.size());
    return out;
}

bool write(Format format, const RecordAssembler::Result &scanned, int currentYear, bool complete, const Sink &sink,
           qint64 fresh)
{
    constexpr qsizetype Piece = 64 * 1024;
    QByteArray out;
    out.reserve(Piece + 4096);
    bool ok = true;
    auto flushIfFull = [&]() {
        if (ok && out.size() >= Piece) {
            ok = sink(out);
            out.resize(0); // keeps its capacity
        }
    };
    const RecordAssembler::Records &records = scanned.download;
    const QByteArray id = csvIdComma(records.machineId);
    qsizetype written = 0;
    if (format == Format::Csv)
        appendCsvHeader(out);
    else
        appendJsonHead(out, records.machineId, records.announced, scanned.terminated, complete, fresh);
    RecordAssembler::scan(records.stream, currentYear, [&](const RecordAssembler::Record &r) {
        if (!ok)
            return;
        if (format == Format::Csv)
            appendCsvRow(out, id, records, r);
        else
            appendJsonRecord(out, written == 0, records, r);
        ++written;
        flushIfFull();
    });
    if (format == Format::Json)
        appendJsonTail(out, written);
    return ok && (out.isEmpty() || sink(out));
}

} // namespace RecordExport
