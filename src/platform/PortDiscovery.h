#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// A serial port the system reports.
struct PortInfo
{
    QString device;       // /dev/ttyUSB0, COM3
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString byId;         // the stable /dev/serial/by-id/ name, where there is one
    bool usb = false;     // on a USB adapter
    // "{}": a port listed by its first five facts builds without a warning.
    QString vendorId{};   // the USB IDs as udev writes them: four lower-case hex digits
    QString productId{};
    QString group{};      // the group that owns the device node

    // The name to store for it: the stable one when there is one.
    QString preferredName() const { return byId.isEmpty() ? device : byId; }
};

namespace PortDiscovery {

// links: (link path, the device it resolves to). Gives each port the link that
// resolves to its device; ports are sorted by device.
QList<PortInfo> attachStableNames(QList<PortInfo> ports, const QList<QPair<QString, QString>> &links);

// One line per port: device, description, manufacturer, serial number, and
// the stable name; "-" for what the system does not say.
QStringList listing(const QList<PortInfo> &ports);

// The udev rule that gives COM com's USB adapter (port, one of all) the stable
// name /dev/zev-comN, the group of serial devices, mode 0660 and ModemManager's
// hands off, after comment lines that say how to install it. Empty, with the
// reason in *refusal, when no rule can single the adapter out.
QString udevRule(int com, const PortInfo &port, const QList<PortInfo> &all, QString *refusal);

// What the system reports now (QSerialPortInfo, and /dev/serial/by-id on Linux).
QList<PortInfo> systemPorts();

} // namespace PortDiscovery
