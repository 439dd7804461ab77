#include "platform/PortProblem.h"

namespace {
const QString kBusyHint = QStringLiteral(
    "close the program that holds it; ModemManager and brltty are known to grab USB serial adapters");

QString permissionHint(const PortFacts &f)
{
    const bool groupMayOpen = (f.mode & 060) == 060;
    if (!f.group.isEmpty() && f.group != QLatin1String("root") && groupMayOpen) {
        if (f.userListedInGroup)
            return QStringLiteral("you are in the group %1, but not yet in this session: log out and in again")
                .arg(f.group);
        return QStringLiteral("add your user to the group %1: sudo usermod -aG %1 $USER, then log in again")
            .arg(f.group);
    }
    const QString usual = f.usualGroup.isEmpty() ? QStringLiteral("dialout") : f.usualGroup;
    return QStringLiteral("only %1:%2 may open it (mode %3): ask your administrator to give it to the group %4")
        .arg(f.owner, f.group, QString::number(f.mode & 0777, 8).rightJustified(4, QLatin1Char('0')), usual);
}
} // namespace

QString PortProblem::line() const
{
    QString text = deviceAndReason();
    if (!hint.isEmpty())
        text += QStringLiteral(" (") + hint + QLatin1Char(')');
    return text;
}

QString PortProblem::detail() const
{
    QString text = deviceAndReason();
    if (!hint.isEmpty())
        text += QStringLiteral("\n") + hint.at(0).toUpper() + hint.mid(1) + QLatin1Char('.');
    return text;
}

QString PortProblem::deviceAndReason() const
{
    return device.isEmpty() ? reason : device + QStringLiteral(": ") + reason;
}

PortProblem PortProblem::diagnose(const PortFacts &f)
{
    PortProblem p;
    p.device = f.device;
    p.reason = f.osReason;
    if (f.when == PortFacts::WhileOpen) {
        p.kind = Lost;
        p.hint = QStringLiteral("the line was lost: check the cable and that the adapter is still plugged in");
        return p;
    }
    if (!f.exists || f.error == PortFacts::NotFound) {
        p.kind = Missing;
        if (f.exists == false && f.error != PortFacts::NotFound)
            p.reason = QStringLiteral("No such file or directory");
        p.hint = QStringLiteral("the device is not there: check which device the COM number means "
                                "in Serial Ports or with zevctl ports");
        return p;
    }
    if (!f.accessible) {
        p.kind = Permission;
        p.reason = QStringLiteral("Permission denied");
        p.hint = permissionHint(f);
        return p;
    }
    if (f.holderPid > 0 || !f.lockFile.isEmpty() || f.error == PortFacts::Permission) {
        // The library says "permission" when it finds the device locked, or busy.
        p.kind = Busy;
        if (f.holderPid > 0)
            p.reason = QStringLiteral("in use by %1 (process %2%3)")
                           .arg(f.holderProgram.isEmpty() ? QStringLiteral("another program") : f.holderProgram)
                           .arg(f.holderPid)
                           .arg(f.lockFile.isEmpty() ? QString() : QStringLiteral(", lock file ") + f.lockFile);
        else if (!f.lockFile.isEmpty())
            p.reason = QStringLiteral("in use: locked by another program (lock file %1)").arg(f.lockFile);
        else if (f.osReason.contains(QLatin1String("lock"), Qt::CaseInsensitive))
            p.reason = QStringLiteral("in use by another program");
        else
            p.reason = QStringLiteral("in use by another program (%1)").arg(f.osReason);
        p.hint = kBusyHint;
        return p;
    }
    p.kind = Other;
    if (!f.isCharDevice)
        p.hint = QStringLiteral("%1 is not a serial device").arg(f.device);
    return p;
}

QString noReplyDetail(int comNumber, const QString &device)
{
    return QStringLiteral("Nothing answered on COM %1 (%2).\n"
                          "Check that the cable is plugged in at both ends and that the scanner is switched on.\n"
                          "If the scanner is on another port, choose its COM number; \"Ports...\" shows which "
                          "device each number means.")
        .arg(comNumber)
        .arg(device);
}
