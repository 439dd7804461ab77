#include "ledger/RecordsFile.h"

#include "collect/RecordSpreadsheet.h"

namespace RecordsFile {

namespace {

// The rows of one download follow each other: their time is written once.
class Collected
{
public:
    const QByteArray &text(const RecordRow &r)
    {
        if (!m_valid || r.collectedUtc != m_time || r.collectedUtc.timeSpec() != m_time.timeSpec()) {
            m_valid = true;
            m_time = r.collectedUtc;
            m_text = r.collectedUtc.toString(Qt::ISODate).toLatin1();
        }
        return m_text;
    }

private:
    bool m_valid = false;
    QDateTime m_time;
    QByteArray m_text;
};

void appendCsv(QByteArray &out, const RecordRow &r, Collected &collected)
{
    RecordExport::appendCsvField(out, r.machineId.toLatin1());
    out += ',';
    RecordExport::appendCsvField(out, r.portDevice.toLatin1());
    out += ',' + QByteArray::number(r.generation) + ',' + QByteArray::number(r.position) + ',';
    out += r.stampText.toLatin1() + ',';
    RecordExport::appendCsvField(out, r.data);
    out += ',' + collected.text(r) + "\r\n";
}

void appendJson(QByteArray &out, const RecordRow &r, Collected &collected)
{
    out += "{\"machine_id\": ";
    RecordExport::appendJsonString(out, r.machineId.toLatin1());
    if (!r.portDevice.isEmpty()) {
        out += ", \"port\": ";
        RecordExport::appendJsonString(out, r.portDevice.toLatin1());
    }
    out += ", \"generation\": " + QByteArray::number(r.generation);
    out += ", \"position\": " + QByteArray::number(r.position);
    out += ", \"timestamp\": " + (r.stampText.isEmpty() ? QByteArray("null") : '"' + r.stampText.toLatin1() + '"');
    out += ", \"data\": ";
    RecordExport::appendJsonString(out, r.data);
    out += ", \"collected\": \"" + collected.text(r) + "\"}";
}

// The columns of the CSV, as text, numbers and dates; the sheet takes the
// machine ID when every row has the same one.
RecordSpreadsheet::Result workbook(const QList<RecordRow> &rows)
{
    using RecordSpreadsheet::Kind;
    bool oneMachine = !rows.isEmpty();
    for (const RecordRow &r : rows)
        oneMachine = oneMachine && r.machineId == rows.first().machineId;
    RecordSpreadsheet::Workbook book(oneMachine ? rows.first().machineId : QString(),
                                     {{QStringLiteral("Machine ID")}, {QStringLiteral("Port")},
                                      {QStringLiteral("Generation"), Kind::Number}, {QStringLiteral("Position"), Kind::Number},
                                      {QStringLiteral("Timestamp"), Kind::DateTime}, {QStringLiteral("Data")},
                                      {QStringLiteral("Collected (UTC)"), Kind::DateTime}});
    for (const RecordRow &r : rows) {
        book.text(r.machineId);
        book.text(r.portDevice);
        book.number(double(r.generation));
        book.number(double(r.position));
        book.timestamp(r.stampText);
        book.text(QString::fromLatin1(r.data));
        const QDateTime collected = r.collectedUtc.toUTC();
        book.dateTime(collected.date(), collected.time());
        book.endRow();
    }
    return book.finish();
}

} // namespace

QByteArray write(const QList<RecordRow> &rows, RecordExport::Format format, QString *error)
{
    QByteArray out;
    out.reserve(64 + rows.size() * 80);
    Collected collected;
    switch (format) {
    case RecordExport::Format::Csv:
        out += "machine_id,port,generation,position,timestamp,data,collected\r\n";
        for (const RecordRow &r : rows)
            appendCsv(out, r, collected);
        break;
    case RecordExport::Format::Json:
        out += '[';
        for (qsizetype i = 0; i < rows.size(); ++i) {
            out += i ? ",\n  " : "\n  ";
            appendJson(out, rows.at(i), collected);
        }
        out += rows.isEmpty() ? "]\n" : "\n]\n";
        break;
    case RecordExport::Format::Xlsx: {
        RecordSpreadsheet::Result book = workbook(rows);
        if (error)
            *error = book.error;
        return book.bytes;
    }
    case RecordExport::Format::Text:
        for (const RecordRow &r : rows) {
            const QString who = Ledger::scannerName(r.machineId, r.portDevice);
            out += QStringLiteral("%1 %2/%3 %4 ").arg(who).arg(r.generation).arg(r.position)
                       .arg(r.stampText.isEmpty() ? QStringLiteral("-") : r.stampText).toUtf8();
            out += QString::fromLatin1(r.data).toUtf8() + '\n';
        }
        break;
    }
    return out;
}

} // namespace RecordsFile
