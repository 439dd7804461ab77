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

} // namespace PortDiscovery
