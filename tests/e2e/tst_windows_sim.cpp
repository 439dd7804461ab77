// The real windows on the real serial port, over a pseudo-terminal, against zev-scanner-sim.
#include "core/Platform.h"
#include "core/Session.h"
#include "collect/Data.h"
#include "collect/frmDownLoad.h"
#include "app/MDIfrmMain.h"
#include "app/Startup.h"
#include "link/frmPword.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "support/ScriptedUi.h"
#include "support/SimProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
const char kCloseDuringDownload[] = "--close-during-download";

// Run as a child process: the program's main window on the real port and
// clock, a download started, the main window closed 1.5 s into it with Yes to
// the question. Prints "closing" just before the close; exits 0 when the
// only box was that question.
int closeDuringDownload(int argc, char **argv, const QString &device)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QtSettingsStore store(dir.filePath(QStringLiteral("s.ini")));
    PortNames names;
    names.setOverride(1, device);
    ScriptedUi ui;
    ui.answer(Ui::Answer::Yes);
    QtClock clock;
    Platform platform{ui, store, clock, [&names]() { return std::make_unique<QtSerialPort>(names); }, QString()};
    Session session;
    session.LoggedIn = true;
    session.LoginPassword = QStringLiteral("1234    ");
    MDIfrmMain main(session, platform);
    Program::registerWindows(main, session, platform);
    main.show();
    QObject::connect(&main, &MDIfrmMain::ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QTimer::singleShot(0, &main, [&]() {
        main.VerticalMenu1_MenuItemClick(4, 1);
        static_cast<frmDownLoad *>(main.child(QStringLiteral("frmDownLoad")))->cmdOK_Click();
    });
    QTimer::singleShot(1500, &main, [&]() {
        std::fputs("closing\n", stdout);
        std::fflush(stdout);
        main.close();
    });
    app.exec();
    // 0 only when the close found the download running, asked, and nothing else was said.
    return ui.boxes.size() == 1 && ui.boxes[0].buttons == Ui::Buttons::YesNo ? 0 : 3;
}
} // namespace

class TestWindowsSim : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedUi m_ui;
    QtClock m_clock;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit()); }
    void init() { m_ui.clear(); }

    void loginDialogLogsIn()
    {
        SimProcess sim({QStringLiteral("--password"), QStringLiteral("Ab12"), QStringLiteral("--quiet")});
        if (!sim.started())
            QSKIP(qPrintable(sim.error()));
        PortNames names;
        names.setOverride(1, sim.device());
        QtSerialPort port(names);
        Session session;
        frmPword dialog(session, m_ui, port, m_clock);
        dialog.show();
        auto *box = dialog.findChild<QLineEdit *>(QStringLiteral("txtUserName"));
        QTest::keyClicks(box, QStringLiteral("Ab13"));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QCOMPARE(m_ui.boxes.size(), 1);
        QCOMPARE(m_ui.boxes[0].text, QStringLiteral("ZEV Scanner faild to authenticate your password and is exiting ...."));
        QTest::keyClicks(box, QStringLiteral("Ab12"));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QVERIFY(dialog.LoginSucceeded);
        QCOMPARE(session.LoggedIn, true);
        QCOMPARE(session.LoginPassword, QStringLiteral("Ab12    "));
    }

    // A path typed into Serial Ports is stored under Ports/COMn, shown by the
    // login dialog and used by its next login.
    void portChooserMapsTheLoginPort()
    {
        SimProcess sim({QStringLiteral("--quiet")});
        if (!sim.started())
            QSKIP(qPrintable(sim.error()));
        QtSettingsStore store(m_dir.filePath(QStringLiteral("ports.ini")));
        PortNames names(&store);
        QtSerialPort port(names);
        Session session;
        frmPword dialog(session, m_ui, port, m_clock, nullptr, &names);
        dialog.show();
        auto *device = dialog.findChild<QLabel *>(QStringLiteral("lblDevice"));
        QCOMPARE(device->text(), PortNames::platformName(1));
        m_ui.onModal([&](QDialog &d) {
            d.findChild<QComboBox *>(QStringLiteral("cboCom"))->setCurrentIndex(4);
            QTest::keyClicks(d.findChild<QLineEdit *>(QStringLiteral("txtDevice")), sim.device());
            QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            return d.result();
        });
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdPorts")), Qt::LeftButton);
        QCOMPARE(m_ui.modalWindows, QStringList{QStringLiteral("SerialPortsDialog")});
        QCOMPARE(store.getSetting(QStringLiteral("ZEV1100"), QStringLiteral("Ports"), QStringLiteral("COM5"), QString()),
                 sim.device());
        QCOMPARE(device->text(), PortNames::platformName(1)); // COM 1 is still chosen

        auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("Combo1"));
        combo->setCurrentIndex(4);
        Q_EMIT combo->activated(4);
        QCOMPARE(device->text(), sim.device());
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtUserName")), QStringLiteral("1234"));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QVERIFY2(m_ui.boxes.isEmpty(), m_ui.boxes.isEmpty() ? "" : qPrintable(m_ui.boxes[0].text));
        QVERIFY(dialog.LoginSucceeded);
        QCOMPARE(session.CommPortNumber, qint16(5));
    }

    void downloadDialogShowsEveryRecordAndPrintsTwoCopies()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("2000"), QStringLiteral("--seed"), QStringLiteral("11"),
                        QStringLiteral("--quiet")});
        if (!sim.started())
            QSKIP(qPrintable(sim.error()));
        QtSettingsStore store(m_dir.filePath(QStringLiteral("s.ini")));
        PortNames names;
        names.setOverride(1, sim.device());
        Platform platform{m_ui, store, m_clock, [&names]() { return std::make_unique<QtSerialPort>(names); }, QString()};
        Session session;
        session.LoggedIn = true;
        session.LoginPassword = QStringLiteral("1234    ");
        session.RtcFlag = true;
        frmDownLoad window(session, platform);
        QVERIFY(window.load());
        window.show();
        window.activate();

        const QString pdf = m_dir.filePath(QStringLiteral("download.pdf"));
        QByteArray shown;
        m_ui.print({true, pdf, 2, false});
        m_ui.onModal([&](QDialog &d) {
            auto &viewer = static_cast<Data &>(d);
            shown = viewer.text();
            viewer.mmuPrint_Click();
            return 0;
        });
        window.cmdOK_Click();
        QVERIFY2(m_ui.boxes.isEmpty(), m_ui.boxes.isEmpty() ? "" : qPrintable(m_ui.boxes[0].text));
        QVERIFY(shown.startsWith("2000 record(s) received\r\n \r\n"));
        static const QRegularExpression stamp(QStringLiteral("\r\n\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"));
        QCOMPARE(QString::fromLatin1(shown).count(stamp), 2000);

        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(text.count(QStringLiteral("2000 record(s) received")), 2);
    }


    void closingTheMainWindowDuringADownloadEndsTheProgram()
    {
        // About 30 s of records at the line rate.
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("2000"), QStringLiteral("--quiet")});
        if (!sim.started())
            QSKIP(qPrintable(sim.error()));
        QProcess program;
        program.start(QCoreApplication::applicationFilePath(), {QLatin1String(kCloseDuringDownload), sim.device()});
        QVERIFY(program.waitForStarted());
        QElapsedTimer sinceClose;
        while (program.state() == QProcess::Running && !program.canReadLine())
            program.waitForReadyRead(100);
        QCOMPARE(program.readLine(), QByteArray("closing\n"));
        sinceClose.start();
        const bool ended = program.waitForFinished(2000);
        const qint64 took = sinceClose.elapsed();
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        QVERIFY2(ended, qPrintable(QStringLiteral("still running %1 ms after the close").arg(took)));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], kCloseDuringDownload) == 0) {
        int childArgc = 1;
        return closeDuringDownload(childArgc, argv, QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TestWindowsSim test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_windows_sim.moc"
