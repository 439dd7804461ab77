#include "ledger/LedgerSettings.h"

#include "platform/SettingsStore.h"

namespace LedgerSettings {

namespace {

const QString App = QStringLiteral("ZEV1100");
const QString Section = QStringLiteral("Ledger");

} // namespace

QString url(SettingsStore &store)
{
    return store.getSetting(App, Section, QStringLiteral("url"), QString());
}

void setUrl(SettingsStore &store, const QString &url)
{
    if (url.trimmed().isEmpty())
        store.removeSetting(App, Section, QStringLiteral("url"));
    else
        store.saveSetting(App, Section, QStringLiteral("url"), url.trimmed());
}

bool enabled(SettingsStore &store)
{
    return store.getSetting(App, Section, QStringLiteral("enabled"), QStringLiteral("true")) != QLatin1String("false");
}

QString recordForWindow(SettingsStore &store, const QByteArray &stream, const QString &archiveName, bool complete,
                        const QString &port, int currentYear)
{
    if (!enabled(store))
        return QString();
    Ledger::Opened o = Ledger::open(url(store));
    if (!o.ledger)
        return QStringLiteral("Not kept in the records store: ") + o.error;
    const Recorded r = o.ledger->record(downloadTakenNow(RecordAssembler::assemble(stream, false, false, currentYear).download,
                                                         stream, complete, port, archiveName));
    if (!r.ok)
        return QStringLiteral("Not kept in the records store: ") + r.error;
    return QStringLiteral("%1 new, %2 already collected").arg(r.fresh).arg(r.already);
}

} // namespace LedgerSettings
