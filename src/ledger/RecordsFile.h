#pragma once

#include "collect/RecordExport.h"
#include "ledger/Ledger.h"

// Stored records as a file: text (one line each), CSV (RFC 4180), JSON or a
// spreadsheet (XLSX).
namespace RecordsFile {

// CSV columns: machine_id, port (only for a scanner without machine ID),
// generation, position, timestamp, data, collected (UTC).
// A spreadsheet that cannot be made gives no bytes and says why in error.
QByteArray write(const QList<RecordRow> &rows, RecordExport::Format format, QString *error = nullptr);

} // namespace RecordsFile
