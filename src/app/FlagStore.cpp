#include "app/FlagStore.h"

#include "core/Session.h"
#include "platform/SettingsStore.h"

namespace {
const QString kApplication = QStringLiteral("ZEV1100");
const QString kSection = QStringLiteral("Data");

QString flagText(bool flag)
{
    return flag ? QStringLiteral("True") : QStringLiteral("False");
}

// Only the exact text "True" counts; a missing key reads as "0".
bool readFlag(SettingsStore &store, const QString &key)
{
    return store.getSetting(kApplication, kSection, key, QStringLiteral("0")) == QLatin1String("True");
}
} // namespace

void restoreFlags(Session &session, SettingsStore &store)
{
    session.RtcFlag = readFlag(store, QStringLiteral("RTC"));
    session.MidFlag = readFlag(store, QStringLiteral("MID"));
}

void storeFlags(const Session &session, SettingsStore &store)
{
    store.saveSetting(kApplication, kSection, QStringLiteral("MID"), flagText(session.MidFlag));
    store.saveSetting(kApplication, kSection, QStringLiteral("RTC"), flagText(session.RtcFlag));
}
