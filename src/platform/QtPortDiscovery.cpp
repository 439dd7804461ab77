#include "platform/PortDiscovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#endif

namespace PortDiscovery {

namespace {

QString usbId(bool has, quint16 id)
{
    return has ? QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')) : QString();
}

// Linux tells the bus from where the tty sits among the devices.
bool onUsb(const QSerialPortInfo &info)
{
#ifdef Q_OS_LINUX
    const QString sys = QStringLiteral("/sys/class/tty/%1/device").arg(info.portName());
    return QFileInfo(sys).canonicalFilePath().contains(QLatin1String("/usb"));
#else
    return info.hasVendorIdentifier();
#endif
}

QString groupOf(const QString &device)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) == 0)
        if (const group *gr = ::getgrgid(st.st_gid))
            return QString::fromLocal8Bit(gr->gr_name);
#endif
    Q_UNUSED(device);
    return QString();
}

} // namespace

QList<PortInfo> systemPorts()
{
    QList<PortInfo> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortInfo p{info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber(), {}};
        p.usb = onUsb(info);
        p.vendorId = usbId(info.hasVendorIdentifier(), info.vendorIdentifier());
        p.productId = usbId(info.hasProductIdentifier(), info.productIdentifier());
        p.group = groupOf(p.device);
        ports << p;
    }
    QList<QPair<QString, QString>> links;
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        links << qMakePair(link.absoluteFilePath(), link.canonicalFilePath());
    return attachStableNames(ports, links);
}

} // namespace PortDiscovery
