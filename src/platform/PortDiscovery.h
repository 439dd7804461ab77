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

// What the system reports now (QSerialPortInfo, and /dev/serial/by-id on Linux).
QList<PortInfo> systemPorts();

} // namespace PortDiscovery
