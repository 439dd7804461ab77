#include "platform/PortDiscovery.h"

#include <algorithm>

namespace PortDiscovery {

QList<PortInfo> attachStableNames(QList<PortInfo> ports, const QList<QPair<QString, QString>> &links)
{
    for (PortInfo &p : ports) {
        for (const auto &link : links) {
            if (link.second == p.device) {
                p.byId = link.first;
                break;
            }
        }
    }
    std::sort(ports.begin(), ports.end(), [](const PortInfo &a, const PortInfo &b) { return a.device < b.device; });
    return ports;
}

QStringList listing(const QList<PortInfo> &ports)
{
    QList<QStringList> rows;
    QList<qsizetype> widths(4, 0);
    for (const PortInfo &p : ports) {
        QStringList row{p.device, p.description, p.manufacturer, p.serialNumber};
        for (int c = 0; c < row.size(); ++c) {
            if (row[c].isEmpty())
                row[c] = QStringLiteral("-");
            widths[c] = std::max(widths[c], row[c].size());
        }
        if (!p.byId.isEmpty())
            row << p.byId;
        rows << row;
    }
    QStringList lines;
    for (const QStringList &row : rows) {
        QString line;
        for (int c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c].leftJustified(widths.value(c) + 2) : row[c];
        lines << line;
    }
    return lines;
}

QString udevRule(int com, const PortInfo &port, const QList<PortInfo> &all, QString *refusal)
{
    const QString device = port.device;
    if (!port.usb || port.vendorId.isEmpty() || port.productId.isEmpty()) {
        *refusal = QStringLiteral("COM %1 (%2) is not on a USB adapter: a udev rule needs the adapter's vendor, "
                                  "product and serial number").arg(com).arg(device);
        return QString();
    }
    if (port.serialNumber.isEmpty()) {
        *refusal = QStringLiteral("the adapter of COM %1 (%2) has no serial number: a udev rule could not tell it "
                                  "from another of its kind").arg(com).arg(device);
        return QString();
    }
    // udev takes these as patterns and has no escape for them.
    static const QString kPatternCharacters = QStringLiteral("\"*?[]|\\");
    const QString ids = port.vendorId + port.productId + port.serialNumber;
    for (const QChar c : ids) {
        if (kPatternCharacters.contains(c) || c.unicode() < 0x20 || c.unicode() > 0x7E) {
            *refusal = QStringLiteral("the adapter of COM %1 (%2) has a serial number or ID with characters a udev "
                                      "rule cannot match: %3").arg(com).arg(device, port.serialNumber);
            return QString();
        }
    }
    for (const PortInfo &other : all) {
        if (other.device != device && other.vendorId == port.vendorId && other.productId == port.productId
            && other.serialNumber == port.serialNumber) {
            *refusal = QStringLiteral("COM %1 (%2) shares its adapter's vendor, product and serial number with %3 "
                                      "(an adapter with several ports): a udev rule cannot tell them apart")
                           .arg(com).arg(device, other.device);
            return QString();
        }
    }
    // The device's own group when it is one of serial devices, else the usual one.
    const QString group = port.group == QLatin1String("uucp") ? port.group : QStringLiteral("dialout");
    const QString file = QStringLiteral("/etc/udev/rules.d/70-zev-com%1.rules").arg(com);
    const QString about = QStringList{port.manufacturer, port.description}.join(QLatin1Char(' ')).trimmed();
    return QStringLiteral("# COM %1: %2 (USB %3:%4, serial number %5), now %6\n"
                          "# Install it (before ModemManager's rules, hence 70) and use the stable name:\n"
                          "#   zevctl ports --udev-rule %1 | sudo tee %7\n"
                          "#   sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=tty\n"
                          "#   zevctl ports --map %1=/dev/zev-com%1\n"
                          "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"%3\", ATTRS{idProduct}==\"%4\", "
                          "ATTRS{serial}==\"%5\", SYMLINK+=\"zev-com%1\", GROUP=\"%8\", MODE=\"0660\", "
                          "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n")
        .arg(com)
        .arg(about.isEmpty() ? QStringLiteral("USB adapter") : about, port.vendorId, port.productId,
             port.serialNumber, device, file, group);
}

} // namespace PortDiscovery
