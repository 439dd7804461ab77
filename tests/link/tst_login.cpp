#include "core/Session.h"
#include "link/Frames.h"
#include "link/LoginExchange.h"
#include "link/QuietLine.h"
#include "link/frmPword.h"
#include "support/FakeSerialPort.h"
#include "support/ModelPeer.h"
#include "support/ScriptedUi.h"
#include "support/VirtualClock.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
const QByteArray kJunk6 = Link::AckFrame + 'x';

ScriptedUi::Box loginBox(const QString &text)
{
    return {text, Ui::Buttons::Ok, Ui::Icon::Exclamation, QStringLiteral("Login Error")};
}
const QString kRefused = QStringLiteral("ZEV Scanner faild to authenticate your password and is exiting ....");
const QString kRefusedLast = QStringLiteral("ZEV faild to authenticate your password \r\nand is exiting ....");
} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

    Session session;
    ScriptedUi ui;
    VirtualClock clock;
    ScriptedPeer peer;
    std::unique_ptr<FakeSerialPort> port;
    std::unique_ptr<frmPword> dialog;

    QLineEdit *box() { return dialog->findChild<QLineEdit *>(QStringLiteral("txtUserName")); }
    void typeAndOk(const QString &password)
    {
        box()->clear();
        QTest::keyClicks(box(), password);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    }
    void replies(const QList<QByteArray> &list)
    {
        for (const QByteArray &r : list)
            peer.replies << ScriptedPeer::Reply{r, 20};
    }

    // A fresh dialog on a fresh line; the session is kept.
    void reopen()
    {
        dialog.reset();
        peer = ScriptedPeer();
        port = std::make_unique<FakeSerialPort>(peer, clock);
        dialog = std::make_unique<frmPword>(session, ui, *port, clock);
        dialog->show();
    }

private Q_SLOTS:
    void init()
    {
        session = Session();
        ui.clear();
        reopen();
    }
    void cleanup()
    {
        dialog.reset();
        QVERIFY2(ui.unscripted().isEmpty(), qPrintable(ui.unscripted().join(QLatin1String("; "))));
    }

    void exchangeOutcomes_data()
    {
        QTest::addColumn<QList<QByteArray>>("replyList");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("sends");
        QTest::newRow("ack first time") << QList<QByteArray>{Link::AckFrame} << int(LoginResult::Acknowledged) << 1;
        QTest::newRow("ack on the third send")
            << QList<QByteArray>{QByteArray(), Link::NakFrame, Link::AckFrame} << int(LoginResult::Acknowledged) << 3;
        QTest::newRow("refused: three sends") << QList<QByteArray>{Link::NakFrame, Link::NakFrame, Link::NakFrame}
                                              << int(LoginResult::Refused) << 3;
        QTest::newRow("silence") << QList<QByteArray>{} << int(LoginResult::NoReply) << 3;
        QTest::newRow("one byte") << QList<QByteArray>{"\x06", "\x06", "\x06"} << int(LoginResult::NoReply) << 3;
        QTest::newRow("ack plus a byte") << QList<QByteArray>{kJunk6, kJunk6, kJunk6} << int(LoginResult::OtherReply) << 3;
    }
    void exchangeOutcomes()
    {
        QFETCH(QList<QByteArray>, replyList);
        QFETCH(int, kind);
        QFETCH(int, sends);
        replies(replyList);
        const int blockedBefore = clock.blockedMs;
        const LoginResult r = runLoginExchange(*port, clock, QStringLiteral("abc"));
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(r.sends, sends);
        QCOMPARE(port->writes.size(), sends);
        for (const QByteArray &w : std::as_const(port->writes))
            QCOMPARE(w, Link::loginFrame(QStringLiteral("abc")));
        QCOMPARE(r.paddedPassword, QStringLiteral("abc     "));
        // The waits do not yield, nor does taking a reply that is still arriving.
        QCOMPARE(clock.blockedMs - blockedBefore, (500 + QuietLine::ProbeMs) * sends);
        QVERIFY(!port->isOpen());
    }

    void againstTheScannerModel_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("frames");
        QTest::newRow("right password") << QStringLiteral("Ab12") << int(ScannerModel::Fault::None)
                                        << int(LoginResult::Acknowledged) << 1;
        QTest::newRow("wrong case") << QStringLiteral("ab12") << int(ScannerModel::Fault::None)
                                    << int(LoginResult::Refused) << 3;
        QTest::newRow("silent") << QStringLiteral("Ab12") << int(ScannerModel::Fault::Silent)
                                << int(LoginResult::NoReply) << 3;
        QTest::newRow("one byte") << QStringLiteral("Ab12") << int(ScannerModel::Fault::OneByteReply)
                                  << int(LoginResult::NoReply) << 3;
        QTest::newRow("garbled") << QStringLiteral("Ab12") << int(ScannerModel::Fault::GarbledReply)
                                 << int(LoginResult::OtherReply) << 3;
    }
    void againstTheScannerModel()
    {
        QFETCH(QString, typed);
        QFETCH(int, fault);
        QFETCH(int, kind);
        QFETCH(int, frames);
        ScannerModel::Config config;
        config.password = "Ab12";
        config.fault = ScannerModel::Fault(fault);
        ModelPeer scanner(config);
        FakeSerialPort line(scanner, clock);
        const LoginResult r = runLoginExchange(line, clock, typed);
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(scanner.model.framesReceived().size(), frames);
    }

    void lateReplyIsDiscardedBeforeTheNextSend()
    {
        // The first reply comes after the 0.5 s wait; it must not be read as the second reply.
        peer.replies << ScriptedPeer::Reply{Link::NakFrame, 600} << ScriptedPeer::Reply{QByteArray(), 0}
                     << ScriptedPeer::Reply{QByteArray(), 0};
        const LoginResult r = runLoginExchange(*port, clock, QStringLiteral("abc"));
        QCOMPARE(int(r.kind), int(LoginResult::NoReply));
    }

    void acknowledgedLoginClosesTheDialog()
    {
        replies({Link::AckFrame});
        typeAndOk(QStringLiteral("Pass12"));
        QVERIFY(ui.boxes.isEmpty());
        QVERIFY(dialog->LoginSucceeded);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(session.LoggedIn, true);
        QCOMPARE(session.LoginPassword, QStringLiteral("Pass12  "));
    }

    void refusalsThenTheFourthMessage()
    {
        for (int press = 1; press <= 4; ++press) {
            replies({Link::NakFrame, Link::NakFrame, Link::NakFrame});
            typeAndOk(QStringLiteral("wrong"));
            QCOMPARE(dialog->FailedLogins, qint16(press));
            QCOMPARE(port->writes.size(), 3 * press);
            QCOMPARE(ui.boxes.last(), loginBox(press <= 3 ? kRefused : kRefusedLast));
            // The first three empty the box; the fourth keeps what was typed.
            QCOMPARE(box()->text(), press <= 3 ? QString() : QStringLiteral("wrong"));
        }
        QVERIFY(dialog->isVisible());
        QCOMPARE(session.LoginPassword, QString(8, QLatin1Char(' ')));
    }

    void communicationFailures_data()
    {
        QTest::addColumn<QList<QByteArray>>("replyList");
        QTest::addColumn<bool>("failOpen");
        QTest::addColumn<bool>("emptied");
        QTest::newRow("silence") << QList<QByteArray>{} << false << true;
        QTest::newRow("one byte") << QList<QByteArray>{"\x02", "\x02", "\x02"} << false << true;
        QTest::newRow("six bytes starting with ack") << QList<QByteArray>{kJunk6, kJunk6, kJunk6} << false << true;
        QTest::newRow("port cannot be opened") << QList<QByteArray>{} << true << false;
    }
    void communicationFailures()
    {
        QFETCH(QList<QByteArray>, replyList);
        QFETCH(bool, failOpen);
        QFETCH(bool, emptied);
        replies(replyList);
        port->failOpen = failOpen;
        typeAndOk(QStringLiteral("abc"));
        QCOMPARE(ui.boxes, QList<ScriptedUi::Box>{loginBox(frmPword::communicationMessage())});
        // A port that cannot be opened says why beside the message; silence names the port tried and what to check.
        const QString detail = ui.boxOptions[0].detail;
        if (failOpen)
            QCOMPARE(detail, port->openError);
        else
            for (const char *told : {"COM 1 (/dev/ttyS0)", "cable", "switched on", "\"Ports...\""})
                QVERIFY2(detail.contains(QLatin1String(told)), qPrintable(detail));
        QCOMPARE(box()->text(), emptied ? QString() : QStringLiteral("abc"));
        QCOMPARE(port->writes.isEmpty(), failOpen);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->FailedLogins, qint16(0));
        QCOMPARE(session.LoggedIn, false);
    }

    void keyFilter()
    {
        QTest::keyClicks(box(), QStringLiteral("ab-1 Z"));
        QCOMPARE(box()->text(), QStringLiteral("ab1Z"));
        QCOMPARE(ui.beeps, 2);
        QTest::keyClicks(box(), QStringLiteral("cdefgh"));
        QCOMPARE(box()->text(), QStringLiteral("ab1Zcdef")); // full at eight
        QCOMPARE(ui.beeps, 4);
        // A click into the full box does not make room for a ninth character...
        QTest::mouseClick(box(), Qt::LeftButton);
        QTest::keyClick(box(), 'x');
        QCOMPARE(box()->text().size(), 8);
        // ...but typing over a selection still works, and Backspace always does.
        box()->setSelection(0, 2);
        QTest::keyClick(box(), 'Q');
        QCOMPARE(box()->text(), QStringLiteral("Q1Zcdef"));
        QTest::keyClick(box(), Qt::Key_Backspace);
        QCOMPARE(box()->text(), QStringLiteral("1Zcdef"));
        // X11's Delete carries the text 0x7F: it edits.
        box()->setCursorPosition(0);
        QTest::sendKeyEvent(QTest::Click, box(), Qt::Key_Delete, QString(QChar(0x7F)), Qt::NoModifier);
        QCOMPARE(box()->text(), QStringLiteral("Zcdef"));
        QCOMPARE(ui.beeps, 5);
    }

    // Whatever enters the box takes the key rule, character by character.
    void pastedDroppedAndComposedText()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("a-b \u00e9"));
        QTest::keyClick(box(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box()->text(), QStringLiteral("ab"));
        QCOMPARE(ui.beeps, 1);
        QTest::keyClick(box(), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(box()->text(), QStringLiteral("abab"));
        QMimeData dragged;
        dragged.setText(QStringLiteral("c d"));
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box(), &enter);
        QCoreApplication::sendEvent(box(), &drop);
        QCOMPARE(box()->text(), QStringLiteral("cdabab")); // where it was dropped
        QInputMethodEvent composed;
        composed.setCommitString(QStringLiteral("\u00fc9xyz"));
        QCoreApplication::sendEvent(box(), &composed);
        QCOMPARE(box()->text(), QStringLiteral("cd9xabab")); // eight at most
        QCOMPARE(ui.beeps, 4);
    }

    void enterAndEscape()
    {
        replies({Link::AckFrame});
        QTest::keyClicks(box(), QStringLiteral("abc"));
        QTest::keyClick(box(), Qt::Key_Return);
        QVERIFY(dialog->LoginSucceeded);

        // Enter on a focused Cancel cancels.
        reopen();
        QTest::keyClicks(box(), QStringLiteral("abc"));
        QTest::keyClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::Key_Return);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(port->writes.isEmpty());

        reopen();
        QTest::keyClick(box(), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(session.LoggedIn, false);
        QVERIFY(port->writes.isEmpty());
    }

    void portChoice()
    {
        session.CommPortNumber = 5;
        reopen();
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("Combo1"));
        QCOMPARE(combo->count(), 12);
        QCOMPARE(combo->currentText(), QStringLiteral("5"));
        QCOMPARE(session.LoggedIn, false);
        QCOMPARE(session.Rs232Interface, true);
        // Until a choice is made the port is 1.
        replies({Link::AckFrame});
        typeAndOk(QStringLiteral("a"));
        QCOMPARE(port->portNumbersOpened, QList<int>{1});

        reopen();
        combo = dialog->findChild<QComboBox *>(QStringLiteral("Combo1"));
        combo->setCurrentIndex(6);
        Q_EMIT combo->activated(6);
        QCOMPARE(session.CommPortNumber, qint16(7));
        replies({Link::AckFrame});
        typeAndOk(QStringLiteral("a"));
        QCOMPARE(port->portNumbersOpened, QList<int>{7});
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
