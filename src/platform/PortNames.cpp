#include "platform/PortNames.h"

#include "platform/PortProblem.h"

#include "platform/SettingsStore.h"

namespace {
const QString kApp = QStringLiteral("ZEV1100");
const QString kSection = QStringLiteral("Ports");

QString key(int comNumber)
{
    return QStringLiteral("COM%1").arg(comNumber);
}
} // namespace

bool PortNames::parseMapping(const QString &mapping, int &comNumber, QString &device)
{
    const qsizetype eq = mapping.indexOf(QLatin1Char('='));
    if (eq <= 0 || eq == mapping.size() - 1)
        return false;
    bool ok = false;
    const int n = mapping.left(eq).toInt(&ok);
    if (!ok || n < 1)
        return false;
    comNumber = n;
    device = mapping.mid(eq + 1);
    return true;
}

bool PortNames::addOverride(const QString &mapping)
{
    int n = 0;
    QString device;
    if (!parseMapping(mapping, n, device))
        return false;
    setOverride(n, device);
    return true;
}

PortNames::Mapping PortNames::lookup(int comNumber) const
{
    if (const auto it = m_overrides.find(comNumber); it != m_overrides.end())
        return {*it, Source::Option};
    const QString env = qEnvironmentVariable(qPrintable(QStringLiteral("ZEV_") + key(comNumber)));
    if (!env.isEmpty())
        return {env, Source::Environment};
    if (const QString s = stored(comNumber); !s.isEmpty())
        return {s, Source::Setting};
    return {platformName(comNumber), Source::PlatformDefault};
}

QString PortNames::stored(int comNumber) const
{
    return m_store ? m_store->getSetting(kApp, kSection, key(comNumber), QString()) : QString();
}

bool PortNames::store(int comNumber, const QString &device)
{
    if (!m_store)
        return false;
    if (device.isEmpty())
        m_store->removeSetting(kApp, kSection, key(comNumber));
    else
        m_store->saveSetting(kApp, kSection, key(comNumber), device);
    return true;
}

QString PortNames::sourceName(Source source)
{
    switch (source) {
    case Source::Option: return QStringLiteral("option");
    case Source::Environment: return QStringLiteral("environment");
    case Source::Setting: return QStringLiteral("setting");
    case Source::PlatformDefault: break;
    }
    return QStringLiteral("platform default");
}

QString PortNames::platformName(int comNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comNumber);
#elif defined(Q_OS_MACOS)
    return QStringLiteral("/dev/cu.serial%1").arg(comNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
#endif
}

QString noReplyDetail(const PortNames *names, int comNumber)
{
    return noReplyDetail(comNumber, names ? names->deviceFor(comNumber) : PortNames::platformName(comNumber));
}
