#include "cli/Command.h"

#include "cli/ZevCtl.h"
#include "platform/PortDiscovery.h"

#include <QFileInfo>

namespace ZevCtl {

namespace {

// --udev-rule N: the rule for the USB adapter that COM N means now.
int udevRule(Command &c, const PortNames &names, const QString &number)
{
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 1 || n > PortNames::Count)
        return c.fail(Usage, QStringLiteral("COM numbers go from 1 to %1: --udev-rule N").arg(PortNames::Count));
    const QString device = names.lookup(n).device;
    const QString resolved = QFileInfo(device).canonicalFilePath();
    const QList<PortInfo> all = PortDiscovery::systemPorts();
    for (const PortInfo &port : all) {
        if (port.device == device || port.device == resolved || port.byId == device) {
            QString refusal;
            const QString rule = PortDiscovery::udevRule(n, port, all, &refusal);
            return rule.isEmpty() ? c.fail(Usage, refusal) : c.print(rule);
        }
    }
    return c.fail(Usage, QStringLiteral("COM %1 is %2, which the system does not report as a serial port "
                                        "(plug the adapter in, or map COM %1 with --map)").arg(n).arg(device));
}

} // namespace

// The ports the system reports, then what each COM number means and why;
// --map and --unmap change the per-user setting first.
int ports(Command &c)
{
    QString map;
    QString unmap;
    QString udev;
    if (!c.option(QStringLiteral("--map"), map) || !c.option(QStringLiteral("--unmap"), unmap)
        || !c.option(QStringLiteral("--udev-rule"), udev) || !c.args.isEmpty()
        || int(!map.isEmpty()) + int(!unmap.isEmpty()) + int(!udev.isEmpty()) > 1)
        return c.fail(Usage, QStringLiteral("usage: ports [--map N=DEVICE | --unmap N | --udev-rule N]"));
    Line line(c);
    if (!udev.isEmpty())
        return udevRule(c, line.names, udev);
    int n = 0;
    QString device;
    bool ok = true;
    if (!unmap.isEmpty())
        n = unmap.toInt(&ok);
    if (!map.isEmpty())
        ok = PortNames::parseMapping(map, n, device);
    if (!ok || n > PortNames::Count || (n < 1 && (!map.isEmpty() || !unmap.isEmpty())))
        return c.fail(Usage, QStringLiteral("COM numbers go from 1 to %1: --map N=DEVICE, --unmap N").arg(PortNames::Count));
    if (n > 0) {
        line.names.store(n, device);
        if (const QString error = line.store.lastError(); !error.isEmpty())
            return c.fail(FileError, QStringLiteral("the mapping of COM %1 was not stored: %2").arg(n).arg(error));
        const PortNames::Mapping m = line.names.lookup(n);
        if (m.source == PortNames::Source::Option || m.source == PortNames::Source::Environment)
            say(c.err, QStringLiteral("zevctl ports: stored, but the %1 makes COM %2 %3 for now\n")
                           .arg(PortNames::sourceName(m.source)).arg(n).arg(m.device));
    }
    QString text = QStringLiteral("Ports the system reports (device, description, manufacturer, serial number):\n");
    const QStringList found = PortDiscovery::listing(PortDiscovery::systemPorts());
    text += found.isEmpty() ? QStringLiteral("  none\n") : QStringLiteral("  ") + found.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    text += QStringLiteral("COM ports (device, from):\n");
    QList<PortNames::Mapping> mappings;
    qsizetype width = 0;
    for (int com = 1; com <= PortNames::Count; ++com) {
        mappings << line.names.lookup(com);
        width = std::max(width, mappings.last().device.size());
    }
    for (int com = 1; com <= PortNames::Count; ++com) {
        const PortNames::Mapping &m = mappings[com - 1];
        text += QStringLiteral("  ") + QStringLiteral("COM %1").arg(com).leftJustified(8) + m.device.leftJustified(width + 2)
              + PortNames::sourceName(m.source) + QLatin1Char('\n');
    }
    return c.print(text);
}

} // namespace ZevCtl
