#include "cli/Command.h"

#include "cli/LedgerStep.h"
#include "cli/ZevCtl.h"

// collect: download, record in the store, and only then erase and set the clock.
namespace ZevCtl {

int collect(Command &c)
{
    const bool erase = c.flag(QStringLiteral("--erase"));
    const bool setClock = c.flag(QStringLiteral("--set-clock"));
    if (c.noLedger)
        return c.fail(Usage, QStringLiteral("collect keeps the records in the store: --no-ledger does not go with it"));
    DownloadOptions d;
    if (!takeDownloadOptions(c, d))
        return Usage;
    Line line(c);
    LedgerStep step;
    const int status = downloadRecords(c, d, line, step);
    if (status != Done && status != Incomplete)
        return status;
    const QString notErased = erase ? QStringLiteral("not erased: ") : QString();
    if (step.skipped)
        return c.fail(Usage, notErased + QStringLiteral("the store is switched off (setting Ledger/enabled)"));
    if (!step.recorded.ok)
        return c.fail(FileError, notErased + QStringLiteral("the download was not recorded"));
    if (status == Incomplete) {
        if (erase)
            c.fail(Incomplete, QStringLiteral("not erased: the download is incomplete"));
        return Incomplete;
    }
    // What erase and set-clock would print goes to stderr: stdout holds the records.
    Command side{c.name, {}, c.portOption, c.password, c.err, c.err, c.ledgerUrl, c.noLedger};
    if (erase) {
        if (const int erased = eraseScanner(side, line); erased != Done)
            return erased;
        // The erase is done; should this fail, the next download still tells the new memory by its records.
        if (QString error; !step.ledger->markErased(step.recorded.scannerKey, step.recorded.generation, &error))
            say(c.err, QStringLiteral("zevctl collect: the store did not note the erase: %1\n").arg(error));
    }
    if (setClock)
        return setScannerClock(side, line);
    return Done;
}

} // namespace ZevCtl
