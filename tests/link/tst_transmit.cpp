#include "core/Platform.h"
#include "core/Session.h"
#include "link/Frames.h"
#include "link/frmTransmit.h"
#include "platform/PortNames.h"
#include "platform/QtSettingsStore.h"
#include "platform/SerialPortsDialog.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedUi.h"
#include "support/WindowTest.h"
#include "support/VirtualClock.h"

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using Box = ScriptedUi::Box;

class TestTransmit : public WindowTest
{
    Q_OBJECT

    FakeSerialPort *m_port = nullptr;
    bool m_failOpen = false;
    PortNames m_names;
    std::unique_ptr<frmTransmit> m_window;

    QComboBox *sport() { return m_window->findChild<QComboBox *>(QStringLiteral("SPort")); }
    QPushButton *ports() { return m_window->findChild<QPushButton *>(QStringLiteral("cmdPorts")); }
    QProgressBar *bar() { return m_window->findChild<QProgressBar *>(QStringLiteral("ProgressBar1")); }
    void transmit() { QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton); }

    // Built from the frame table: STX, "1234    ", "Z", nibble pairs, check pair, ETX.
    static QByteArray goldenFrame()
    {
        QByteArray f("\x02" "1234    Z");
        int sum = '1' + '2' + '3' + '4' + 4 * 32 + 'Z';
        for (int i = 0; i < 128; ++i) {
            const int v = (i * 37) & 0xFF;
            sum += v;
            f += char('0' + v / 16);
            f += char('0' + v % 16);
        }
        const int check = (sum % 128) | 0x20;
        f += char('0' + check / 16);
        f += char('0' + check % 16);
        f += '\x03';
        return f;
    }

private Q_SLOTS:
    void init()
    {
        m_failOpen = false;
        resetRig(QString(), [this]() {
            auto port = std::make_unique<FakeSerialPort>(m_peer, m_clock);
            m_port = port.get();
            return port;
        });
        m_session.LoggedIn = true;
        m_session.LoginPassword = QStringLiteral("1234    ");
        m_session.CommPortNumber = 3;
        for (int i = 0; i < 128; ++i)
            m_session.ParamImage[i] = quint8((i * 37) & 0xFF);
        m_names.setOverride(5, QStringLiteral("/dev/ttyZEV5"));
        m_platform->portNames = &m_names;
        m_window = std::make_unique<frmTransmit>(m_session, *m_platform);
        QVERIFY(m_window->load());
        m_window->show();
        m_port->failOpen = m_failOpen;
    }
    void cleanup()
    {
        m_window.reset();
        verifyScript(false);
    }

    void acknowledged()
    {
        const auto image = m_session.ParamImage;
        m_peer.replies << ScriptedPeer::Reply{Link::AckFrame, 50};
        QCOMPARE(sport()->currentText(), QStringLiteral("3"));
        sport()->setCurrentText(QStringLiteral("5"));
        transmit();
        QCOMPARE(m_ui.boxes, (QList<Box>{Box{QStringLiteral("Transmit O.K. "), Ui::Buttons::Ok, Ui::Icon::None,
                                            QStringLiteral("Transmit Setting to ZEV Scanner")}}));
        QVERIFY(bar()->isHidden());
        QCOMPARE(m_port->written(), goldenFrame());
        QCOMPARE(m_port->writes.first(), QByteArray("\x02" "1234    Z"));
        QCOMPARE(m_port->writes.size(), 1 + 129 + 1);
        QCOMPARE(m_port->settingsSet.last(), QStringLiteral("19200,n,8,1"));
        QCOMPARE(m_port->portNumbersOpened, QList<int>{5});
        QCOMPARE(m_session.CommPortNumber, qint16(5));
        QVERIFY(std::equal(image.begin(), image.begin() + 128, m_session.ParamImage.begin()));
        QCOMPARE(m_session.SettingsChanged, false);
        QVERIFY(!m_port->isOpen());
    }

    void secondClickDuringTheWaitStartsNothing()
    {
        m_peer.replies << ScriptedPeer::Reply{Link::AckFrame, 500};
        auto *button = m_window->findChild<QPushButton *>(QStringLiteral("Command2"));
        bool enabledDuring = true;
        bool portsEnabledDuring = true;
        m_clock.onTick = [&](qint64) {
            if (!m_port->isOpen() || m_port->writes.size() != 131 || !enabledDuring)
                return;
            enabledDuring = button->isEnabled();
            portsEnabledDuring = ports()->isEnabled(); // its dialog would stretch the reply wait
            QTest::mouseClick(button, Qt::LeftButton);
            m_window->Command2_Click(); // a click that gets past the disabled button
        };
        transmit();
        m_clock.onTick = nullptr;
        QVERIFY(!enabledDuring);
        QVERIFY(!portsEnabledDuring);
        QVERIFY(button->isEnabled());
        QVERIFY(ports()->isEnabled());
        QCOMPARE(m_port->writes.size(), 131);
        QCOMPARE(m_ui.boxes.size(), 1);
        QCOMPARE(m_ui.boxes[0].text, QStringLiteral("Transmit O.K. "));
    }

    // "Ports..." shows the COM mapping for the number in the box; the box's tip names the device.
    void portsButton()
    {
        sport()->setCurrentText(QStringLiteral("5"));
        QCOMPARE(sport()->toolTip(), QStringLiteral("COM 5 means /dev/ttyZEV5"));
        int shownFor = 0;
        m_ui.onModal([&](QDialog &d) {
            shownFor = static_cast<SerialPortsDialog &>(d).comNumber();
            return 0;
        });
        QTest::mouseClick(ports(), Qt::LeftButton);
        QCOMPARE(m_ui.modalWindows, QStringList{QStringLiteral("SerialPortsDialog")});
        QCOMPARE(shownFor, 5);
        QVERIFY(m_port->portNumbersOpened.isEmpty());
    }

    void refused()
    {
        m_peer.replies << ScriptedPeer::Reply{Link::NakFrame, 50};
        transmit();
        QCOMPARE(m_ui.boxes, (QList<Box>{Box{QStringLiteral("Communication Error ! (2)"), Ui::Buttons::Ok,
                                            Ui::Icon::Critical, QStringLiteral("Transmit")}}));
        QVERIFY(!bar()->isHidden());
        QCOMPARE(bar()->value(), 130);
        QVERIFY(!m_port->isOpen());
    }

    void incompleteReplyTimesOut()
    {
        m_peer.replies << ScriptedPeer::Reply{Link::AckFrame.left(3), 50};
        const qint64 start = m_clock.tickCount();
        transmit();
        QCOMPARE(m_ui.boxes, (QList<Box>{Box{QStringLiteral("Device time out !(2) "), Ui::Buttons::Ok,
                                            Ui::Icon::Critical, QStringLiteral("Transmit")}}));
        QVERIFY(m_clock.tickCount() - start > 3000);
        QVERIFY(m_clock.tickCount() - start < 3100);
        QVERIFY(bar()->isHidden());
        QVERIFY(!m_port->isOpen());
    }

    void lateAckAfterTheTimeOutIsNotTaken()
    {
        m_peer.replies << ScriptedPeer::Reply{Link::AckFrame, 3200};
        transmit();
        QCOMPARE(m_ui.boxes.last().text, QStringLiteral("Device time out !(2) "));
    }

    void portErrors_data()
    {
        QTest::addColumn<QString>("portText");
        QTest::addColumn<bool>("failOpen");
        QTest::newRow("letter") << QStringLiteral("A") << false;
        QTest::newRow("zero") << QStringLiteral("0") << false;
        QTest::newRow("cannot open") << QStringLiteral("2") << true;
    }
    void portErrors()
    {
        QFETCH(QString, portText);
        QFETCH(bool, failOpen);
        m_port->failOpen = failOpen;
        sport()->setCurrentText(portText);
        transmit();
        QCOMPARE(m_ui.boxes, (QList<Box>{Box{QStringLiteral("Comm Port Error ! "), Ui::Buttons::Ok, Ui::Icon::Critical,
                                            QStringLiteral("ZEV")}}));
        // Only a port that failed to open has an operating system's reason to show.
        QCOMPARE(m_ui.boxOptions[0].detail, failOpen ? m_port->openError : QString());
        QVERIFY(m_port->writes.isEmpty());
        QCOMPARE(m_session.CommPortNumber, qint16(3));
        QVERIFY(bar()->isHidden());
    }

    void tabKeepsThePortNumber()
    {
        auto *tab = m_window->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
        QCOMPARE(tab->count(), 1);
        m_session.Rs232Interface = true;
        m_window->activate();
        QCOMPARE(tab->tabText(0), QString());
        sport()->setCurrentText(QStringLiteral("9"));
        Q_EMIT tab->tabBarClicked(0);
        QCOMPARE(sport()->currentText(), QStringLiteral("3"));
        QCOMPARE(sport()->count(), 16);
    }

    void notLoggedInDoesNotLoad()
    {
        m_session.LoggedIn = false;
        frmTransmit w(m_session, *m_platform);
        QVERIFY(!w.load());
    }
};

QTEST_MAIN(TestTransmit)
#include "tst_transmit.moc"
