#pragma once

#include "collect/RecordExport.h"
#include "ledger/Ledger.h"

// Stored records as a file: text (one line each), CSV (RFC 4180) or JSON.
namespace RecordsFile {

// CSV columns: machine_id, port (only for a scanner without machine ID),
// generation, position, timestamp, data, collected (UTC).
QByteArray write(const QList<RecordRow> &rows, RecordExport::Format format);

} // namespace RecordsFile
