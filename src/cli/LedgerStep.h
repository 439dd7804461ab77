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

// Recording one download, and what came of it.
struct LedgerStep
{
    bool complete = false; // the download had every record it announced and ended by a pause
    bool skipped = false;  // no store in use
    Recorded recorded;
    std::unique_ptr<Ledger> ledger;

    // Records the download and says "N new, M already collected" on stderr,
    // or why it could not.
    void record(Command &c, const RecordAssembler::Records &records, const QByteArray &raw, const QString &device,
                const QString &archiveName);
};

} // namespace ZevCtl
