#include "platform/PortNames.h"

#include "platform/SettingsStore.h"

bool PortNames::addOverride(const QString &mapping)
{
    const qsizetype eq = mapping.indexOf(QLatin1Char('='));
    if (eq <= 0 || eq == mapping.size() - 1)
        return false;
    bool ok = false;
    const int n = mapping.left(eq).toInt(&ok);
    if (!ok || n < 1)
        return false;
    setOverride(n, mapping.mid(eq + 1));
    return true;
}

QString PortNames::deviceFor(int comNumber) const
{
    if (const auto it = m_overrides.find(comNumber); it != m_overrides.end())
        return *it;
    const QString key = QStringLiteral("COM%1").arg(comNumber);
    const QString env = qEnvironmentVariable(qPrintable(QStringLiteral("ZEV_") + key));
    if (!env.isEmpty())
        return env;
    if (m_store) {
        const QString stored = m_store->getSetting(QStringLiteral("ZEV1100"), QStringLiteral("Ports"), key, QString());
        if (!stored.isEmpty())
            return stored;
    }
    return platformName(comNumber);
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
