#include "collect/RecordExport.h"

#include <cstdio>

namespace RecordExport {

namespace {

QByteArray utf8(const QByteArray &latin1)
{
    return QString::fromLatin1(latin1).toUtf8();
}

} // namespace

void appendCsvField(QByteArray &out, const QByteArray &latin1)
{
    const QByteArray field = utf8(latin1);
    const bool quoted = field.contains(',') || field.contains('"') || field.contains('\r') || field.contains('\n');
    if (!quoted) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendJsonString(QByteArray &out, const QByteArray &latin1)
{
    out += '"';
    for (char c : latin1) {
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
            } else if (u < 0x80) {
                out += c;
            } else {
                out += char(0xC0 | (u >> 6));
                out += char(0x80 | (u & 0x3F));
            }
        }
    }
    out += '"';
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
    out += "machine_id,timestamp,data\r\n";
    QByteArray id;
    appendCsvField(id, records.machineId);
    for (const RecordAssembler::Record &r : records.list) {
        out += id;
        out += ',';
        out += RecordAssembler::Records::timestamp(r);
        out += ',';
        appendCsvField(out, records.data(r));
        out += "\r\n";
    }
    return out;
}

QByteArray json(const RecordAssembler::Records &records, bool complete)
{
    QByteArray out;
    out.reserve(128 + records.stream.size() + records.list.size() * 48);
    out += "{\"machine_id\": ";
    appendJsonString(out, records.machineId);
    out += ", \"announced\": " + QByteArray::number(records.announced);
    out += ", \"received\": " + QByteArray::number(records.list.size());
    out += complete ? ", \"complete\": true" : ", \"complete\": false";
    out += ", \"records\": [";
    for (qsizetype i = 0; i < records.list.size(); ++i) {
        const RecordAssembler::Record &r = records.list.at(i);
        out += i ? ",\n  {\"timestamp\": " : "\n  {\"timestamp\": ";
        if (r.stamped)
            out += '"' + RecordAssembler::Records::timestamp(r) + '"';
        else
            out += "null";
        out += ", \"data\": ";
        appendJsonString(out, records.data(r));
        out += '}';
    }
    out += records.list.isEmpty() ? "]}\n" : "\n]}\n";
    return out;
}

} // namespace RecordExport
