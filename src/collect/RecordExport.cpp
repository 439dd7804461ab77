#include "collect/RecordExport.h"

#include <algorithm>
#include <cstdio>

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

void appendCsvField(QByteArray &out, const char *latin1, qsizetype size)
{
    const char *const end = latin1 + size;
    auto special = [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; };
    // Most fields are plain ASCII and go in one piece.
    if (std::find_if(latin1, end, [&special](char c) { return (c & 0x80) || special(c); }) == end) {
        out.append(latin1, size);
        return;
    }
    if (std::find_if(latin1, end, special) == end) {
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
        while (plain < end && static_cast<unsigned char>(*plain) >= 0x20 && static_cast<unsigned char>(*plain) < 0x7f
               && *plain != '"' && *plain != '\\')
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

void appendCsvRow(QByteArray &out, const QByteArray &id, const RecordAssembler::Records &records,
                  const RecordAssembler::Record &r)
{
    out += id;
    out += ',';
    char stamp[RecordAssembler::Records::TimestampRoom];
    out.append(stamp, RecordAssembler::Records::timestamp(r, stamp));
    out += ',';
    appendCsvField(out, records.dataBegin(r), r.size);
    out += "\r\n";
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
    out += first ? "\n  {\"timestamp\": " : ",\n  {\"timestamp\": ";
    char stamp[RecordAssembler::Records::TimestampRoom];
    if (const int n = RecordAssembler::Records::timestamp(r, stamp); n > 0) {
        out += '"';
        out.append(stamp, n);
        out += '"';
    } else {
        out += "null";
    }
    out += ", \"data\": ";
    appendJsonString(out, records.dataBegin(r), r.size);
    out += '}';
}

void appendJsonTail(QByteArray &out, qsizetype received)
{
    out += received == 0 ? "]}\n" : "\n]}\n";
}

QByteArray csvId(const QByteArray &machineId)
{
    QByteArray id;
    appendCsvField(id, machineId.constData(), machineId.size());
    return id;
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
    const QByteArray id = csvId(records.machineId);
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
    const QByteArray id = csvId(records.machineId);
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
