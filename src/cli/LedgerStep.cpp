#include "cli/LedgerStep.h"

#include "platform/QtSettingsStore.h"

#include <QCryptographicHash>
#include <QSysInfo>

namespace ZevCtl {

namespace {

const QString SettingsApp = QStringLiteral("ZEV1100");
const QString Section = QStringLiteral("Ledger");

} // namespace

bool ledgerOff(const Command &c)
{
    QtSettingsStore store;
    return c.noLedger
        || store.getSetting(SettingsApp, Section, QStringLiteral("enabled"), QStringLiteral("true")) == QLatin1String("false");
}

std::unique_ptr<Ledger> openLedger(const Command &c, QString &error)
{
    QString url = c.ledgerUrl;
    if (url.isEmpty()) {
        QtSettingsStore store;
        url = store.getSetting(SettingsApp, Section, QStringLiteral("url"), QString());
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
        LedgerDownload d;
        d.records = records;
        d.complete = complete;
        d.when = QDateTime::currentDateTime();
        d.host = QSysInfo::machineHostName();
        d.portDevice = device;
        d.archiveName = archiveName;
        d.rawSha256 = QCryptographicHash::hash(raw, QCryptographicHash::Sha256).toHex();
        recorded = ledger->record(d);
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
