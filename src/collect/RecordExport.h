#pragma once

#include "collect/RecordAssembler.h"

#include <QByteArray>
#include <QString>

// The records of a download as data for other programs. The data bytes are
// read as Latin-1 and written as UTF-8 (no byte-order mark); the columns do not
// depend on the timestamp and machine-ID options, which shape the viewer's text only.
namespace RecordExport {

enum class Format { Text, Csv, Json, Xlsx }; // Xlsx: written by RecordSpreadsheet

// "text", "csv", "json", "xlsx"; false for anything else.
bool parseFormat(const QString &name, Format &format);
// The file name extension of a format: "txt", "csv", "json", "xlsx".
QString extension(Format format);

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

} // namespace RecordExport
