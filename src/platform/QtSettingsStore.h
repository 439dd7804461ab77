#pragma once

#include "platform/SettingsStore.h"

class QSettings;

// SettingsStore on QSettings. Without a file it uses the platform's per-user
// store (organisation "ZEV", one store per application); with a file, one INI
// file holds every application, which is what tests point at.
class QtSettingsStore : public SettingsStore
{
public:
    QtSettingsStore() = default;
    explicit QtSettingsStore(const QString &iniFile);

    QString getSetting(const QString &application, const QString &section, const QString &key,
                       const QString &defaultValue) override;
    void saveSetting(const QString &application, const QString &section, const QString &key,
                     const QString &value) override;
    void removeSetting(const QString &application, const QString &section, const QString &key) override;
    QString lastError() const override { return m_lastError; }
    // Where application's settings are kept (a file path, or a registry path on Windows).
    QString location(const QString &application) const;

private:
    void checkWritten(QSettings &store);
    QString m_iniFile;
    QString m_lastError;
};
