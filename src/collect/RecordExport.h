#pragma once

#include "collect/RecordAssembler.h"

#include <QByteArray>
#include <QString>
#include <functional>

// The records of a download as data for other programs. The data bytes are
// read as Latin-1 and written as UTF-8 (no byte-order mark); the columns do not
// depend on the timestamp and machine-ID options, which shape the viewer's text only.
namespace RecordExport {

enum class Format { Text, Csv, Json, Xlsx }; // Xlsx: written by RecordSpreadsheet

// "text", "csv", "json", "xlsx"; false for anything else.
bool parseFormat(const QString &name, Format &format);
// The file name extension of a format: "txt", "csv", "json", "xlsx".
QString extension(Format format);

// The viewer's text as a saved file holds it: the whole text, then CR LF.
inline constexpr char TextEnd[] = "\r\n";
inline QByteArray text(const QByteArray &viewerText)
{
    return viewerText + TextEnd;
}

// One field of a CSV row, quoted when it must be; the bytes read as Latin-1.
void appendCsvField(QByteArray &out, const QByteArray &latin1);
// A JSON string of Latin-1 bytes, escaped.
void appendJsonString(QByteArray &out, const QByteArray &latin1);

// RFC 4180: header machine_id,timestamp,data, then one row per terminated
// record in stream order, CR LF after every row.
QByteArray csv(const RecordAssembler::Records &records);

// One object: machine_id, announced, received (the terminated records),
// complete, and records [{timestamp or null, data}].
QByteArray json(const RecordAssembler::Records &records, bool complete);

// Takes each piece of an export in turn; false when it could not be written.
using Sink = std::function<bool(const QByteArray &piece)>;

// CSV or JSON (not Text) of a scanned download (RecordAssembler::scan), written
// to sink in pieces of about 64 kB as the records are found again in its
// stream: neither the viewer's text nor a list of records is built. The same
// bytes as csv() and json(). False when the sink failed; nothing more is written then.
// fresh >= 0 puts "new": fresh first in the JSON object (the records the store did not hold).
bool write(Format format, const RecordAssembler::Result &scanned, int currentYear, bool complete, const Sink &sink,
           qint64 fresh = -1);

} // namespace RecordExport
