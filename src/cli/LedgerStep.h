#pragma once

#include "cli/Command.h"
#include "ledger/Ledger.h"

#include <memory>

namespace ZevCtl {

// The store zevctl uses: --ledger, else the setting Ledger/url, else the
// default SQLite file. Null (and the reason in error) when it cannot be opened.
std::unique_ptr<Ledger> openLedger(const Command &c, QString &error);
// --no-ledger or the setting Ledger/enabled=false.
bool ledgerOff(const Command &c);

// Writes one export batch (none: the empty file) to path, and marks it done once
// the file is whole; rows gets the number of records it held.
int writeExportBatch(Command &c, Ledger &ledger, const ExportBatch &b, RecordExport::Format format, const QString &path,
                     qsizetype &rows);

// Recording one download, and what came of it.
struct LedgerStep
{
    bool complete = false; // the download had every record it announced and ended by a pause
    bool skipped = false;  // no store in use
    // What the download brought, as the header announced and as it arrived.
    QByteArray machineId;
    qint64 announced = 0;
    qsizetype received = 0;
    Recorded recorded;
    std::unique_ptr<Ledger> ledger;

    // Records the download and says "N new, M already collected" on stderr,
    // or why it could not.
    void record(Command &c, const RecordAssembler::Records &records, const QByteArray &raw, const QString &device,
                const QString &archiveName);
};

} // namespace ZevCtl
