#include "FitCheck.h"
#include "app/ChildWindow.h"
#include "app/MDIfrmMain.h"
#include "app/Platform.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "image/FactoryDefaults.h"
#include "platform/QtSettingsStore.h"
#include "platform/Twips.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedUi.h"
#include "support/TestFiles.h"
#include "support/VirtualClock.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QRegularExpression>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>

using Box = ScriptedUi::Box;
using Image = std::array<quint8, 128>;
Q_DECLARE_METATYPE(ScriptedUi::Box)

namespace {
Box okBox(const QString &text)
{
    return Box{text, Ui::Buttons::Ok, Ui::Icon::None, QStringLiteral("ZEV")};
}
Box defaultQuestion(const QString &text)
{
    return Box{text, Ui::Buttons::YesNo, Ui::Icon::Information, QStringLiteral("Preamble & Postamble")};
}
const Box kRange = okBox(QStringLiteral("Value must be 0~255"));
const Box kParameterOk = okBox(QStringLiteral("General Parameter Setting O.K."));
const Box kParameterDefault = defaultQuestion(
    QStringLiteral("Current general parameter setting will be changed to factory default. Are you sure ?(Y/N) "));
const Box kTerminatorOk = okBox(QStringLiteral("Terminator Setting O.K."));
const Box kKeyboardDefault = defaultQuestion(
    QStringLiteral("Current keyboard terminator setting will be changed to factory default. Are you sure ?(Y/N) "));
const Box kRs232Default = defaultQuestion(
    QStringLiteral("Current RS-232 terminator setting will be changed to factory default. Are you sure ?(Y/N) "));
const Box kAmbleOk = okBox(QStringLiteral("Preamble or Postamble Data Setting O.K."));
const Box kAmbleDefault = defaultQuestion(
    QStringLiteral("Current preamble and postamble setting will be changed to factory default. Are you sure ?(Y/N) "));
const Box kPreambleGap{QStringLiteral("Invalid Preamble string setting"), Ui::Buttons::Ok, Ui::Icon::Critical,
                       QStringLiteral("ZEV")};
const Box kPostambleGap{QStringLiteral("Invalid Postamble string setting"), Ui::Buttons::Ok, Ui::Icon::Critical,
                        QStringLiteral("ZEV")};

// Where a character sits in the ASCII table: low digit by row, high digit by column.
QPoint tablePosition(int code)
{
    return QPoint(code % 16 + 1, code / 16 + 1);
}
} // namespace

class TestFormatWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<QtSettingsStore> m_store;
    ScriptedUi m_ui;
    VirtualClock m_clock;
    ScriptedPeer m_peer;
    std::unique_ptr<Platform> m_platform;
    Session m_session;
    std::unique_ptr<MDIfrmMain> m_main;

    ChildWindow *open(int group, int item)
    {
        m_main->VerticalMenu1_MenuItemClick(group, item);
        QMdiSubWindow *active = m_main->findChild<QMdiArea *>()->activeSubWindow();
        return active ? qobject_cast<ChildWindow *>(active->widget()) : nullptr;
    }
    template <typename T> T *control(ChildWindow *window, const QString &name)
    {
        T *w = window->findChild<T *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    void click(ChildWindow *window, const QString &name)
    {
        auto *button = control<QAbstractButton>(window, name);
        // Option buttons and check boxes take a click on their mark and caption only.
        const bool marked = qobject_cast<QRadioButton *>(button) || qobject_cast<QCheckBox *>(button);
        QTest::mouseClick(button, Qt::LeftButton, {}, marked ? QPoint(6, button->height() / 2) : QPoint());
    }
    void type(ChildWindow *window, const QString &name, const QString &text)
    {
        auto *box = control<QLineEdit>(window, name);
        box->selectAll();
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else
            QTest::keyClicks(box, text);
    }
    Image image() const
    {
        Image i;
        std::copy_n(m_session.ParamImage.begin(), 128, i.begin());
        return i;
    }
    void fillImage(quint8 seed)
    {
        for (int i = 0; i < 128; ++i)
            m_session.ParamImage[size_t(i)] = quint8(seed ^ (i * 7));
    }
    QList<int> changedBytes(const Image &before) const
    {
        QList<int> diff;
        for (int i = 0; i < 128; ++i)
            if (m_session.ParamImage[size_t(i)] != before[size_t(i)])
                diff << i;
        return diff;
    }
    bool checked(ChildWindow *w, const QString &name) { return control<QAbstractButton>(w, name)->isChecked(); }
    QList<bool> caseOptions(ChildWindow *w)
    {
        QList<bool> on;
        for (int i = 0; i < 4; ++i)
            on << checked(w, QStringLiteral("Option1(%1)").arg(i));
        return on;
    }

    // Which options of an array are selected, by index.
    QList<int> selected(ChildWindow *w, const QString &array, int count)
    {
        QList<int> on;
        for (int i = 0; i < count; ++i)
            if (checked(w, QStringLiteral("%1(%2)").arg(array).arg(i)))
                on << i;
        return on;
    }
    void clickTab(ChildWindow *w, int index)
    {
        QTabBar *bar = control<QTabWidget>(w, QStringLiteral("SSTab1"))->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    int currentTab(ChildWindow *w) { return control<QTabWidget>(w, QStringLiteral("SSTab1"))->currentIndex(); }

    QPushButton *cell(ChildWindow *w, int k) { return control<QPushButton>(w, QStringLiteral("Preamble(%1)").arg(k)); }
    QLineEdit *code(ChildWindow *w, int k) { return control<QLineEdit>(w, QStringLiteral("Text1(%1)").arg(k)); }
    // The table, once shown, gets a press on the character's cell.
    void scriptPick(int character)
    {
        m_ui.onModal([character](QDialog &d) {
            d.show();
            auto *grid = d.findChild<QTableWidget *>(QStringLiteral("MSHFlexGrid1"));
            const QPoint at = tablePosition(character);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(at.x(), at.y())).center());
            return d.result();
        });
    }
    void pick(ChildWindow *w, int k, int character)
    {
        scriptPick(character);
        QTest::mouseClick(cell(w, k), Qt::LeftButton);
    }
    void clearCell(ChildWindow *w, int k) { QTest::mouseClick(cell(w, k), Qt::RightButton); }
    QList<int> ambleBytes() const
    {
        QList<int> bytes;
        for (int b = 80; b < 96; ++b)
            bytes << m_session.ParamImage[size_t(b)];
        return bytes;
    }
    static QList<int> cellIndices()
    {
        return {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 16, 17};
    }

private Q_SLOTS:
    void init()
    {
        m_store = std::make_unique<QtSettingsStore>(m_dir.filePath(QStringLiteral("settings.ini")));
        m_ui.clear();
        m_platform.reset(new Platform{m_ui, *m_store, m_clock,
                                      [this]() { return std::make_unique<FakeSerialPort>(m_peer, m_clock); },
                                      TestFiles::sourceDir()});
        m_session = Session();
        m_session.LoggedIn = true;
        fillImage(0x5A);
        m_main = std::make_unique<MDIfrmMain>(m_session, *m_platform);
        Program::registerWindows(*m_main, m_session, *m_platform);
        m_main->show();
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    }
    void cleanup()
    {
        m_main.reset();
        QVERIFY2(m_ui.unscripted().isEmpty(), qPrintable(m_ui.unscripted().join(QLatin1String("; "))));
        QVERIFY2(m_ui.scriptUsedUp(), "part of the script was not used");
    }

    // --- General parameters

    void parameterWindowFitsBesideThePane()
    {
        ChildWindow *w = open(2, 2);
        QCOMPARE(w->objectName(), QStringLiteral("frmParameter"));
        QCOMPARE(w->parentWidget()->geometry(), m_main->childArea());
        QCOMPARE(w->size(), m_main->childArea().size());
        QCOMPARE(control<QWidget>(w, QStringLiteral("Command1"))->pos(), QPoint(twips(4480), twips(5200)));
        QCOMPARE(control<QWidget>(w, QStringLiteral("Command2"))->pos(), QPoint(twips(6480), twips(5200)));
        QCOMPARE(fitProblems(w), QStringList());
    }

    void parameterControls()
    {
        ChildWindow *w = open(2, 2);
        const QList<QPair<QString, QString>> captions{
            {QStringLiteral("Option1(0)"), QStringLiteral("Upper Case")},
            {QStringLiteral("Option1(1)"), QStringLiteral("Lower Case")},
            {QStringLiteral("Option1(2)"), QStringLiteral("Universal")},
            {QStringLiteral("Option1(3)"), QStringLiteral("ALT Mode")},
            {QStringLiteral("Check1"), QStringLiteral("Power On Beeper")},
            {QStringLiteral("Check2"), QStringLiteral("Prefixing Machine ID for Tethered Scanning")},
            {QStringLiteral("Check3"), QStringLiteral("Enable 3 Sec. Scan Delay for Same Barcode")},
            {QStringLiteral("Command1"), QStringLiteral("Accept")},
            {QStringLiteral("Command2"), QStringLiteral("Default")}};
        for (const auto &c : captions)
            QCOMPARE(control<QAbstractButton>(w, c.first)->text(), c.second);
        QCOMPARE(control<QLabel>(w, QStringLiteral("Label1"))->text(), QStringLiteral("General Parameter "));
        QCOMPARE(control<QLabel>(w, QStringLiteral("Label2"))->text(), QStringLiteral("Buzzer Pitch  : "));
        QCOMPARE(control<QLabel>(w, QStringLiteral("Label3"))->text(), QStringLiteral("Buzzer Duration  : "));
        QVERIFY(!control<QWidget>(w, QStringLiteral("Option1(3)"))->isEnabled());
        QVERIFY(!control<QWidget>(w, QStringLiteral("Check1"))->isEnabled());
        for (const QString &name : {QStringLiteral("Slider1"), QStringLiteral("Slider2")}) {
            auto *s = control<QSlider>(w, name);
            QCOMPARE(QList<int>({s->minimum(), s->maximum(), s->singleStep(), s->pageStep()}),
                     QList<int>({0, 255, 1, 10}));
        }
        // ALT Mode cannot be chosen.
        click(w, QStringLiteral("Option1(3)"));
        QVERIFY(!checked(w, QStringLiteral("Option1(3)")));
    }

    void parameterLoadShowsTheImage()
    {
        m_session.ParamImage[57] = 200;
        m_session.ParamImage[58] = 7;
        m_session.ParamImage[52] = 0x38;
        m_session.ParamImage[35] = 0xFB;
        m_session.ParamImage[29] = 0x63;
        ChildWindow *w = open(2, 2);
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("Text1"))->text(), QStringLiteral("200"));
        QCOMPARE(control<QSlider>(w, QStringLiteral("Slider1"))->value(), 200);
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("Text2"))->text(), QStringLiteral("7"));
        QCOMPARE(control<QSlider>(w, QStringLiteral("Slider2"))->value(), 7);
        QCOMPARE(caseOptions(w), (QList<bool>{false, false, true, false}));
        QVERIFY(!checked(w, QStringLiteral("Check1")));
        QVERIFY(checked(w, QStringLiteral("Check2")));
        QVERIFY(checked(w, QStringLiteral("Check3")));

        // Byte 29 = 0x63 survives an Accept that changes nothing.
        const Image before = image();
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kParameterOk});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(m_session.SettingsChanged);
    }

    void slidersAndBoxesMoveTogether()
    {
        ChildWindow *w = open(2, 2);
        auto *slider = control<QSlider>(w, QStringLiteral("Slider1"));
        auto *box = control<QLineEdit>(w, QStringLiteral("Text1"));
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(box->text(), QStringLiteral("255"));
        QTest::keyClick(slider, Qt::Key_PageDown);
        QCOMPARE(box->text(), QStringLiteral("245"));
        type(w, QStringLiteral("Text1"), QStringLiteral("17"));
        QCOMPARE(slider->value(), 17);
        type(w, QStringLiteral("Text1"), QStringLiteral("017"));
        QCOMPARE(slider->value(), 17);
        QCOMPARE(box->text(), QStringLiteral("017")); // the box keeps what was typed
        // Text that is no byte leaves the slider alone; an empty box puts it at 0.
        for (const QString &text : {QStringLiteral("300"), QStringLiteral("-4"), QStringLiteral("2.5")}) {
            box->setText(text);
            QCOMPARE(slider->value(), 17);
            QCOMPARE(box->text(), text);
        }
        type(w, QStringLiteral("Text1"), QString());
        QCOMPARE(slider->value(), 0);
        auto *slider2 = control<QSlider>(w, QStringLiteral("Slider2"));
        type(w, QStringLiteral("Text2"), QStringLiteral("99"));
        QCOMPARE(slider2->value(), 99);
        QTest::keyClick(slider2, Qt::Key_Right);
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("Text2"))->text(), QStringLiteral("100"));
        QCOMPARE(slider->value(), 0);
    }

    void acceptStoresTheChoices()
    {
        m_session.ParamImage[52] = 0xA8;
        m_session.ParamImage[35] = 0x40;
        m_session.ParamImage[29] = 0x61;
        ChildWindow *w = open(2, 2);
        type(w, QStringLiteral("Text1"), QStringLiteral("100"));
        type(w, QStringLiteral("Text2"), QString());
        click(w, QStringLiteral("Option1(0)"));
        click(w, QStringLiteral("Check2"));
        click(w, QStringLiteral("Check3"));
        const Image before = image();
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kParameterOk});
        QCOMPARE((QList<int>{m_session.ParamImage[57], m_session.ParamImage[58], m_session.ParamImage[52],
                             m_session.ParamImage[35], m_session.ParamImage[29]}),
                 (QList<int>{100, 0, 0xA2, 0x40, 0x62}));
        for (int i : changedBytes(before))
            QVERIFY(QList<int>({57, 58, 52, 29}).contains(i));
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("Text2"))->text(), QStringLiteral("0"));
        QVERIFY(m_session.SettingsChanged);
    }

    void acceptWithBothBoxesEmpty()
    {
        ChildWindow *w = open(2, 2);
        type(w, QStringLiteral("Text1"), QString());
        type(w, QStringLiteral("Text2"), QString());
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kParameterOk});
        QCOMPARE(m_session.ParamImage[57], quint8(0));
        QCOMPARE(m_session.ParamImage[58], quint8(0));
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("Text1"))->text(), QStringLiteral("0"));
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("Text2"))->text(), QStringLiteral("0"));
    }

    void acceptRefusesABadBuzzerValue_data()
    {
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<QString>("wrongBox");
        QTest::newRow("256 in Text2") << QStringLiteral("30") << QStringLiteral("256") << QStringLiteral("Text2");
        QTest::newRow("256 in Text1") << QStringLiteral("256") << QStringLiteral("3") << QStringLiteral("Text1");
        QTest::newRow("both wrong: Text1 first") << QStringLiteral("abc") << QStringLiteral("-1") << QStringLiteral("Text1");
        QTest::newRow("negative") << QStringLiteral("-5") << QStringLiteral("3") << QStringLiteral("Text1");
        QTest::newRow("fraction") << QStringLiteral("8") << QStringLiteral("2.5") << QStringLiteral("Text2");
    }
    void acceptRefusesABadBuzzerValue()
    {
        QFETCH(QString, pitch);
        QFETCH(QString, duration);
        QFETCH(QString, wrongBox);
        ChildWindow *w = open(2, 2);
        type(w, QStringLiteral("Text1"), pitch);
        type(w, QStringLiteral("Text2"), duration);
        click(w, QStringLiteral("Option1(2)"));
        click(w, QStringLiteral("Check2"));
        auto *box = control<QLineEdit>(w, wrongBox);
        box->setCursorPosition(0);
        const Image before = image();
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kRange});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        QCOMPARE(box->selectionStart(), 0);
        QCOMPARE(box->selectedText(), box->text());
        QVERIFY(box->hasFocus());
    }

    void caseCodeWithoutAnOption()
    {
        m_session.ParamImage[52] = 0x92; // Upper Case
        ChildWindow *w = open(2, 2);
        QCOMPARE(caseOptions(w), (QList<bool>{true, false, false, false}));
        // Low nibble 4 has no option: none shows, and Accept leaves the byte alone.
        m_session.ParamImage[52] = 0x94;
        w->activate();
        QCOMPARE(caseOptions(w), (QList<bool>{false, false, false, false}));
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_session.ParamImage[52], quint8(0x94));
    }

    void defaultAsksFirst()
    {
        m_session.ParamImage[29] = 0xE0;
        m_session.ParamImage[52] = 0xFF;
        m_session.ParamImage[35] = 0x00;
        ChildWindow *w = open(2, 2);
        type(w, QStringLiteral("Text1"), QStringLiteral("77"));
        const Image before = image();
        m_ui.answer(Ui::Answer::No);
        click(w, QStringLiteral("Command2"));
        QCOMPARE(m_ui.boxes, QList<Box>{kParameterDefault});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("Text1"))->text(), QStringLiteral("77"));

        m_ui.answer(Ui::Answer::Yes);
        click(w, QStringLiteral("Command2"));
        QCOMPARE(m_ui.boxes, (QList<Box>{kParameterDefault, kParameterDefault}));
        QCOMPARE((QList<int>{m_session.ParamImage[57], m_session.ParamImage[58], m_session.ParamImage[52],
                             m_session.ParamImage[35], m_session.ParamImage[29]}),
                 (QList<int>{22, 4, 0x50, 0x04, 0x01}));
        QCOMPARE(changedBytes(before), (QList<int>{29, 35, 52, 57, 58}));
        QVERIFY(m_session.SettingsChanged);
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("Text1"))->text(), QStringLiteral("22"));
        QCOMPARE(control<QSlider>(w, QStringLiteral("Slider2"))->value(), 4);
        QCOMPARE(caseOptions(w), (QList<bool>{false, true, false, false}));
        QVERIFY(checked(w, QStringLiteral("Check1")));
        QVERIFY(checked(w, QStringLiteral("Check2")));
        QVERIFY(!checked(w, QStringLiteral("Check3")));
    }

    // --- Terminators

    void terminatorOpensFromTheSettingGroup()
    {
        for (bool rs232 : {false, true}) {
            m_session.Rs232Interface = rs232;
            ChildWindow *w = open(2, 4);
            QCOMPARE(w->objectName(), QStringLiteral("frmTerminator"));
            QCOMPARE(m_session.LastMenuItem, qint16(4));
            QCOMPARE(w->parentWidget()->geometry(), m_main->childArea());
            QCOMPARE(currentTab(w), rs232 ? 1 : 0);
            QCOMPARE(fitProblems(w), QStringList());
            w->closeChild();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void terminatorControls()
    {
        ChildWindow *w = open(2, 4);
        auto *tabs = control<QTabWidget>(w, QStringLiteral("SSTab1"));
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Keyboard"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("RS-232"));
        QCOMPARE(control<QLabel>(w, QStringLiteral("Label1"))->text(), QStringLiteral("Terminator"));
        const QStringList keyboard{QStringLiteral("NONE"), QStringLiteral("CR"), QStringLiteral("SPACE"),
                                   QStringLiteral("TAB"), QStringLiteral("ESC"), QStringLiteral("CTRL-C"),
                                   QStringLiteral("EXEC")};
        const QStringList rs232{QStringLiteral("NONE"), QStringLiteral("CR"), QStringLiteral("LF"),
                                QStringLiteral("CR/LF"), QStringLiteral("SPACE"), QStringLiteral("TAB"),
                                QStringLiteral("ESC"), QStringLiteral("CTRL-C"), QStringLiteral("STX.....ETX"),
                                QStringLiteral("XON.....XOFF"), QStringLiteral("EOT")};
        for (int i = 0; i < keyboard.size(); ++i) {
            auto *o = control<QAbstractButton>(w, QStringLiteral("Option1(%1)").arg(i));
            QCOMPARE(o->text(), keyboard[i]);
            QVERIFY(tabs->widget(0)->isAncestorOf(o));
        }
        for (int i = 0; i < rs232.size(); ++i) {
            auto *o = control<QAbstractButton>(w, QStringLiteral("Option2(%1)").arg(i));
            QCOMPARE(o->text(), rs232[i]);
            QVERIFY(tabs->widget(1)->isAncestorOf(o));
        }
        QVERIFY(tabs->widget(0)->isAncestorOf(control<QWidget>(w, QStringLiteral("Command2"))));
        QVERIFY(tabs->widget(1)->isAncestorOf(control<QWidget>(w, QStringLiteral("Command3"))));
        QVERIFY(!tabs->isAncestorOf(control<QWidget>(w, QStringLiteral("Command1"))));
        QCOMPARE(control<QAbstractButton>(w, QStringLiteral("Command1"))->text(), QStringLiteral("Accept"));
        QCOMPARE(control<QAbstractButton>(w, QStringLiteral("Command2"))->text(), QStringLiteral("Default"));
        QCOMPARE(control<QAbstractButton>(w, QStringLiteral("Command3"))->text(), QStringLiteral("Default"));
    }

    void terminatorFirstActivation_data()
    {
        QTest::addColumn<int>("byte50");
        QTest::addColumn<int>("byte39");
        QTest::addColumn<QList<int>>("keyboard");
        QTest::addColumn<QList<int>>("rs232");
        QTest::addColumn<int>("stored50");
        QTest::addColumn<int>("stored39");
        QTest::newRow("EXEC, EOT") << 8 << 10 << QList<int>{6} << QList<int>{10} << 8 << 10;
        QTest::newRow("SPACE, CR/LF") << 4 << 3 << QList<int>{2} << QList<int>{3} << 4 << 3;
        QTest::newRow("keyboard 2 has no option") << 2 << 1 << QList<int>() << QList<int>{1} << 2 << 1;
        QTest::newRow("RS-232 12 has no option") << 0 << 12 << QList<int>{0} << QList<int>() << 0 << 11;
        QTest::newRow("neither") << 3 << 200 << QList<int>() << QList<int>() << 3 << 11;
    }
    void terminatorFirstActivation()
    {
        QFETCH(int, byte50);
        QFETCH(int, byte39);
        QFETCH(QList<int>, keyboard);
        QFETCH(QList<int>, rs232);
        QFETCH(int, stored50);
        QFETCH(int, stored39);
        m_session.ParamImage[50] = quint8(byte50);
        m_session.ParamImage[39] = quint8(byte39);
        ChildWindow *w = open(2, 4);
        QCOMPARE(selected(w, QStringLiteral("Option1"), 7), keyboard);
        QCOMPARE(selected(w, QStringLiteral("Option2"), 11), rs232);
        const Image before = image();
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kTerminatorOk});
        QCOMPARE(int(m_session.ParamImage[50]), stored50);
        QCOMPARE(int(m_session.ParamImage[39]), stored39);
        for (int i : changedBytes(before))
            QCOMPARE(i, 39);
        QVERIFY(m_session.SettingsChanged);
    }

    void terminatorCodeWithoutOptionShowsNone()
    {
        m_session.ParamImage[50] = 1;
        m_session.ParamImage[39] = 2;
        ChildWindow *w = open(2, 4);
        QCOMPARE(selected(w, QStringLiteral("Option1"), 7), QList<int>{1});
        m_session.ParamImage[50] = 2;
        m_session.ParamImage[39] = 12;
        w->activate();
        QCOMPARE(selected(w, QStringLiteral("Option1"), 7), QList<int>());
        QCOMPARE(selected(w, QStringLiteral("Option2"), 11), QList<int>());
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_session.ParamImage[50], quint8(2));
        QCOMPARE(m_session.ParamImage[39], quint8(11));
    }

    void keyboardDefault()
    {
        m_session.Rs232Interface = false;
        m_session.ParamImage[50] = 7;
        m_session.ParamImage[39] = 9;
        ChildWindow *w = open(2, 4);
        QVERIFY(control<QWidget>(w, QStringLiteral("Command2"))->isVisible());
        // The RS-232 choice is made where the user cannot see it; Default stores it too.
        control<QAbstractButton>(w, QStringLiteral("Option2(2)"))->setChecked(true);
        const Image before = image();
        m_ui.answer(Ui::Answer::No);
        click(w, QStringLiteral("Command2"));
        QCOMPARE(m_ui.boxes, QList<Box>{kKeyboardDefault});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        QCOMPARE(selected(w, QStringLiteral("Option1"), 7), QList<int>{5});

        m_ui.answer(Ui::Answer::Yes);
        click(w, QStringLiteral("Command2"));
        QCOMPARE(m_ui.boxes.size(), 2);
        QCOMPARE(selected(w, QStringLiteral("Option1"), 7), QList<int>{1});
        QCOMPARE(m_session.ParamImage[50], quint8(1));
        QCOMPARE(m_session.ParamImage[39], quint8(2));
        QCOMPARE(changedBytes(before), (QList<int>{39, 50}));
        QVERIFY(m_session.SettingsChanged);
    }

    void rs232Default()
    {
        m_session.ParamImage[50] = 8;
        m_session.ParamImage[39] = 12;
        ChildWindow *w = open(2, 4);
        QVERIFY(control<QWidget>(w, QStringLiteral("Command3"))->isVisible());
        m_ui.answer(Ui::Answer::Yes);
        click(w, QStringLiteral("Command3"));
        QCOMPARE(m_ui.boxes, QList<Box>{kRs232Default});
        QCOMPARE(selected(w, QStringLiteral("Option2"), 11), QList<int>{1});
        QCOMPARE(m_session.ParamImage[39], quint8(1));
        QCOMPARE(m_session.ParamImage[50], quint8(8));
        QVERIFY(m_session.SettingsChanged);
    }

    void terminatorTabFollowsTheInterface()
    {
        m_session.Rs232Interface = false;
        ChildWindow *w = open(2, 4);
        clickTab(w, 1);
        QCOMPARE(currentTab(w), 0);
        QTest::keyClick(control<QTabWidget>(w, QStringLiteral("SSTab1")), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(currentTab(w), 0);
        // The interface is read again at every activation and tab click.
        m_session.Rs232Interface = true;
        clickTab(w, 0);
        QCOMPARE(currentTab(w), 1);
        m_session.Rs232Interface = false;
        w->activate();
        QCOMPARE(currentTab(w), 0);
    }

    void leavingTheTerminatorWindowStoresIt()
    {
        m_session.ParamImage[50] = 1;
        m_session.ParamImage[39] = 1;
        ChildWindow *w = open(2, 4);
        open(2, 2);
        // Nothing changed: nothing to save.
        QVERIFY(!m_session.SettingsChanged);
        QCOMPARE(m_session.ParamImage[39], quint8(1));

        open(2, 4);
        QCOMPARE(m_main->findChild<QMdiArea *>()->activeSubWindow()->widget(), w);
        click(w, QStringLiteral("Option2(3)"));
        QCOMPARE(m_session.ParamImage[39], quint8(1));
        open(2, 2);
        QCOMPARE(m_session.ParamImage[39], quint8(3));
        QVERIFY(m_session.SettingsChanged);
        QVERIFY(m_ui.boxes.isEmpty());
    }

    // --- Preamble and postamble

    void ambleWindowFitsBesideThePane()
    {
        for (bool rs232 : {false, true}) {
            m_session.Rs232Interface = rs232;
            ChildWindow *w = open(2, 3);
            QCOMPARE(w->objectName(), QStringLiteral("frmAmble"));
            QCOMPARE(w->parentWidget()->geometry(), m_main->childArea());
            QCOMPARE(control<QWidget>(w, QStringLiteral("Command1"))->pos(), QPoint(twips(4480), twips(5200)));
            QCOMPARE(control<QWidget>(w, QStringLiteral("Command2"))->pos(), QPoint(twips(6480), twips(5200)));
            // The widest names in every cell.
            for (int k : cellIndices())
                cell(w, k)->setText(rs232 ? QStringLiteral("NULL") : QStringLiteral("S-Tab"));
            QCOMPARE(fitProblems(w), QStringList());
            w->closeChild();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void ambleControls()
    {
        ChildWindow *w = open(2, 3);
        QCOMPARE(control<QLabel>(w, QStringLiteral("Label1"))->text(), QStringLiteral("Preamble & Postamble"));
        QCOMPARE(control<QLabel>(w, QStringLiteral("Label2"))->text(), QStringLiteral("Preamble Setting :"));
        QCOMPARE(control<QLabel>(w, QStringLiteral("Label3"))->text(), QStringLiteral("Postamble Setting :"));
        QCOMPARE(control<QLabel>(w, QStringLiteral("Label4"))->text(),
                 QStringLiteral("(Click button to set preamble character or postamble character )  "));
        QCOMPARE(w->findChildren<QPushButton *>(QRegularExpression(QStringLiteral("^Preamble\\(\\d+\\)$"))).size(), 16);
        for (int k : cellIndices()) {
            QCOMPARE(cell(w, k)->toolTip(), QStringLiteral("Click mouse right button to clear"));
            // Each code sits right beneath its character.
            const QRect button = cell(w, k)->geometry();
            const QRect box = code(w, k)->geometry();
            QVERIFY(box.top() >= button.bottom());
            QVERIFY(box.left() < button.center().x() && box.right() > button.center().x());
        }
        QVERIFY(cell(w, 7)->geometry().top() < cell(w, 10)->geometry().top());
        QVERIFY(cell(w, 0)->geometry().left() < cell(w, 1)->geometry().left());
    }

    void ambleLoadNamesTheCodes_data()
    {
        QTest::addColumn<bool>("rs232");
        QTest::addColumn<int>("byte80");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("codeText");
        QTest::newRow("13 as a key") << false << 13 << QStringLiteral("Enter") << QStringLiteral("&HD");
        QTest::newRow("0 as a key") << false << 0 << QStringLiteral(" ") << QStringLiteral("&H0");
        QTest::newRow("13 as RS-232") << true << 13 << QStringLiteral("CR") << QStringLiteral("&HD");
        QTest::newRow("0 as RS-232") << true << 0 << QStringLiteral("NUL") << QStringLiteral("&H0");
        QTest::newRow("ampersand") << true << 38 << QStringLiteral("&&") << QStringLiteral("&H26");
        QTest::newRow("DEL") << true << 127 << QStringLiteral("DEL") << QStringLiteral("&H7F");
    }
    void ambleLoadNamesTheCodes()
    {
        QFETCH(bool, rs232);
        QFETCH(int, byte80);
        QFETCH(QString, caption);
        QFETCH(QString, codeText);
        m_session.Rs232Interface = rs232;
        m_session.ParamImage[80] = quint8(byte80);
        m_session.ParamImage[95] = 'Z';
        ChildWindow *w = open(2, 3);
        QCOMPARE(cell(w, 0)->text(), caption);
        QCOMPARE(code(w, 0)->text(), codeText);
        QCOMPARE(cell(w, 17)->text(), QStringLiteral("Z"));
        QCOMPARE(code(w, 17)->text(), QStringLiteral("&H5A"));
    }

    void ambleBuiltByPickingAndClearing()
    {
        m_session.Rs232Interface = false;
        ChildWindow *w = open(2, 3);
        pick(w, 0, 0x02);
        QVERIFY(m_session.Rs232Interface); // every press on a cell chooses RS-232 naming
        pick(w, 1, 'A');
        for (int k = 2; k < 8; ++k)
            clearCell(w, k);
        QCOMPARE(m_ui.modalWindows, (QStringList{QStringLiteral("sfrmASC"), QStringLiteral("sfrmASC")}));
        QCOMPARE(cell(w, 0)->text(), QStringLiteral("STX"));
        QCOMPARE(code(w, 0)->text(), QStringLiteral("&H2"));
        QCOMPARE(cell(w, 1)->text(), QStringLiteral("A"));
        QCOMPARE(cell(w, 2)->text(), QStringLiteral("NULL"));
        QCOMPARE(code(w, 2)->text(), QStringLiteral("0"));
        // The image waits for Accept.
        const Image before = image();
        QCOMPARE(changedBytes(before), QList<int>());
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kAmbleOk});
        QCOMPARE(ambleBytes().mid(0, 8), (QList<int>{2, 65, 0, 0, 0, 0, 0, 0}));
        for (int i : changedBytes(before))
            QVERIFY(i >= 80 && i < 96);
        QVERIFY(m_session.SettingsChanged);
    }

    void clearingWithKeyboardNamingShowsNothing()
    {
        ChildWindow *w = open(2, 3);
        m_session.Rs232Interface = false;
        QTest::mouseClick(cell(w, 12), Qt::MiddleButton);
        // The press itself chose RS-232 naming, so the cleared cell says NULL.
        QCOMPARE(cell(w, 12)->text(), QStringLiteral("NULL"));
        QCOMPARE(code(w, 12)->text(), QStringLiteral("0"));
        QVERIFY(m_ui.modalWindows.isEmpty());
    }

    void pickingAnAmpersand()
    {
        for (int b = 80; b < 96; ++b)
            m_session.ParamImage[size_t(b)] = 0;
        ChildWindow *w = open(2, 3);
        // Through the table's own event loop, as the program shows it.
        m_ui.onModal([](QDialog &d) {
            QTimer::singleShot(0, &d, [&d]() {
                auto *grid = d.findChild<QTableWidget *>(QStringLiteral("MSHFlexGrid1"));
                const QPoint at = tablePosition('&');
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  grid->visualItemRect(grid->item(at.x(), at.y())).center());
            });
            return d.exec();
        });
        QTest::mouseClick(cell(w, 0), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(cell(w, 0)->text(), QStringLiteral("&&"));
        QVERIFY(cell(w, 0)->shortcut().isEmpty());
        QCOMPARE(code(w, 0)->text(), QStringLiteral("&H26"));
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_session.ParamImage[80], quint8(38));
    }

    void closingThePickerLeavesTheCell()
    {
        m_session.ParamImage[81] = 'Q';
        ChildWindow *w = open(2, 3);
        m_session.PickedName = QStringLiteral("stale");
        m_session.PickedCode = QStringLiteral("41");
        m_ui.onModal([](QDialog &d) {
            d.show();
            d.close();
            return d.result();
        });
        QTest::mouseClick(cell(w, 1), Qt::LeftButton);
        QCOMPARE(cell(w, 1)->text(), QStringLiteral("Q"));
        QCOMPARE(code(w, 1)->text(), QStringLiteral("&H51"));
    }

    void gapsAreRefusedAndNothingIsWritten_data()
    {
        QTest::addColumn<QList<int>>("image80to95");
        QTest::addColumn<int>("clear");  // cell cleared before Accept
        QTest::addColumn<int>("pickAt"); // cell given 'X' before Accept, -1: none
        QTest::addColumn<Box>("message");
        QTest::addColumn<int>("focus");
        QTest::newRow("first preamble cell cleared")
            << QList<int>{'A', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0} << 0 << -1 << kPreambleGap << 1;
        QTest::newRow("gap only in the postamble")
            << QList<int>{'A', 'B', 0, 0, 0, 0, 0, 0, 'C', 'D', 'E', 0, 0, 0, 0, 0} << 11 << 2 << kPostambleGap << 12;
    }
    void gapsAreRefusedAndNothingIsWritten()
    {
        QFETCH(QList<int>, image80to95);
        QFETCH(int, clear);
        QFETCH(int, pickAt);
        QFETCH(Box, message);
        QFETCH(int, focus);
        for (int i = 0; i < 16; ++i)
            m_session.ParamImage[size_t(80 + i)] = quint8(image80to95[i]);
        ChildWindow *w = open(2, 3);
        if (pickAt >= 0)
            pick(w, pickAt, 'X');
        clearCell(w, clear);
        if (clear == 11)
            pick(w, 12, 'Y');
        const Image before = image();
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{message});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        QVERIFY(cell(w, focus)->hasFocus());
    }

    void aCodeTextThatIsNoByteIsRefused_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("text");
        QTest::newRow("above 255") << 3 << QStringLiteral("&H100");
        QTest::newRow("negative") << 0 << QStringLiteral("-1");
        QTest::newRow("fraction in the postamble") << 10 << QStringLiteral("1.5");
    }
    void aCodeTextThatIsNoByteIsRefused()
    {
        QFETCH(int, k);
        QFETCH(QString, text);
        for (int b = 80; b < 96; ++b)
            m_session.ParamImage[size_t(b)] = 'M';
        ChildWindow *w = open(2, 3);
        pick(w, 1, 'N');
        code(w, k)->setText(text);
        const Image before = image();
        click(w, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kRange});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(code(w, k)->hasFocus());
        QCOMPARE(code(w, k)->selectionStart(), 0);
        QCOMPARE(code(w, k)->selectedText(), text);
    }

    void ambleDefault_data()
    {
        QTest::addColumn<bool>("rs232");
        QTest::addColumn<QString>("caption");
        QTest::newRow("RS-232") << true << QStringLiteral("NULL");
        QTest::newRow("keyboard") << false << QString();
    }
    void ambleDefault()
    {
        QFETCH(bool, rs232);
        QFETCH(QString, caption);
        m_session.Rs232Interface = rs232;
        for (int b = 80; b < 96; ++b)
            m_session.ParamImage[size_t(b)] = quint8(b);
        ChildWindow *w = open(2, 3);
        const Image before = image();
        m_ui.answer(Ui::Answer::No);
        click(w, QStringLiteral("Command2"));
        QCOMPARE(m_ui.boxes, QList<Box>{kAmbleDefault});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);

        m_ui.answer(Ui::Answer::Yes);
        click(w, QStringLiteral("Command2"));
        QCOMPARE(m_ui.boxes, (QList<Box>{kAmbleDefault, kAmbleDefault}));
        QCOMPARE(ambleBytes(), QList<int>(16, 0));
        for (int i : changedBytes(before))
            QVERIFY(i >= 80 && i < 96);
        QVERIFY(m_session.SettingsChanged);
        for (int k : cellIndices()) {
            QCOMPARE(cell(w, k)->text(), caption);
            QCOMPARE(code(w, k)->text(), QStringLiteral("&H00"));
        }
    }

    // --- All three windows

    void defaultsAgreeWithTheFactoryFile()
    {
        QVERIFY(LoadFactoryDefaults(m_session, TestFiles::sourceDir()));
        const Image factory = image();
        m_session.Rs232Interface = true;
        ChildWindow *parameter = open(2, 2);
        m_ui.answer(Ui::Answer::Yes);
        click(parameter, QStringLiteral("Command2"));
        click(parameter, QStringLiteral("Command1"));
        ChildWindow *terminator = open(2, 4);
        m_ui.answer(Ui::Answer::Yes);
        click(terminator, QStringLiteral("Command3"));
        m_session.Rs232Interface = false;
        terminator->activate();
        m_ui.answer(Ui::Answer::Yes);
        click(terminator, QStringLiteral("Command2"));
        click(terminator, QStringLiteral("Command1"));
        ChildWindow *amble = open(2, 3);
        m_ui.answer(Ui::Answer::Yes);
        click(amble, QStringLiteral("Command2"));
        click(amble, QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes.size(), 7);
        QCOMPARE(changedBytes(factory), QList<int>());
    }
};

QTEST_MAIN(TestFormatWindows)
#include "tst_formatwindows.moc"
