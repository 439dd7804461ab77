#pragma once

#include <QString>

// Per-user string settings addressed by (application, section, key).
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    virtual QString getSetting(const QString &application, const QString &section,
                               const QString &key, const QString &defaultValue) = 0;
    virtual void saveSetting(const QString &application, const QString &section,
                             const QString &key, const QString &value) = 0;
    virtual void removeSetting(const QString &application, const QString &section, const QString &key) = 0;
    // Why the last save or removal did not reach the disk; empty when it did.
    virtual QString lastError() const { return QString(); }
};
