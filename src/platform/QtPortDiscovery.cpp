#include "platform/PortDiscovery.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace PortDiscovery {

QList<PortInfo> systemPorts()
{
    QList<PortInfo> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << PortInfo{info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber(), {}};
    QList<QPair<QString, QString>> links;
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        links << qMakePair(link.absoluteFilePath(), link.canonicalFilePath());
    return attachStableNames(ports, links);
}

} // namespace PortDiscovery
