#include "core/ChildWindow.h"
#include "app/MDIfrmMain.h"
#include "core/Exchange.h"
#include "core/Platform.h"
#include "core/Session.h"
#include "app/Startup.h"
#include "app/frmMenu.h"
#include "image/ImageText.h"
#include "link/Frames.h"
#include "platform/QtSettingsStore.h"
#include "platform/Twips.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedUi.h"
#include "support/WindowTest.h"
#include "support/TestFiles.h"
#include "support/VirtualClock.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QToolBox>
#include <QWindow>

using Box = ScriptedUi::Box;

namespace {
Box box(const QString &text, Ui::Buttons b, Ui::Icon i, const QString &title = QStringLiteral("ZEV"))
{
    return Box{text, b, i, title};
}
const Box kAskSave = box(QStringLiteral("Do you want to save your setting ? (Y/N) "), Ui::Buttons::YesNoCancel,
                         Ui::Icon::Information);
const Box kSavedOk = box(QStringLiteral("O.K."), Ui::Buttons::Ok, Ui::Icon::None, QStringLiteral("Save"));
const Box kNotSavedCritical = box(QStringLiteral("Data not saved ! "), Ui::Buttons::Ok, Ui::Icon::Critical,
                                  QStringLiteral("Save"));
const Box kNotSavedInfo = box(QStringLiteral("Data not saved ! "), Ui::Buttons::Ok, Ui::Icon::Information);
const Box kCantChange = box(QStringLiteral("Can't change to default value."), Ui::Buttons::Ok, Ui::Icon::Critical);
} // namespace

class TestMainWindow : public WindowTest
{
    Q_OBJECT

    std::unique_ptr<MDIfrmMain> m_main;

    QString factoryDir() const { return m_dir.filePath(QStringLiteral("factory")); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString stored(const QString &key)
    {
        return m_store->getSetting(QStringLiteral("ZEV1100"), QStringLiteral("Data"), key, QStringLiteral("<none>"));
    }
    void click(int group, int item) { m_main->VerticalMenu1_MenuItemClick(group, item); }
    void makeMain()
    {
        m_main = std::make_unique<MDIfrmMain>(m_session, *m_platform);
        Program::registerWindows(*m_main, m_session, *m_platform);
        m_main->show();
    }
    void imageOf(quint8 seed)
    {
        for (int i = 0; i < 128; ++i)
            m_session.ParamImage[i] = quint8(seed ^ i);
    }
    bool imageIsFactory()
    {
        const QByteArray text = TestFiles::read(factoryDir() + QStringLiteral("/Default.mag"));
        const auto image = ImageText::decode(text);
        return std::equal(image.begin(), image.end(), m_session.ParamImage.begin());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QDir().mkpath(factoryDir());
        QFile::copy(TestFiles::sourceDir() + QStringLiteral("/Default.mag"), factoryDir() + QStringLiteral("/Default.mag"));
    }

    void init()
    {
        resetRig(factoryDir());
        m_session.LoggedIn = true;
        makeMain();
    }
    void cleanup()
    {
        m_main.reset();
        verifyScript();
    }

    void windowAndPane()
    {
        QCOMPARE(m_main->windowTitle(), QStringLiteral("ZEV Setting Utility Ver. 1.10"));
        QVERIFY(!(m_main->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(m_main->minimumSize(), m_main->maximumSize());
        const QSize fixed = m_main->size();
        m_main->resize(fixed + QSize(200, 100));
        QCOMPARE(m_main->size(), fixed);
        m_main->showMaximized();
        QVERIFY(!(m_main->windowState() & Qt::WindowMaximized));

        auto *pane = m_main->findChild<frmMenu *>(QStringLiteral("frmMenu"));
        QVERIFY(pane);
        QToolBox *menu = pane->VerticalMenu1();
        QCOMPARE(menu->count(), 4);
        const QStringList groups{QStringLiteral("File"), QStringLiteral("Setting"), QStringLiteral("Transmit"),
                                 QStringLiteral("Download")};
        const QList<QStringList> items{
            {QStringLiteral("Default"), QStringLiteral("Open"), QStringLiteral("Save"), QStringLiteral("Exit")},
            {QStringLiteral("Barcode"), QStringLiteral("General Parameter"), QStringLiteral("Preamble & Postamble"),
             QStringLiteral("Terminator")},
            {QStringLiteral("Transmit")},
            {QStringLiteral("Download Data"), QStringLiteral("Collected Records")}};
        for (int g = 0; g < 4; ++g) {
            QCOMPARE(menu->itemText(g), groups[g]);
            QListWidget *list = pane->group(g + 1);
            QCOMPARE(list->iconSize(), QSize(32, 32));
            QStringList captions;
            for (int i = 0; i < list->count(); ++i) {
                captions << list->item(i)->text();
                QVERIFY(!list->item(i)->icon().isNull());
            }
            QCOMPARE(captions, items[g]);
        }
        // The pane is 2145 twips wide at the left; the background fills the rest.
        auto *paneFrame = m_main->findChild<QMdiSubWindow *>(QStringLiteral("frmMenuFrame"));
        QCOMPARE(paneFrame->geometry().left(), 0);
        QCOMPARE(paneFrame->width(), twips(2145));
        auto *baseFrame = m_main->findChild<QMdiSubWindow *>(QStringLiteral("frmBaseFrame"));
        QCOMPARE(baseFrame->geometry(), m_main->childArea());
        QCOMPARE(m_main->childArea().left(), twips(2145));
        QVERIFY(m_main->childArea().width() > 0);
    }

    void menuItemsOpenTheirWindowsInPlace()
    {
        // A click on an item delivers 1-based group and item, and is remembered.
        auto *pane = m_main->findChild<frmMenu *>(QStringLiteral("frmMenu"));
        QSignalSpy spy(pane, &frmMenu::MenuItemClick);
        QListWidget *setting = pane->group(2);
        Q_EMIT setting->itemClicked(setting->item(2));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toInt(), 2);
        QCOMPARE(spy[0][1].toInt(), 3);
        QCOMPARE(m_session.LastMenuItem, qint16(3));

        const QList<QPair<QPair<int, int>, QString>> table{{{2, 1}, QStringLiteral("frmBarcode")},
                                                           {{2, 2}, QStringLiteral("frmParameter")},
                                                           {{2, 3}, QStringLiteral("frmAmble")},
                                                           {{2, 4}, QStringLiteral("frmTerminator")},
                                                           {{3, 1}, QStringLiteral("frmTransmit")},
                                                           {{4, 1}, QStringLiteral("frmDownLoad")}};
        for (const auto &row : table) {
            click(row.first.first, row.first.second);
            ChildWindow *w = m_main->child(row.second);
            QVERIFY2(w, qPrintable(row.second));
            QCOMPARE(w->parentWidget()->geometry(), m_main->childArea());
        }
        // Showing an open window again brings the same one forward.
        ChildWindow *transmit = m_main->child(QStringLiteral("frmTransmit"));
        click(3, 1);
        QCOMPARE(m_main->child(QStringLiteral("frmTransmit")), transmit);
    }

    // Keys sent to the main window alone reach every menu item and open it.
    void everyMenuItemByKeyboardAlone()
    {
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
        QWindow *window = m_main->windowHandle();
        auto key = [window](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(window, k, m); };
        auto pane = [this]() {
            QWidget *f = QApplication::focusWidget();
            return f && m_main->findChild<frmMenu *>(QStringLiteral("frmMenu"))->isAncestorOf(f);
        };
        // Tab goes round the window and comes to the pane.
        bool reached = false;
        for (int i = 0; i < 40 && !reached; ++i) {
            key(Qt::Key_Tab);
            reached = pane();
        }
        QVERIFY(reached);
        const QStringList windows{QString(), QString(), QString(), QString(),
                                  QStringLiteral("frmBarcode"), QStringLiteral("frmParameter"), QStringLiteral("frmAmble"),
                                  QStringLiteral("frmTerminator"), QStringLiteral("frmTransmit"), QStringLiteral("frmDownLoad")};
        // "Collected Records", the last, opens the store's window over the main window.
        auto recordsOpenedOver = std::make_shared<QList<QWidget *>>();
        m_platform->showCollectedRecords = [recordsOpenedOver](QWidget *parent) { recordsOpenedOver->append(parent); };
        // Exit, the fourth, goes last: it ends the program.
        for (const int k : {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 3}) {
            m_ui.clear();
            key(Qt::Key_F6);
            QVERIFY2(pane(), qPrintable(QString::number(k)));
            for (int i = 0; i < 12; ++i)
                key(Qt::Key_Up); // the first item of the first group
            for (int i = 0; i < k; ++i)
                key(Qt::Key_Down); // and on into the next groups
            if (k == 1 || k == 2)
                m_ui.cancelFileDialog();
            key(k % 2 ? Qt::Key_Space : Qt::Key_Return);
            if (k == 0)
                QCOMPARE(m_ui.boxes, QList<Box>{box(QStringLiteral("All Data has been changed to default value ! "),
                                                    Ui::Buttons::Ok, Ui::Icon::None, QStringLiteral("New"))});
            else if (k == 1)
                QCOMPARE(m_ui.boxes, QList<Box>{box(QStringLiteral("File not opened ! "), Ui::Buttons::Ok,
                                                    Ui::Icon::Critical, QStringLiteral("Open"))});
            else if (k == 2)
                QCOMPARE(m_ui.boxes, QList<Box>{kNotSavedCritical});
            else if (k == 3)
                QVERIFY(m_main->programEnded());
            else if (k == 10)
                QCOMPARE(*recordsOpenedOver, QList<QWidget *>{m_main.get()});
            else
                QVERIFY2(m_main->child(windows[k]) && m_main->child(windows[k])->isVisible(), qPrintable(windows[k]));
        }
    }

    void openAndSaveKeys()
    {
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
        m_ui.cancelFileDialog();
        QTest::keyClick(m_main->windowHandle(), Qt::Key_O, Qt::ControlModifier);
        m_ui.cancelFileDialog();
        QTest::keyClick(m_main->windowHandle(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_ui.boxes, (QList<Box>{box(QStringLiteral("File not opened ! "), Ui::Buttons::Ok, Ui::Icon::Critical,
                                             QStringLiteral("Open")),
                                         kNotSavedCritical}));
    }

    void aMessageBoxTakingTheActivationDoesNotReloadAChild()
    {
        m_session.ParamImage[2] |= 0x01;  // Code 39 on
        m_session.ParamImage[5] &= ~0x08; // its check character not transmitted
        click(2, 1);
        ChildWindow *barcode = m_main->child(QStringLiteral("frmBarcode"));
        auto *transmitCheck = barcode->findChild<QCheckBox *>(QStringLiteral("Check1(3)"));
        QVERIFY(!transmitCheck->isChecked());
        m_ui.answer(Ui::Answer::Yes);
        QTest::mouseClick(barcode->findChild<QPushButton *>(QStringLiteral("Command2(0)")), Qt::LeftButton);
        QVERIFY(transmitCheck->isChecked());
        // The area lets go of its active child while the box is up and takes it back after.
        QEvent away(QEvent::ApplicationDeactivate);
        QCoreApplication::sendEvent(qApp, &away);
        QEvent back(QEvent::ApplicationActivate);
        QCoreApplication::sendEvent(qApp, &back);
        QCOMPARE(m_main->findChild<QMdiArea *>()->activeSubWindow(), barcode->parentWidget());
        QVERIFY(transmitCheck->isChecked());
        // Going to another child and back does show the image again.
        click(2, 2);
        click(2, 1);
        QVERIFY(!transmitCheck->isChecked());
    }

    void transmitClosesItselfWhenNotLoggedIn()
    {
        m_session.LoggedIn = false;
        click(3, 1);
        QVERIFY(!m_main->child(QStringLiteral("frmTransmit")));
    }

    void flagsRestoredWhenTheWindowLoads()
    {
        m_store->saveSetting(QStringLiteral("ZEV1100"), QStringLiteral("Data"), QStringLiteral("RTC"), QStringLiteral("True"));
        m_store->saveSetting(QStringLiteral("ZEV1100"), QStringLiteral("Data"), QStringLiteral("MID"), QStringLiteral("true"));
        m_main.reset();
        makeMain();
        QCOMPARE(m_session.RtcFlag, true);
        QCOMPARE(m_session.MidFlag, false);
    }

    // --- Default

    void defaultWithoutChangesReloadsWithoutAQuestion()
    {
        imageOf(0x5A);
        m_main->Dtable()->show();
        click(1, 1);
        QCOMPARE(m_ui.boxes, QList<Box>{box(QStringLiteral("All Data has been changed to default value ! "),
                                            Ui::Buttons::Ok, Ui::Icon::None, QStringLiteral("New"))});
        QVERIFY(imageIsFactory());
        QCOMPARE(m_session.SettingsChanged, false);
        QVERIFY(m_main->Dtable()->isHidden());
        QVERIFY(!m_main->programEnded());
    }

    void defaultWithChangesAsksFirst()
    {
        const Box question = box(QStringLiteral("Current Data will be changed to factory default value. Are you sure ? "),
                                 Ui::Buttons::YesNo, Ui::Icon::Information, QStringLiteral("New"));
        imageOf(0x5A);
        const auto before = m_session.ParamImage;
        m_session.SettingsChanged = true;
        m_ui.answer(Ui::Answer::No);
        click(1, 1);
        QCOMPARE(m_ui.boxes, QList<Box>{question});
        QCOMPARE(m_session.ParamImage, before);

        m_ui.clear();
        m_ui.answer(Ui::Answer::Yes);
        click(1, 1);
        QCOMPARE(m_ui.boxes, (QList<Box>{question, box(QStringLiteral("All Data has been changed to factory default value ! "),
                                                       Ui::Buttons::Ok, Ui::Icon::None, QStringLiteral("New"))}));
        QVERIFY(imageIsFactory());
        // Still unsaved: the quit prompt comes afterwards.
        QCOMPARE(m_session.SettingsChanged, true);
    }

    void defaultWithoutFactoryFileKeepsEverything()
    {
        QFile::rename(factoryDir() + QStringLiteral("/Default.mag"), factoryDir() + QStringLiteral("/away"));
        imageOf(0x11);
        const auto before = m_session.ParamImage;
        click(1, 1);
        QCOMPARE(m_ui.boxes, QList<Box>{kCantChange});

        m_ui.clear();
        m_session.SettingsChanged = true;
        m_ui.answer(Ui::Answer::Yes);
        click(1, 1);
        QCOMPARE(m_ui.boxes.size(), 2);
        QCOMPARE(m_ui.boxes[1], kCantChange);
        QCOMPARE(m_session.ParamImage, before);
        QCOMPARE(m_session.SettingsChanged, true);
        QVERIFY(!m_main->programEnded()); // unsaved settings are not thrown away
        QFile::rename(factoryDir() + QStringLiteral("/away"), factoryDir() + QStringLiteral("/Default.mag"));
    }

    // --- Open

    void openOutcomes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");
        QByteArray good = TestFiles::read(factoryDir() + QStringLiteral("/Default.mag"));
        QTest::newRow("loaded") << good + '!' << false << QStringLiteral("O.K.") << int(Ui::Icon::None);
        QTest::newRow("wrong length") << good + "!\n" << false << QStringLiteral("Can't open file ! ") << int(Ui::Icon::Critical);
        QTest::newRow("empty file") << QByteArray() << false << QStringLiteral("File not opened ! ") << int(Ui::Icon::Critical);
        QTest::newRow("dialog cancelled") << QByteArray() << true << QStringLiteral("File not opened ! ") << int(Ui::Icon::Critical);
    }
    void openOutcomes()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, cancel);
        QFETCH(QString, text);
        QFETCH(int, icon);
        const QString path = file(QStringLiteral("open.msr"));
        TestFiles::write(path, content);
        imageOf(0x33);
        m_session.SettingsChanged = true;
        if (cancel)
            m_ui.cancelFileDialog();
        else
            m_ui.openFile(path);
        click(1, 2);
        QCOMPARE(m_ui.fileRequests.size(), 1);
        QCOMPARE(m_ui.fileRequests[0].filter, QStringLiteral("All Files (*.*)|*.*|ZEV Scanner Data Files (*.msr)|*.msr"));
        QCOMPARE(m_ui.fileRequests[0].filterIndex, 2);
        QCOMPARE(m_ui.fileRequests[0].fileName, QString());
        QCOMPARE(m_ui.boxes, QList<Box>{box(text, Ui::Buttons::Ok, Ui::Icon(icon), QStringLiteral("Open"))});
        const bool loaded = text == QLatin1String("O.K.");
        QCOMPARE(imageIsFactory(), loaded);
        QCOMPARE(m_session.SettingsChanged, !loaded);
        if (loaded) {
            QVERIFY(m_session.RtcFlag && m_session.MidFlag);
        }
    }

    void openWithEmptyNameDoesNothing()
    {
        m_ui.openFile(QString());
        click(1, 2);
        QVERIFY(m_ui.boxes.isEmpty());
    }

    // --- Save

    void saveWritesTheSuggestedName()
    {
        m_session.SettingsChanged = true;
        const QString suggested = m_main->files().suggestedFileName();
        QVERIFY(suggested.startsWith(QLatin1Char('M')));
        const QString path = file(suggested);
        QFile::remove(path);
        m_ui.saveFile(path);
        click(1, 3);
        QCOMPARE(m_ui.fileRequests[0].fileName, suggested);
        QCOMPARE(m_ui.fileRequests[0].filterIndex, 2);
        QCOMPARE(m_ui.boxes, QList<Box>{kSavedOk});
        QCOMPARE(m_session.SettingsChanged, false);
        QCOMPARE(TestFiles::read(path).size(), 409); // no extension added
    }

    void saveFailures_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("dialog cancelled") << 0;
        QTest::newRow("overwrite declined") << 1;
        QTest::newRow("folder missing") << 2;
    }
    void saveFailures()
    {
        QFETCH(int, how);
        m_session.SettingsChanged = true;
        const QString existing = file(QStringLiteral("existing.msr"));
        TestFiles::write(existing, "keep");
        if (how == 0)
            m_ui.cancelFileDialog();
        else if (how == 1) {
            m_ui.saveFile(existing);
            m_ui.answer(Ui::Answer::No);
        } else
            m_ui.saveFile(file(QStringLiteral("missing/x.msr")));
        click(1, 3);
        QCOMPARE(m_ui.boxes.last(), kNotSavedCritical);
        QCOMPARE(m_session.SettingsChanged, true);
        QCOMPARE(TestFiles::read(existing), QByteArray("keep"));
    }

    // --- suggested name

    void suggestedNameRule()
    {
        const QLocale yearFirst(QLocale::Japanese, QLocale::Japan);
        QCOMPARE(yearFirst.toString(QDate(2008, 2, 5), QLocale::ShortFormat), QStringLiteral("2008/02/05"));
        QCOMPARE(FileCommands::suggestedFileName(QDate(2008, 2, 5), 45240.52, yearFirst), QStringLiteral("M0802054524"));
        // Early in the day the seconds are short and keep their decimal point.
        QCOMPARE(FileCommands::suggestedFileName(QDate(2008, 2, 5), 7.25, yearFirst), QStringLiteral("M0802057.25"));
        // The program's clock (not the PC's), the system's date form, and the whole seconds' first four digits.
        m_clock.advance(1500);
        const QDateTime at = m_clock.now();
        QVERIFY(at.time().hour() >= 3); // five-digit seconds
        const QString date = QLocale::system().toString(at.date(), QLocale::ShortFormat).remove(QLatin1Char('/'));
        QCOMPARE(m_main->files().suggestedFileName(),
                 QStringLiteral("M") + date.mid(2) + QString::number(at.time().msecsSinceStartOfDay() / 1000).left(4));
    }

    // --- Exit and close

    void exitWithoutChangesEndsAndStoresFlags()
    {
        m_session.RtcFlag = true;
        click(1, 4);
        QVERIFY(m_ui.boxes.isEmpty());
        QVERIFY(m_main->programEnded());
        QCOMPARE(stored(QStringLiteral("RTC")), QStringLiteral("True"));
        QCOMPARE(stored(QStringLiteral("MID")), QStringLiteral("False"));
    }

    void exitBranches_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("dialog"); // 0 cancel, 1 save, 2 declined overwrite, 3 empty name
        QTest::addColumn<bool>("ends");
        QTest::addColumn<QList<Box>>("after");
        QTest::newRow("no") << int(Ui::Answer::No) << -1 << true << QList<Box>{};
        QTest::newRow("cancel") << int(Ui::Answer::Cancel) << -1 << false << QList<Box>{};
        QTest::newRow("yes, saved") << int(Ui::Answer::Yes) << 1 << true << QList<Box>{kSavedOk};
        QTest::newRow("yes, dialog cancelled") << int(Ui::Answer::Yes) << 0 << true << QList<Box>{};
        QTest::newRow("yes, empty name") << int(Ui::Answer::Yes) << 3 << true << QList<Box>{};
        QTest::newRow("yes, not saved") << int(Ui::Answer::Yes) << 2 << true << QList<Box>{kNotSavedCritical};
    }
    void exitBranches()
    {
        QFETCH(int, answer);
        QFETCH(int, dialog);
        QFETCH(bool, ends);
        QFETCH(QList<Box>, after);
        m_session.SettingsChanged = true;
        m_session.MidFlag = true;
        const QString path = file(QStringLiteral("exit.msr"));
        QFile::remove(path);
        m_ui.answer(Ui::Answer(answer));
        if (dialog == 0)
            m_ui.cancelFileDialog();
        else if (dialog == 1)
            m_ui.saveFile(path);
        else if (dialog == 2) {
            TestFiles::write(path, "old");
            m_ui.saveFile(path);
            m_ui.answer(Ui::Answer::No);
        } else if (dialog == 3)
            m_ui.saveFile(QString());
        click(1, 4);
        QCOMPARE(m_ui.boxes.first(), kAskSave);
        QList<Box> rest = m_ui.boxes.mid(1);
        rest.removeIf([](const Box &b) { return b.buttons == Ui::Buttons::YesNo; }); // the overwrite question
        QCOMPARE(rest, after);
        QCOMPARE(m_main->programEnded(), ends);
        QCOMPARE(stored(QStringLiteral("MID")), ends ? QStringLiteral("True") : QStringLiteral("<none>"));
        if (dialog == 1)
            QCOMPARE(TestFiles::read(path).size(), 409);
        if (dialog == 2)
            QCOMPARE(TestFiles::read(path), QByteArray("old"));
    }

    void closeBranches_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("dialog"); // 0 cancel, 1 save, 2 declined overwrite, 3 empty name
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QList<Box>>("after");
        QTest::newRow("nothing to save") << false << -1 << -1 << true << QList<Box>{};
        QTest::newRow("no") << true << int(Ui::Answer::No) << -1 << true << QList<Box>{};
        QTest::newRow("cancel") << true << int(Ui::Answer::Cancel) << -1 << false << QList<Box>{};
        QTest::newRow("yes, saved") << true << int(Ui::Answer::Yes) << 1 << true << QList<Box>{kSavedOk};
        QTest::newRow("yes, dialog cancelled") << true << int(Ui::Answer::Yes) << 0 << false << QList<Box>{kNotSavedInfo};
        QTest::newRow("yes, empty name") << true << int(Ui::Answer::Yes) << 3 << true << QList<Box>{};
        QTest::newRow("yes, not saved") << true << int(Ui::Answer::Yes) << 2 << false << QList<Box>{kNotSavedCritical};
    }
    void closeBranches()
    {
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(int, dialog);
        QFETCH(bool, closes);
        QFETCH(QList<Box>, after);
        m_session.SettingsChanged = changed;
        m_session.RtcFlag = true;
        const QString path = file(QStringLiteral("close.msr"));
        QFile::remove(path);
        if (answer >= 0)
            m_ui.answer(Ui::Answer(answer));
        if (dialog == 0)
            m_ui.cancelFileDialog();
        else if (dialog == 1)
            m_ui.saveFile(path);
        else if (dialog == 2) {
            TestFiles::write(path, "old");
            m_ui.saveFile(path);
            m_ui.answer(Ui::Answer::No);
        } else if (dialog == 3)
            m_ui.saveFile(QString());
        const bool closed = m_main->close();
        QCOMPARE(closed, closes);
        QCOMPARE(m_main->programEnded(), closes);
        if (changed) {
            QCOMPARE(m_ui.boxes.first(), kAskSave);
            QList<Box> rest = m_ui.boxes.mid(1);
            rest.removeIf([](const Box &b) { return b.buttons == Ui::Buttons::YesNo; });
            QCOMPARE(rest, after);
        } else {
            QVERIFY(m_ui.boxes.isEmpty());
        }
        if (dialog >= 0)
            QCOMPARE(m_ui.fileRequests[0].filter, QStringLiteral("All Files (*.*)|*.*|ZEV Data Files (*.msr)|*.msr"));
        // Stored first, even when the close is then cancelled.
        QCOMPARE(stored(QStringLiteral("RTC")), QStringLiteral("True"));
    }

    void leavingDuringAnExchangeAsksFirst()
    {
        // A clock of its own: a Yes stops every later wait on it.
        VirtualClock clock;
        Platform platform{m_ui, *m_store, clock, m_platform->makePort, factoryDir()};
        MDIfrmMain main(m_session, platform);
        main.show();
        const Box ask = box(QStringLiteral("The program is still talking to the scanner. Stop that and exit?"),
                            Ui::Buttons::YesNo, Ui::Icon::Exclamation);
        const ExchangeGuard exchange(clock.gate());
        main.VerticalMenu1_MenuItemClick(1, 2); // File Open starts nothing
        m_ui.answer(Ui::Answer::No);
        QVERIFY(!main.close());
        m_ui.answer(Ui::Answer::No);
        main.VerticalMenu1_MenuItemClick(1, 4);
        QVERIFY(!main.programEnded());
        QVERIFY(!clock.stopping());
        QCOMPARE(m_ui.boxes, (QList<Box>{ask, ask}));
        QVERIFY(m_ui.boxOptions[0].defaultNo);
        m_ui.answer(Ui::Answer::Yes);
        QVERIFY(main.close());
        QVERIFY(clock.gate().stoppedForGood());
        QVERIFY(!clock.waitMs(10));
    }

    // --- start-up

    void startUpLogsInThenShowsTheMainWindow()
    {
        m_main.reset();
        Session s;
        s.MidFlag = true;
        m_peer.replies << ScriptedPeer::Reply{Link::AckFrame, 10};
        m_ui.onModal([](QDialog &d) {
            QTest::keyClicks(d.findChild<QLineEdit *>(QStringLiteral("txtUserName")), QStringLiteral("1234"));
            QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            return d.result();
        });
        Program program(s, *m_platform);
        QVERIFY(program.start());
        QCOMPARE(m_ui.modalWindows, QStringList{QStringLiteral("frmPword")});
        QVERIFY(program.mainWindow() && program.mainWindow()->isVisible());
        QCOMPARE(s.LoginPassword, QStringLiteral("1234    "));
        QCOMPARE(s.MidFlag, false);
        QCOMPARE(s.Rs232Interface, true); // although the factory load set it False
        QCOMPARE(s.SettingsChanged, false);
        QCOMPARE(m_peer.received, QList<QByteArray>{Link::loginFrame(QStringLiteral("1234"))});
    }

    void cancelledLoginEndsWithoutTouchingTheStore()
    {
        m_main.reset();
        Session s;
        m_ui.onModal([](QDialog &d) {
            QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
            return d.result();
        });
        Program program(s, *m_platform);
        QVERIFY(!program.start());
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!program.mainWindow());
        QVERIFY(!QFile::exists(settingsFile()));
    }

    void missingFactoryFileStopsTheStart()
    {
        m_main.reset();
        QTemporaryDir prefix;
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        m_platform->factoryDir = bin;
        Session s;
        Program program(s, *m_platform);
        QVERIFY(!program.start());
        QCOMPARE(program.exitCode(), 1);
        QCOMPARE(m_ui.boxes, QList<Box>{box(QStringLiteral("Cannot open file 'Default.mag', Program terminate ! "),
                                            Ui::Buttons::Ok, Ui::Icon::Critical)});
        QCOMPARE(m_ui.boxOptions.first().detail,
                 QStringLiteral("Default.mag (408 characters) was looked for in:\n%1/Default.mag\n%2/share/zev-setting/Default.mag")
                     .arg(bin, prefix.path()));
        QVERIFY(m_ui.modalWindows.isEmpty());
    }

    void helpAndVersionNeedNoDisplay()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        for (const QString &option : {QStringLiteral("--version"), QStringLiteral("--help")}) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(TestFiles::binDir() + QStringLiteral("/zev-setting"), {option});
            QVERIFY(p.waitForFinished(60000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 0);
            QVERIFY(p.readAllStandardOutput().contains(option == QLatin1String("--version") ? "zev-setting 1.10" : "--com"));
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
