#include "core/Platform.h"
#include "core/Session.h"
#include "collect/Data.h"
#include "collect/DownloadArchive.h"
#include "collect/EraseExchange.h"
#include "collect/RecordAssembler.h"
#include "collect/frmDownLoad.h"
#include "collect/frmEnaDisRTC.h"
#include "link/frmChangePwd.h"
#include "link/Frames.h"
#include "platform/QtSettingsStore.h"
#include "support/FakeSerialPort.h"
#include "support/ModelPeer.h"
#include "support/ScriptedUi.h"
#include "support/VirtualClock.h"

#include <QCheckBox>
#include <QLabel>
#include <QSet>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using Box = ScriptedUi::Box;

namespace {
const QString kCommFailed = QStringLiteral("Communications failed to establish.   \r\nCheck physical connections and  \r\n"
                                           "make sure reader is powered up.");
const QString kInvalid = QStringLiteral("Invalid password.  Try again. ");

template <typename W>
W *child(QWidget &w, const char *name)
{
    W *found = w.findChild<W *>(QLatin1String(name));
    if (!found)
        qWarning("no %s", name);
    return found;
}
void click(QWidget &w, const char *name)
{
    QTest::mouseClick(child<QAbstractButton>(w, name), Qt::LeftButton);
}
void showActive(QDialog &d)
{
    d.show();
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
}
// Types as a user does, Tab from box to box, so that the focus rules run.
void typePasswords(QDialog &d, const QString &current, const QString &fresh, const QString &confirm)
{
    showActive(d);
    auto *currentBox = child<QLineEdit>(d, "txtCurrentPwd");
    currentBox->setFocus();
    QTest::keyClicks(currentBox, current);
    QTest::keyClick(currentBox, Qt::Key_Tab);
    QTest::keyClicks(child<QLineEdit>(d, "txtNewPwd"), fresh);
    QTest::keyClick(child<QLineEdit>(d, "txtNewPwd"), Qt::Key_Tab);
    QTest::keyClicks(child<QLineEdit>(d, "txtConfirmNewPwd"), confirm);
}
} // namespace

class TestFrmDownLoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<QtSettingsStore> m_store;
    ScriptedUi m_ui;
    VirtualClock m_clock;
    std::unique_ptr<SerialPeer> m_peer;
    std::unique_ptr<Platform> m_platform;
    Session m_session;
    std::unique_ptr<frmDownLoad> m_window;
    QList<FakeSerialPort *> m_ports;

    ScannerModel &model() { return static_cast<ModelPeer &>(*m_peer).model; }
    int opens() const
    {
        int n = 0;
        for (FakeSerialPort *p : m_ports)
            n += p->opens;
        return n;
    }
    // A new scanner on the line; the window (and its ports) are made anew for it.
    void usePeer(std::unique_ptr<SerialPeer> peer)
    {
        m_window.reset();
        m_ports.clear();
        m_peer = std::move(peer);
        if (m_platform)
            open();
    }
    void useModel(ScannerModel::Config config = {})
    {
        if (!config.clock.isValid() || config.clock == ScannerModel::Config().clock)
            config.clock = m_clock.now();
        usePeer(std::make_unique<ModelPeer>(std::move(config)));
    }
    void useScript(const QList<ScriptedPeer::Reply> &replies)
    {
        auto peer = std::make_unique<ScriptedPeer>();
        peer->replies = replies;
        usePeer(std::move(peer));
    }
    void open()
    {
        m_window = std::make_unique<frmDownLoad>(m_session, *m_platform);
        QVERIFY(m_window->load());
        m_window->show();
        m_window->activate();
    }
    void choose(const char *option) { child<QRadioButton>(*m_window, option)->setChecked(true); }
    void ok() { m_window->cmdOK_Click(); }
    bool okEnabled() { return child<QPushButton>(*m_window, "cmdOK")->isEnabled(); }

private Q_SLOTS:
    // Downloads are archived: never into the real home.
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit()); }
    void init()
    {
        m_store = std::make_unique<QtSettingsStore>(m_dir.filePath(QStringLiteral("s.ini")));
        m_ui.clear();
        m_platform.reset();
        useModel();
        m_platform.reset(new Platform{m_ui, *m_store, m_clock,
                                      [this]() {
                                          auto port = std::make_unique<FakeSerialPort>(*m_peer, m_clock);
                                          m_ports << port.get();
                                          return port;
                                      },
                                      QString()});
        m_session = Session();
        m_session.LoggedIn = true;
        m_session.LoginPassword = QStringLiteral("1234    ");
        m_session.CommPortNumber = 2;
        open();
    }
    void cleanup()
    {
        m_window.reset();
        QVERIFY2(m_ui.unscripted().isEmpty(), qPrintable(m_ui.unscripted().join(QLatin1String("; "))));
        QVERIFY2(m_ui.scriptUsedUp(), "part of the script was not used");
    }

    void downloadShowsTheViewer()
    {
        ScannerModel::Config config;
        config.records = ScannerModel::generateRecords(40, m_clock.now().addDays(-1), 3);
        useModel(config);
        m_session.MidFlag = true;
        m_session.RtcFlag = true;
        auto *lbd = child<QLabel>(*m_window, "LBD");
        auto *bar = child<QProgressBar>(*m_window, "ProgressBarM");
        QStringList states;
        QList<int> adjusting; // the bar while the records are assembled
        m_clock.onTick = [&](qint64) {
            if (lbd->isHidden())
                return;
            const QString state = lbd->text() + QLatin1Char(' ') + lbd->palette().color(QPalette::WindowText).name();
            if (states.isEmpty() || states.last() != state)
                states << state;
            if (lbd->text() == QLatin1String("Adjusting Data..."))
                adjusting << bar->value();
        };
        QByteArray shown;
        bool okDuringViewer = true;
        m_ui.onModal([&](QDialog &d) {
            shown = static_cast<Data &>(d).text();
            okDuringViewer = okEnabled();
            return 0;
        });
        ok();
        m_clock.onTick = nullptr;
        QCOMPARE(states, (QStringList{QStringLiteral("Downloading Data... #ff0000"),
                                      QStringLiteral("Adjusting Data... #008000")}));
        QList<int> steps; // 1 after the first timestamp, then one per record
        for (int v = 1; v <= 41; ++v)
            steps << v;
        QCOMPARE(adjusting, steps);
        QVERIFY(!okDuringViewer);
        QCOMPARE(m_ui.modalWindows, QStringList{QStringLiteral("Data")});
        QVERIFY(shown.startsWith("Machine ID: ZEV00001\r\n\r\n40 record(s) received\r\n \r\n"));
        QCOMPARE(shown.count("\r\n\r\n"), 41);
        QCOMPARE(m_window->viewer()->RichTextBox1->toPlainText().count(QLatin1Char('\n')), shown.count('\n'));
        QVERIFY(okEnabled());
        QCOMPARE(m_session.BusyCount, qint16(0));
        QCOMPARE(child<QProgressBar>(*m_window, "ProgressBarM")->value(), 0);
        QVERIFY(child<QWidget>(*m_window, "LBD")->isHidden());
        QList<QByteArray> frames = model().framesReceived();
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames[1], Link::commandFrame(m_session.LoginPassword, 'D'));
    }

    // While records arrive the bar counts them against the header's count; every
    // download is archived before the viewer shows, and a failed archive is told.
    void progressAndArchive()
    {
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("archive")).toLocal8Bit());
        ScannerModel::Config config;
        config.records = ScannerModel::generateRecords(60, m_clock.now().addDays(-1), 5);
        useModel(config);
        auto *bar = child<QProgressBar>(*m_window, "ProgressBarM");
        auto *label = child<QLabel>(*m_window, "lblRecords");
        QStringList counts;
        m_clock.onTick = [&](qint64) {
            if (label->isVisible() && !counts.contains(label->text())) {
                QCOMPARE(bar->maximum(), 60);
                counts << label->text();
                QVERIFY(label->text().startsWith(QString::number(bar->value()) + QStringLiteral(" of 60 records")));
            }
        };
        // The store takes the download before the viewer shows it; the dialog says what was new after.
        QStringList recorded;
        QByteArray recordedStream;
        m_platform->recordDownload = [&](const QByteArray &stream, const QString &archiveName, bool complete,
                                         const QString &port) {
            recordedStream = stream;
            recorded << archiveName << QVariant(complete).toString() << port;
            return QStringLiteral("60 new, 0 already collected");
        };
        auto *collected = child<QLabel>(*m_window, "lblCollected");
        QByteArray shown;
        bool recordedBeforeViewer = false;
        m_ui.onModal([&](QDialog &d) {
            shown = static_cast<Data &>(d).text();
            recordedBeforeViewer = !recorded.isEmpty() && collected->text().isEmpty();
            return 0;
        });
        ok();
        QVERIFY(recordedBeforeViewer);
        QCOMPARE(collected->text(), QStringLiteral("60 new, 0 already collected"));
        m_platform->recordDownload = nullptr;
        m_clock.onTick = nullptr;
        QVERIFY2(counts.size() >= 3 && counts.filter(QStringLiteral(" s left")).size() >= 2, qPrintable(counts.join(u'|')));
        QCOMPARE(counts.last(), QStringLiteral("60 of 60 records"));
        QVERIFY(label->isHidden());
        const QDir archive(DownloadArchive::folder());
        const QStringList files = archive.entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY2(files[0].startsWith(QStringLiteral("2026-12-08_1234")) && files[0].endsWith(QStringLiteral("_ZEV00001.raw")),
                 qPrintable(files[0]));
        QFile raw(archive.filePath(files[0]));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QCOMPARE(recorded, (QStringList{files[0], QStringLiteral("true"), QStringLiteral("COM2")}));
        QCOMPARE(recordedStream, raw.readAll());
        raw.seek(0);
        QCOMPARE(RecordAssembler::assemble(raw.readAll(), false, false, 2026).text, shown);

        // A data folder that cannot be made: the box, then the viewer all the same.
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        qputenv("XDG_DATA_HOME", blocker.fileName().toLocal8Bit());
        m_ui.clear();
        m_ui.onModal([](QDialog &) { return 0; });
        ok();
        QCOMPARE(m_ui.boxes, (QList<Box>{{QStringLiteral("This download could not be kept in the downloads folder. "
                                                         "Save it before you close the viewer."),
                                          Ui::Buttons::Ok, Ui::Icon::Exclamation, QStringLiteral("Download Data From ZEV")}}));
        QVERIFY(m_ui.boxOptions[0].detail.contains(QStringLiteral("blocker")));
        QCOMPARE(m_ui.modalWindows, QStringList{QStringLiteral("Data")});
        qputenv("XDG_DATA_HOME", dataHome);
    }

    void emptyDownloadStillShowsTheViewer()
    {
        m_session.MidFlag = true;
        QByteArray shown;
        bool okDuringViewer = false;
        m_ui.onModal([&](QDialog &d) {
            shown = static_cast<Data &>(d).text();
            okDuringViewer = okEnabled(); // no records: usable before the viewer shows
            return 0;
        });
        ok();
        QCOMPARE(shown, QByteArray("Machine ID: ZEV00001\r\n\r\n0 record(s) received\r\n \r\n"));
        QVERIFY(okDuringViewer);
    }

    void silenceGivesTheCommunicationMessage()
    {
        ScannerModel::Config config;
        config.fault = ScannerModel::Fault::Silent;
        useModel(config);
        ok();
        QCOMPARE(m_ui.boxes, (QList<Box>{{kCommFailed, Ui::Buttons::Ok, Ui::Icon::Information,
                                          QStringLiteral("Download Data From ZEV")}}));
        QVERIFY(okEnabled());
        QCOMPARE(m_session.BusyCount, qint16(0));
        QVERIFY(m_ui.modalWindows.isEmpty());
    }

    void downloadEndingEarlyIsSaid()
    {
        // Nothing after "D": the communication message, no empty viewer.
        useScript({{Link::AckFrame}});
        ok();
        QCOMPARE(m_ui.boxes, (QList<Box>{{kCommFailed, Ui::Buttons::Ok, Ui::Icon::Information,
                                          QStringLiteral("Download Data From ZEV")}}));
        QVERIFY(m_ui.modalWindows.isEmpty());
        QVERIFY(okEnabled());

        // Two of forty: the viewer shows what came, then the warning names both numbers.
        m_ui.clear();
        ScannerModel::Config config;
        config.records = ScannerModel::generateRecords(40, m_clock.now().addDays(-1), 3);
        config.fault = ScannerModel::Fault::ShortDownload;
        config.shortRecords = 2;
        useModel(config);
        QByteArray shown;
        qsizetype boxesWhileShown = -1;
        m_ui.onModal([&](QDialog &d) {
            shown = static_cast<Data &>(d).text();
            boxesWhileShown = m_ui.boxes.size();
            return 0;
        });
        ok();
        QCOMPARE(boxesWhileShown, 0);
        QVERIFY(shown.startsWith("40 record(s) received\r\n \r\n"));
        QCOMPARE(shown.count("\r\n\r\n"), 2);
        QCOMPARE(m_ui.boxes,
                 (QList<Box>{{QStringLiteral("Only 2 of 40 records were received. The scanner still holds its records: "
                                             "download again before erasing them."),
                              Ui::Buttons::Ok, Ui::Icon::Exclamation, QStringLiteral("Download Data From ZEV")}}));
        QVERIFY(okEnabled());
        QCOMPARE(m_session.BusyCount, qint16(0));

        // Stopped by the user: what came is shown and called incomplete.
        m_ui.clear();
        config.fault = ScannerModel::Fault::None;
        config.records = ScannerModel::generateRecords(200, m_clock.now().addDays(-1), 3);
        useModel(config);
        auto *stop = child<QPushButton>(*m_window, "cmdStop");
        QVERIFY(!stop->isEnabled());
        const qint64 start = m_clock.tickCount();
        m_clock.onTick = [&](qint64 now) {
            if (now - start == 1500)
                QTest::keyClick(child<QPushButton>(*m_window, "cmdStop"), Qt::Key_Escape);
        };
        m_ui.onModal([&](QDialog &d) {
            shown = static_cast<Data &>(d).text();
            return 0;
        });
        ok();
        m_clock.onTick = nullptr;
        QVERIFY(shown.startsWith("200 record(s) received\r\n \r\n"));
        QCOMPARE(m_ui.boxes.size(), 1);
        QVERIFY(m_ui.boxes[0].text.startsWith(QStringLiteral("Only %1 of 200 records were received.")
                                                  .arg(shown.count("\r\n\r\n"))));
        QCOMPARE(m_ui.boxes[0].icon, Ui::Icon::Exclamation);
        QVERIFY(!stop->isEnabled());
        QVERIFY(okEnabled());
    }

    void wrongPasswordStillSendsDAndEndsInTheFault()
    {
        m_session.LoginPassword = QStringLiteral("9999    ");
        m_session.RtcFlag = true; // changed since the window was activated
        ok();
        const QList<QByteArray> frames = model().framesReceived();
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames[1].at(9), 'D');
        // The scanner's refusal is too short for a header: the fault, no viewer.
        QCOMPARE(m_ui.boxes, (QList<Box>{{QStringLiteral("The download ended inside its header: 5 of 14 characters arrived."),
                                          Ui::Buttons::Ok, Ui::Icon::Information, QStringLiteral("ZEV")}}));
        QVERIFY(m_ui.modalWindows.isEmpty());
        QVERIFY(okEnabled());
        QVERIFY(child<QWidget>(*m_window, "LBD")->isHidden());
        QVERIFY(child<QCheckBox>(*m_window, "Check1")->isChecked());
        QCOMPARE(child<QProgressBar>(*m_window, "ProgressBarM")->value(), 0);
        QCOMPARE(m_session.BusyCount, qint16(0));
    }

    void busyIgnoresAClick()
    {
        m_session.BusyCount = 2;
        ok();
        QVERIFY(model().framesReceived().isEmpty());
        QVERIFY(m_ui.boxes.isEmpty());
        m_window->activate(); // activating again makes it usable
        QCOMPARE(m_session.BusyCount, qint16(0));
        choose("optEDMID");
        m_ui.onModal([](QDialog &) { return 0; });
        ok();
        QCOMPARE(m_ui.modalWindows, QStringList{QStringLiteral("frmEnaDisMID")});
    }

    // --- erase

    void eraseDeclinedSendsNothing()
    {
        choose("optEDiR");
        m_ui.answer(Ui::Answer::No);
        ok();
        QCOMPARE(m_ui.boxes, (QList<Box>{{QStringLiteral("All data in ZEV will be erased!!   \r\nAre you sure? "),
                                          Ui::Buttons::YesNo, Ui::Icon::Information, QStringLiteral("Erase Data In ZEV")}}));
        QVERIFY(m_ui.boxOptions.at(0).defaultNo); // Enter must not erase
        QCOMPARE(opens(), 0);
        QVERIFY(okEnabled());
        QCOMPARE(m_session.BusyCount, qint16(0));
    }

    void eraseOutcomes_data()
    {
        QTest::addColumn<int>("eraseDelay");
        QTest::addColumn<QString>("message");
        QTest::newRow("acknowledged") << 1000 << QStringLiteral(" No more data stored in reader. ");
        QTest::newRow("too late") << 5200 << kCommFailed;
    }
    void eraseOutcomes()
    {
        QFETCH(int, eraseDelay);
        QFETCH(QString, message);
        ScannerModel::Config config;
        config.records = ScannerModel::generateRecords(5, m_clock.now(), 1);
        config.eraseDelayMs = eraseDelay;
        useModel(config);
        choose("optEDiR");
        m_ui.answer(Ui::Answer::Yes);
        QSet<int> maxima; // while the polls wait
        m_clock.blockedMs = 0;
        m_clock.onTick = [&](qint64) {
            if (m_clock.blockedMs > 0)
                maxima << child<QProgressBar>(*m_window, "ProgressBarM")->maximum();
        };
        ok();
        m_clock.onTick = nullptr;
        QCOMPARE(maxima, QSet<int>{ErasePolls});
        QCOMPARE(m_ui.boxes.size(), 2);
        QCOMPARE(m_ui.boxes[1], (Box{message, Ui::Buttons::Ok, Ui::Icon::Information, QStringLiteral("Erase Data in ZEV")}));
        QVERIFY(model().records().isEmpty());
        QCOMPARE(opens(), 1);
        QVERIFY(okEnabled());
        QCOMPARE(m_session.BusyCount, qint16(0));
        QCOMPARE(child<QProgressBar>(*m_window, "ProgressBarM")->value(), 0);
    }

    void eraseWithTwoPositiveRepliesEndsSilently()
    {
        useScript({{Link::AckFrame, 20}, {Link::AckFrame + Link::AckFrame, 500}});
        choose("optEDiR");
        m_ui.answer(Ui::Answer::Yes);
        ok();
        QCOMPARE(m_ui.boxes.size(), 1); // the question only
        QVERIFY(okEnabled());
    }

    // --- the option dialogs

    void machineIdOptionNeverTouchesAPort()
    {
        choose("optEDMID");
        m_ui.onModal([](QDialog &d) {
            click(d, "optEnable");
            click(d, "cmdOK");
            return d.result();
        });
        ok();
        QCOMPARE(m_session.MidFlag, true);
        QVERIFY(child<QCheckBox>(*m_window, "Check2")->isChecked());
        QCOMPARE(opens(), 0);

        // OK without a change keeps the flag.
        m_ui.onModal([](QDialog &d) {
            click(d, "cmdOK");
            return d.result();
        });
        ok();
        QCOMPARE(m_session.MidFlag, true);
    }

    // Option buttons: clicking the selected one keeps it, the arrow keys move
    // the choice; Enter on a focused Cancel cancels.
    void clockOptionButtons()
    {
        frmEnaDisRTC d(m_session, *m_platform, {});
        showActive(d);
        auto *enable = child<QRadioButton>(d, "optEnable");
        auto *disable = child<QRadioButton>(d, "optDisable");
        auto *sync = child<QCheckBox>(d, "chkSyncUpHostTime");
        QVERIFY(disable->isChecked() && !sync->isEnabled());
        click(d, "optEnable");
        click(d, "optEnable");
        QVERIFY(enable->isChecked() && !disable->isChecked() && sync->isEnabled());
        enable->setFocus();
        QTest::keyClick(enable, Qt::Key_Down);
        QVERIFY(disable->isChecked() && !enable->isChecked() && !sync->isEnabled());
        QTest::keyClick(disable, Qt::Key_Up);
        QVERIFY(enable->isChecked() && sync->isEnabled());
        QTest::keyClick(child<QPushButton>(d, "cmdCancel"), Qt::Key_Return);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(m_session.RtcFlag, false);
        QVERIFY(m_ui.boxes.isEmpty());
    }

    void clockEnableWithoutSyncSendsNothing()
    {
        choose("optEDRTC");
        qint64 waited = 0;
        m_ui.onModal([&](QDialog &d) {
            const int before = int(model().framesReceived().size());
            click(d, "optEnable");
            const qint64 start = m_clock.tickCount();
            click(d, "cmdOK");
            waited = m_clock.tickCount() - start;
            if (model().framesReceived().size() != before)
                qWarning("the clock dialog sent a frame");
            return d.result();
        });
        ok();
        QCOMPARE(model().framesReceived().size(), 1); // the password check only
        QVERIFY(waited >= 400);
        QCOMPARE(m_session.RtcFlag, true);
        QCOMPARE(m_session.HostTimeSync, true);
        QVERIFY(child<QCheckBox>(*m_window, "Check1")->isChecked());
        QCOMPARE(m_ui.boxes.last(), (Box{QStringLiteral("Record to be timestamped  "), Ui::Buttons::Ok,
                                         Ui::Icon::Information, QStringLiteral(" Enable RTC Confirmation")}));
    }

    void clockDisableNeverSends()
    {
        m_session.RtcFlag = true;
        choose("optEDRTC");
        m_ui.onModal([](QDialog &d) {
            click(d, "optDisable");
            click(d, "cmdOK");
            return d.result();
        });
        ok();
        QCOMPARE(model().framesReceived().size(), 1);
        QCOMPARE(m_session.RtcFlag, false);
        QCOMPARE(m_ui.boxes.last(), (Box{QStringLiteral("Record not to be timestamped. "), Ui::Buttons::Ok,
                                         Ui::Icon::Information, QStringLiteral(" Enable RTC Confirmation")}));
    }

    void clockSyncSetsTheScannerClock()
    {
        ScannerModel::Config config;
        config.clock = QDateTime(QDate(2001, 1, 1), QTime(0, 0));
        useModel(config);
        choose("optEDRTC");
        m_ui.onModal([](QDialog &d) {
            click(d, "optEnable");
            child<QCheckBox>(d, "chkSyncUpHostTime")->setChecked(true);
            click(d, "cmdOK");
            return d.result();
        });
        ok();
        const QList<QByteArray> frames = model().framesReceived();
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames[1].at(9), 'T');
        QCOMPARE(frames[2].at(9), 'R');
        QCOMPARE(model().clockAt(m_clock.tickCount()).date(), m_clock.now().date());
        QCOMPARE(m_session.RtcFlag, true);
        QCOMPARE(m_ui.boxes.last().text, QStringLiteral("Record to be timestamped  "));

        // After a completed enable the dialog opens with the box ticked.
        bool ticked = false;
        m_ui.onModal([&](QDialog &d) {
            ticked = child<QCheckBox>(d, "chkSyncUpHostTime")->isChecked();
            click(d, "cmdCancel");
            return d.result();
        });
        ok();
        QVERIFY(ticked);
    }

    void checkWithoutAnswer_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::newRow("clock") << QStringLiteral("optEDRTC") << kCommFailed
                               << QStringLiteral("Enable/Disable Real Time Clock");
        QTest::newRow("change password")
            << QStringLiteral("optCP")
            << QStringLiteral(" Communications failed to establish. \r\nCheck physical connections and\r\n"
                              "make sure reader is powered up.")
            << QStringLiteral("Change Password");
    }
    void checkWithoutAnswer()
    {
        QFETCH(QString, option);
        QFETCH(QString, text);
        QFETCH(QString, title);
        ScannerModel::Config config;
        config.fault = ScannerModel::Fault::Silent;
        useModel(config);
        choose(qPrintable(option));
        ok();
        QCOMPARE(m_ui.boxes, (QList<Box>{{text, Ui::Buttons::Ok, Ui::Icon::Information, title}}));
        QVERIFY(m_ui.modalWindows.isEmpty());
        QVERIFY(okEnabled());
        QCOMPARE(m_session.BusyCount, qint16(0));
    }

    void clockSyncOutcomes_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies"); // to the password check, "T" and "R"
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("rtc");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::newRow("no answer") << QList<QByteArray>{Link::AckFrame} << true << false << kCommFailed
                                   << QStringLiteral("ZEV");
        QTest::newRow("read-back time-out") << QList<QByteArray>{Link::AckFrame, Link::AckFrame} << false << false
                                            << kCommFailed << QStringLiteral("ZEV");
        QTest::newRow("refused") << QList<QByteArray>{Link::AckFrame, Link::NakFrame} << true << true
                                 << QStringLiteral("Record to be timestamped  ")
                                 << QStringLiteral(" Enable RTC Confirmation");
    }
    void clockSyncOutcomes()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(bool, closes);
        QFETCH(bool, rtc);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QList<ScriptedPeer::Reply> script;
        for (const QByteArray &r : replies)
            script << ScriptedPeer::Reply{r, 20};
        useScript(script);
        choose("optEDRTC");
        bool closed = false;
        m_ui.onModal([&](QDialog &d) {
            click(d, "optEnable");
            child<QCheckBox>(d, "chkSyncUpHostTime")->setChecked(true);
            click(d, "cmdOK");
            closed = d.result() == QDialog::Accepted;
            return d.result();
        });
        ok();
        QCOMPARE(closed, closes);
        QCOMPARE(m_session.RtcFlag, rtc);
        QCOMPARE(m_ui.boxes.last(), (Box{text, Ui::Buttons::Ok, Ui::Icon::Information, title}));
        QCOMPARE(m_session.BusyCount, qint16(0));
    }

    // --- change password

    void changePassword_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("stored");
        QTest::newRow("changed") << QStringLiteral("1234") << QStringLiteral("Zz9") << QStringLiteral("Zz9")
                                 << QStringLiteral("Zz9     ");
        QTest::newRow("both empty") << QStringLiteral("1234") << QString() << QString() << QStringLiteral("        ");
        QTest::newRow("case differs") << QStringLiteral("1234") << QStringLiteral("abc") << QStringLiteral("ABC")
                                      << QStringLiteral("1234    ");
        QTest::newRow("wrong current") << QStringLiteral("4321") << QStringLiteral("abc") << QStringLiteral("abc")
                                       << QStringLiteral("1234    ");
    }
    void changePassword()
    {
        QFETCH(QString, current);
        QFETCH(QString, fresh);
        QFETCH(QString, confirm);
        QFETCH(QString, stored);
        choose("optCP");
        bool stillOpen = false;
        m_ui.onModal([&](QDialog &d) {
            typePasswords(d, current, fresh, confirm);
            // A double click: the second one arrives while the scanner's reply is awaited.
            bool again = true;
            m_clock.onTick = [&](qint64) {
                if (again && model().framesReceived().size() == 2) {
                    again = false;
                    click(d, "cmdOK");
                    static_cast<frmChangePwd &>(d).cmdOK_Click();
                }
            };
            click(d, "cmdOK");
            m_clock.onTick = nullptr;
            stillOpen = d.result() != QDialog::Accepted;
            return d.result();
        });
        ok();
        QCOMPARE(m_session.LoginPassword, stored);
        const bool changed = stored != QLatin1String("1234    ");
        QCOMPARE(!stillOpen, changed);
        if (changed) {
            QCOMPARE(model().password(), stored.toLatin1());
            QCOMPARE(model().framesReceived().size(), 2); // the check and one "C"
            QCOMPARE(m_ui.boxes.size(), 1);
            QCOMPARE(model().framesReceived().last(), Link::changePasswordFrame(QStringLiteral("1234"), fresh));
            QCOMPARE(m_ui.boxes.last(), (Box{QStringLiteral("Your password has been changed. "), Ui::Buttons::Ok,
                                             Ui::Icon::Information, QStringLiteral("Change  Password Confirmation")}));
        } else {
            QCOMPARE(model().framesReceived().size(), 1); // nothing beyond the password check
            QCOMPARE(m_ui.boxes.last(), (Box{kInvalid, Ui::Buttons::Ok, Ui::Icon::Information, QStringLiteral("ZEV")}));
        }
    }

    void changePasswordOtherReplyChangesNothing()
    {
        useScript({{Link::AckFrame, 20}, {'\x15' + Link::AckFrame, 30}});
        choose("optCP");
        m_ui.onModal([&](QDialog &d) {
            QTest::keyClicks(child<QLineEdit>(d, "txtCurrentPwd"), QStringLiteral("1234"));
            QTest::keyClicks(child<QLineEdit>(d, "txtNewPwd"), QStringLiteral("x1"));
            QTest::keyClicks(child<QLineEdit>(d, "txtConfirmNewPwd"), QStringLiteral("x1"));
            click(d, "cmdOK");
            if (d.result() == QDialog::Accepted)
                qWarning("closed on an unrecognised reply");
            return d.result();
        });
        ok();
        QCOMPARE(m_session.LoginPassword, QStringLiteral("1234    "));
        QVERIFY(m_ui.boxes.isEmpty());
    }

    void changePasswordKeyFilter()
    {
        choose("optCP");
        QString typed;
        int beeps = 0;
        m_ui.onModal([&](QDialog &d) {
            showActive(d);
            QLineEdit *box = child<QLineEdit>(d, "txtNewPwd");
            QTest::keyClicks(box, QStringLiteral("abcdefghi- "));
            typed = box->text();
            beeps = m_ui.beeps;
            QTest::keyClick(child<QPushButton>(d, "cmdCancel"), Qt::Key_Return);
            return d.result();
        });
        ok();
        QCOMPARE(typed, QStringLiteral("abcdefgh"));
        QCOMPARE(beeps, 3); // the ninth letter, "-" and the blank
        QVERIFY(m_ui.boxes.isEmpty()); // Enter on Cancel cancelled, OK did not run
        QCOMPARE(model().framesReceived().size(), 1);
    }

    void changePasswordPortFailure()
    {
        choose("optCP");
        m_ui.onModal([&](QDialog &d) {
            QTest::keyClicks(child<QLineEdit>(d, "txtCurrentPwd"), QStringLiteral("1234"));
            m_ports.last()->failOpen = true; // the dialog's own port
            click(d, "cmdOK");
            return d.result();
        });
        ok();
        QCOMPARE(m_ui.boxes.last(), (Box{QStringLiteral("Comm Port Error ! "), Ui::Buttons::Ok, Ui::Icon::Critical,
                                         QStringLiteral("ZEV")}));
        QCOMPARE(m_ui.boxOptions.last().detail, QStringLiteral("No such file or directory")); // the port's reason
        QCOMPARE(m_session.BusyCount, qint16(0));
    }
};

QTEST_MAIN(TestFrmDownLoad)
#include "tst_frmdownload.moc"
