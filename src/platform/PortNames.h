#pragma once

#include <QMap>
#include <QString>

class SettingsStore;

// Which device a COM number means. In order: a command-line override
// (--com n=DEVICE), the environment (ZEV_COMn), the per-user setting
// "Ports/COMn" of "ZEV1100", then the platform's own name.
class PortNames;

// The detail of a box that says nothing answered on COM comNumber, naming the
// device it means (without names: the platform's own name).
QString noReplyDetail(const PortNames *names, int comNumber);

class PortNames
{
public:
    // The numbers the windows offer (the login dialog shows the first 12).
    static constexpr int Count = 16;
    enum class Source { Option, Environment, Setting, PlatformDefault };
    struct Mapping
    {
        QString device;
        Source source = Source::PlatformDefault;
    };

    explicit PortNames(SettingsStore *store = nullptr) : m_store(store) {}

    void setOverride(int comNumber, const QString &device) { m_overrides[comNumber] = device; }
    // Parses "n=DEVICE"; false when it is not of that form.
    bool addOverride(const QString &mapping);
    static bool parseMapping(const QString &mapping, int &comNumber, QString &device);

    QString deviceFor(int comNumber) const { return lookup(comNumber).device; }
    Mapping lookup(int comNumber) const;
    static QString platformName(int comNumber);
    static QString sourceName(Source source);

    // The per-user setting; an empty device removes it. False without a store.
    QString stored(int comNumber) const;
    bool store(int comNumber, const QString &device);

private:
    SettingsStore *m_store;
    QMap<int, QString> m_overrides;
};
