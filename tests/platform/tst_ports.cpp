// Which device a COM number means, what the system reports, and what a port failure tells the user.
#include "platform/PortDiscovery.h"
#include "platform/PortNames.h"
#include "platform/PortProblem.h"
#include "platform/QtSettingsStore.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(PortFacts)
Q_DECLARE_METATYPE(PortInfo)

namespace {

PortInfo cp2102(const QString &device, const QString &serial, const QString &group = QStringLiteral("dialout"))
{
    PortInfo p{device, QStringLiteral("CP2102 USB to UART Bridge Controller"), QStringLiteral("Silicon Labs"), serial, {}};
    p.usb = true;
    p.vendorId = QStringLiteral("10c4");
    p.productId = QStringLiteral("ea60");
    p.group = group;
    return p;
}

} // namespace

class TestPorts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void diagnosis_data()
    {
        QTest::addColumn<PortFacts>("facts");
        QTest::addColumn<QString>("line");
        PortFacts f;
        f.device = QStringLiteral("/dev/ttyUSB0");
        f.error = PortFacts::Permission;
        f.osReason = QStringLiteral("Permission denied");
        f.accessible = false;
        f.owner = QStringLiteral("root");
        f.group = QStringLiteral("uucp");
        f.mode = 0660;
        QTest::newRow("group may open it") << f
            << "/dev/ttyUSB0: Permission denied (add your user to the group uucp: "
               "sudo usermod -aG uucp $USER, then log in again)";
        PortFacts listed = f;
        listed.userListedInGroup = true;
        QTest::newRow("added but not logged in again") << listed
            << "/dev/ttyUSB0: Permission denied (you are in the group uucp, but not yet in this session: "
               "log out and in again)";
        PortFacts rootOnly = f;
        rootOnly.group = QStringLiteral("root");
        rootOnly.mode = 0600;
        rootOnly.usualGroup = QStringLiteral("dialout");
        QTest::newRow("only root") << rootOnly
            << "/dev/ttyUSB0: Permission denied (only root:root may open it (mode 0600): "
               "ask your administrator to give it to the group dialout)";

        // The library reports a lock held by someone else as a permission error.
        PortFacts locked;
        locked.device = QStringLiteral("/dev/ttyUSB0");
        locked.error = PortFacts::Permission;
        locked.osReason = QStringLiteral("Permission error while locking the device");
        locked.holderPid = 4242;
        locked.holderProgram = QStringLiteral("minicom");
        locked.lockFile = QStringLiteral("/run/lock/LCK..ttyUSB0");
        const char *busyHint = " (close the program that holds it; ModemManager and brltty are known to grab USB serial adapters)";
        QTest::newRow("locked") << locked
            << QStringLiteral("/dev/ttyUSB0: in use by minicom (process 4242, lock file /run/lock/LCK..ttyUSB0)") + busyHint;
        PortFacts lockUnread = locked;
        lockUnread.holderPid = 0;
        lockUnread.lockFile.clear();
        QTest::newRow("locked, lock file not found") << lockUnread
            << QStringLiteral("/dev/ttyUSB0: in use by another program") + busyHint;
        PortFacts open = lockUnread;
        open.osReason = QStringLiteral("Device or resource busy");
        open.holderPid = 812;
        open.holderProgram = QStringLiteral("ModemManager");
        QTest::newRow("held open, no lock file") << open
            << QStringLiteral("/dev/ttyUSB0: in use by ModemManager (process 812)") + busyHint;
        PortFacts exclusive = lockUnread;
        exclusive.osReason = QStringLiteral("Device or resource busy");
        QTest::newRow("held exclusively") << exclusive
            << QStringLiteral("/dev/ttyUSB0: in use by another program (Device or resource busy)") + busyHint;

        PortFacts missing;
        missing.device = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00");
        missing.exists = false;
        missing.osReason = QStringLiteral("Permission error while locking the device");
        QTest::newRow("dangling stable name") << missing
            << "/dev/serial/by-id/usb-FTDI-if00: No such file or directory (the device is not there: "
               "check which device the COM number means in Serial Ports or with zevctl ports)";
        PortFacts lost;
        lost.device = QStringLiteral("/dev/ttyACM0");
        lost.when = PortFacts::WhileOpen;
        lost.osReason = QStringLiteral("Input/output error");
        QTest::newRow("line lost") << lost
            << "/dev/ttyACM0: Input/output error (the line was lost: check the cable and that the adapter is still plugged in)";
        PortFacts notTty;
        notTty.device = QStringLiteral("/tmp/file");
        notTty.isCharDevice = false;
        notTty.osReason = QStringLiteral("Inappropriate ioctl for device");
        QTest::newRow("not a device") << notTty
            << "/tmp/file: Inappropriate ioctl for device (/tmp/file is not a serial device)";
    }
    void diagnosis()
    {
        QFETCH(PortFacts, facts);
        QFETCH(QString, line);
        const PortProblem p = PortProblem::diagnose(facts);
        QCOMPARE(p.line(), line);
        QVERIFY(!p.reason.contains(QLatin1String("while locking")));
        // The box's detail: the same, the hint as a sentence on its own line.
        QCOMPARE(p.detail().section(QLatin1Char('\n'), 0, 0), p.device + QStringLiteral(": ") + p.reason);
        QVERIFY(p.detail().endsWith(QLatin1Char('.')));
    }

    void stableNamesJoinTheirDevices()
    {
        const QList<PortInfo> ports = PortDiscovery::attachStableNames(
            {{QStringLiteral("/dev/ttyUSB1"), QStringLiteral("CP2102"), QStringLiteral("Silicon Labs"), QStringLiteral("0001"), {}},
             {QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}}},
            {{QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0"), QStringLiteral("/dev/ttyUSB1")},
             {QStringLiteral("/dev/serial/by-id/usb-gone"), QStringLiteral("/dev/ttyUSB7")}});
        QCOMPARE(ports.size(), 2);
        QCOMPARE(ports[0].device, QStringLiteral("/dev/ttyS0"));
        QCOMPARE(ports[0].preferredName(), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(ports[1].preferredName(), QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0"));
        QCOMPARE(PortDiscovery::listing(ports),
                 QStringList({QStringLiteral("/dev/ttyS0    -       -             -"),
                              QStringLiteral("/dev/ttyUSB1  CP2102  Silicon Labs  0001  "
                                             "/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0")}));
    }

    void udevRules_data()
    {
        QTest::addColumn<PortInfo>("port");
        QTest::addColumn<PortInfo>("other"); // another port the system lists
        QTest::addColumn<QString>("rule");   // the whole text, or its last line
        QTest::addColumn<QString>("refusal");
        const QString usb0 = QStringLiteral("/dev/ttyUSB0");
        const PortInfo builtIn{QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}};
        QTest::newRow("listed adapter") << cp2102(usb0, QStringLiteral("0001")) << builtIn
            << "# COM 3: Silicon Labs CP2102 USB to UART Bridge Controller (USB 10c4:ea60, serial number 0001), now /dev/ttyUSB0\n"
               "# Install it (before ModemManager's rules, hence 70) and use the stable name:\n"
               "#   zevctl ports --udev-rule 3 | sudo tee /etc/udev/rules.d/70-zev-com3.rules\n"
               "#   sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=tty\n"
               "#   zevctl ports --map 3=/dev/zev-com3\n"
               "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea60\", ATTRS{serial}==\"0001\", "
               "SYMLINK+=\"zev-com3\", GROUP=\"dialout\", MODE=\"0660\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"
            << QString();
        const QString uucpRule = "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea60\", "
                                 "ATTRS{serial}==\"A9 x\", SYMLINK+=\"zev-com3\", GROUP=\"uucp\", MODE=\"0660\", "
                                 "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
        QTest::newRow("device of the group uucp") << cp2102(usb0, QStringLiteral("A9 x"), QStringLiteral("uucp"))
                                                  << cp2102(QStringLiteral("/dev/ttyUSB1"), QStringLiteral("A9 y")) << uucpRule << QString();
        QString rootRule = uucpRule;
        rootRule.replace(QStringLiteral("uucp"), QStringLiteral("dialout"));
        QTest::newRow("device of root") << cp2102(usb0, QStringLiteral("A9 x"), QStringLiteral("root")) << builtIn
                                        << rootRule << QString();

        QTest::newRow("no serial number") << cp2102(usb0, QString()) << builtIn << QString()
            << "the adapter of COM 3 (/dev/ttyUSB0) has no serial number: a udev rule could not tell it from another of its kind";
        QTest::newRow("built-in port") << builtIn << cp2102(usb0, QStringLiteral("0001")) << QString()
            << "COM 3 (/dev/ttyS0) is not on a USB adapter: a udev rule needs the adapter's vendor, product and serial number";
        PortInfo noIds = cp2102(usb0, QStringLiteral("0001"));
        noIds.productId.clear();
        QTest::newRow("USB without a product ID") << noIds << builtIn << QString()
            << "COM 3 (/dev/ttyUSB0) is not on a USB adapter: a udev rule needs the adapter's vendor, product and serial number";
        QTest::newRow("a pattern character") << cp2102(usb0, QStringLiteral("00*1")) << builtIn << QString()
            << "the adapter of COM 3 (/dev/ttyUSB0) has a serial number or ID with characters a udev rule cannot match: 00*1";
        QTest::newRow("a quote") << cp2102(usb0, QStringLiteral("0\"1")) << builtIn << QString()
            << "the adapter of COM 3 (/dev/ttyUSB0) has a serial number or ID with characters a udev rule cannot match: 0\"1";
        QTest::newRow("two ports of one adapter") << cp2102(usb0, QStringLiteral("0001"))
            << cp2102(QStringLiteral("/dev/ttyUSB1"), QStringLiteral("0001")) << QString()
            << "COM 3 (/dev/ttyUSB0) shares its adapter's vendor, product and serial number with /dev/ttyUSB1 "
               "(an adapter with several ports): a udev rule cannot tell them apart";
    }
    void udevRules()
    {
        QFETCH(PortInfo, port);
        QFETCH(PortInfo, other);
        QFETCH(QString, rule);
        QFETCH(QString, refusal);
        QString why;
        const QString text = PortDiscovery::udevRule(3, port, {other, port}, &why);
        QCOMPARE(why, refusal);
        if (rule.endsWith(QLatin1Char('\n')) || rule.isEmpty())
            QCOMPARE(text, rule);
        else
            QCOMPARE(text.trimmed().section(QLatin1Char('\n'), -1), rule);
    }

    void mappingSources()
    {
        QTemporaryDir dir;
        QtSettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        PortNames names(&store);
        using S = PortNames::Source;
        auto is = [&](int n, const QString &device, S source) {
            const PortNames::Mapping m = names.lookup(n);
            return m.device == device && m.source == source;
        };
        QVERIFY(is(2, PortNames::platformName(2), S::PlatformDefault));
        QVERIFY(names.store(2, QStringLiteral("/dev/pts/4")));
        QCOMPARE(store.getSetting(QStringLiteral("ZEV1100"), QStringLiteral("Ports"), QStringLiteral("COM2"), QString()),
                 QStringLiteral("/dev/pts/4"));
        QVERIFY(is(2, QStringLiteral("/dev/pts/4"), S::Setting));
        qputenv("ZEV_COM2", "/dev/ttyACM0");
        QVERIFY(is(2, QStringLiteral("/dev/ttyACM0"), S::Environment));
        QVERIFY(names.addOverride(QStringLiteral("2=/dev/ttyUSB3")));
        QVERIFY(is(2, QStringLiteral("/dev/ttyUSB3"), S::Option));
        qunsetenv("ZEV_COM2");
        QVERIFY(names.store(2, QString()));
        QVERIFY(names.stored(2).isEmpty());
        QVERIFY(!names.addOverride(QStringLiteral("x=/dev/a")));
        QVERIFY(!names.addOverride(QStringLiteral("3=")));
        QVERIFY(!PortNames(nullptr).store(1, QStringLiteral("/dev/a")));
    }
};

QTEST_GUILESS_MAIN(TestPorts)
#include "tst_ports.moc"
