#include "cli/Command.h"

#include "cli/LedgerStep.h"
#include "cli/ZevCtl.h"

// collect: download, record in the store, and only then erase and set the clock.
namespace ZevCtl {

int collect(Command &c)
{
    CollectOptions o;
    o.erase = c.flag(QStringLiteral("--erase"));
    o.setClock = c.flag(QStringLiteral("--set-clock"));
    if (c.noLedger)
        return c.fail(Usage, QStringLiteral("collect keeps the records in the store: --no-ledger does not go with it"));
    if (!takeDownloadOptions(c, o.download))
        return Usage;
    Line line(c);
    LedgerStep step;
    return collectScanner(c, o, line, step);
}

int collectScanner(Command &c, const CollectOptions &o, Line &line, LedgerStep &step)
{
    const int status = downloadRecords(c, o.download, line, step);
    if (status != Done && status != Incomplete)
        return status;
    const QString notErased = o.erase ? QStringLiteral("not erased: ") : QString();
    if (step.skipped)
        return c.fail(Usage, notErased + QStringLiteral("the store is switched off (setting Ledger/enabled)"));
    if (!step.recorded.ok)
        return c.fail(FileError, notErased + QStringLiteral("the download was not recorded"));
    if (status == Incomplete) {
        if (o.erase)
            c.fail(Incomplete, QStringLiteral("not erased: the download is incomplete"));
        return Incomplete;
    }
    // What erase and set-clock would print goes to stderr: stdout holds the records.
    Command side{c.name, {}, c.portOption, c.password, c.err, c.err, c.ledgerUrl, c.noLedger};
    if (o.erase) {
        if (const int erased = eraseScanner(side, line); erased != Done)
            return erased;
        // The erase is done; should this fail, the next download still tells the new memory by its records.
        if (QString error; !step.ledger->markErased(step.recorded.scannerKey, step.recorded.generation, &error))
            say(c.err, QStringLiteral("zevctl %1: the store did not note the erase: %2\n").arg(c.name, error));
    }
    if (o.setClock)
        return setScannerClock(side, line);
    return Done;
}

} // namespace ZevCtl
