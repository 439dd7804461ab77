#include "platform/QtSettingsStore.h"

#include <QSettings>
#include <memory>

namespace {

std::unique_ptr<QSettings> openStore(const QString &iniFile, const QString &application,
                                     QString &prefix)
{
    if (iniFile.isEmpty()) {
        prefix.clear();
        return std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("ZEV"), application);
    }
    prefix = application + QLatin1Char('/');
    return std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
}

} // namespace

QtSettingsStore::QtSettingsStore(const QString &iniFile) : m_iniFile(iniFile) {}

QString QtSettingsStore::getSetting(const QString &application, const QString &section,
                                    const QString &key, const QString &defaultValue)
{
    QString prefix;
    auto store = openStore(m_iniFile, application, prefix);
    return store->value(prefix + section + QLatin1Char('/') + key, defaultValue).toString();
}

void QtSettingsStore::saveSetting(const QString &application, const QString &section,
                                  const QString &key, const QString &value)
{
    QString prefix;
    auto store = openStore(m_iniFile, application, prefix);
    store->setValue(prefix + section + QLatin1Char('/') + key, value);
    checkWritten(*store);
}

void QtSettingsStore::removeSetting(const QString &application, const QString &section, const QString &key)
{
    QString prefix;
    auto store = openStore(m_iniFile, application, prefix);
    store->remove(prefix + section + QLatin1Char('/') + key);
    checkWritten(*store);
}

void QtSettingsStore::checkWritten(QSettings &store)
{
    store.sync();
    switch (store.status()) {
    case QSettings::NoError: m_lastError.clear(); break;
    case QSettings::AccessError: m_lastError = store.fileName() + QStringLiteral(" cannot be written"); break;
    case QSettings::FormatError: m_lastError = store.fileName() + QStringLiteral(" is not a settings file"); break;
    }
}

QString QtSettingsStore::location(const QString &application) const
{
    QString prefix;
    return openStore(m_iniFile, application, prefix)->fileName();
}
