#pragma once

#include <QMap>
#include <QString>

class SettingsStore;

// Which device a COM number means. In order: a command-line override
// (--com n=DEVICE), the environment (ZEV_COMn), the per-user setting
// "Ports/COMn" of "ZEV1100", then the platform's own name.
class PortNames
{
public:
    explicit PortNames(SettingsStore *store = nullptr) : m_store(store) {}

    void setOverride(int comNumber, const QString &device) { m_overrides[comNumber] = device; }
    // Parses "n=DEVICE"; false when it is not of that form.
    bool addOverride(const QString &mapping);

    QString deviceFor(int comNumber) const;
    static QString platformName(int comNumber);

private:
    SettingsStore *m_store;
    QMap<int, QString> m_overrides;
};
