#include "cli/LedgerStep.h"

#include "ledger/LedgerSettings.h"
#include "platform/QtSettingsStore.h"


namespace ZevCtl {

bool ledgerOff(const Command &c)
{
    QtSettingsStore store;
    return c.noLedger || !LedgerSettings::enabled(store);
}

std::unique_ptr<Ledger> openLedger(const Command &c, QString &error)
{
    QString url = c.ledgerUrl;
    if (url.isEmpty()) {
        QtSettingsStore store;
        url = LedgerSettings::url(store);
    }
    Ledger::Opened o = Ledger::open(url);
    error = o.error;
    return std::move(o.ledger);
}

void LedgerStep::record(Command &c, const RecordAssembler::Records &records, const QByteArray &raw,
                        const QString &device, const QString &archiveName)
{
    if (ledgerOff(c)) {
        skipped = true;
        return;
    }
    QString error;
    ledger = openLedger(c, error);
    if (ledger) {
        recorded = ledger->record(downloadTakenNow(records, raw, complete, device, archiveName));
        error = recorded.error;
    }
    if (!recorded.ok) {
        say(c.err, QStringLiteral("zevctl %1: the records were not kept in the store: %2\n").arg(c.name, error));
        return;
    }
    QString text = QStringLiteral("%1 new, %2 already collected").arg(recorded.fresh).arg(recorded.already);
    if (recorded.keyedByPort)
        text += QStringLiteral(" (no machine ID: kept for the port %1 alone)").arg(device);
    if (recorded.newGeneration)
        text += QStringLiteral(" (the scanner was erased since the last collection: its records start again)");
    say(c.err, QStringLiteral("zevctl %1: %2\n").arg(c.name, text));
}

} // namespace ZevCtl
