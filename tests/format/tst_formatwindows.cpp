#include "FitCheck.h"
#include "core/ChildWindow.h"
#include "app/MDIfrmMain.h"
#include "core/Platform.h"
#include "core/Session.h"
#include "app/Startup.h"
#include "image/FactoryDefaults.h"
#include "platform/QtSettingsStore.h"
#include "platform/Twips.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedUi.h"
#include "support/WindowTest.h"
#include "support/TestFiles.h"
#include "support/VirtualClock.h"

#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using Box = ScriptedUi::Box;
using Image = std::array<quint8, 128>;
Q_DECLARE_METATYPE(ScriptedUi::Box)

namespace {
Box okBox(const QString &text, Ui::Icon icon = Ui::Icon::None)
{
    return Box{text, Ui::Buttons::Ok, icon, QStringLiteral("ZEV")};
}
Box defaultQuestion(const char *what)
{
    return Box{QStringLiteral("Current %1 setting will be changed to factory default. Are you sure ?(Y/N) ")
                   .arg(QLatin1String(what)),
               Ui::Buttons::YesNo, Ui::Icon::Information, QStringLiteral("Preamble & Postamble")};
}
const Box kRange = okBox(QStringLiteral("Value must be 0~255"));
const Box kParameterOk = okBox(QStringLiteral("General Parameter Setting O.K."));
const Box kParameterDefault = defaultQuestion("general parameter");
const Box kTerminatorOk = okBox(QStringLiteral("Terminator Setting O.K."));
const Box kKeyboardDefault = defaultQuestion("keyboard terminator");
const Box kRs232Default = defaultQuestion("RS-232 terminator");
const Box kAmbleOk = okBox(QStringLiteral("Preamble or Postamble Data Setting O.K."));
const Box kAmbleDefault = defaultQuestion("preamble and postamble");
const Box kPreambleGap = okBox(QStringLiteral("Invalid Preamble string setting"), Ui::Icon::Critical);
const Box kPostambleGap = okBox(QStringLiteral("Invalid Postamble string setting"), Ui::Icon::Critical);
const QList<int> kCells{0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 16, 17};
} // namespace

class TestFormatWindows : public WindowTest
{
    Q_OBJECT

    std::unique_ptr<MDIfrmMain> m_main;
    ChildWindow *m_w = nullptr; // the window under test

    void open(int group, int item)
    {
        m_main->VerticalMenu1_MenuItemClick(group, item);
        m_w = qobject_cast<ChildWindow *>(m_main->findChild<QMdiArea *>()->activeSubWindow()->widget());
    }
    void closeWindow()
    {
        m_w->closeChild();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <typename T = QWidget> T *get(const QString &name)
    {
        T *w = m_w->findChild<T *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QString text(const QString &name)
    {
        if (auto *box = m_w->findChild<QLineEdit *>(name))
            return box->text();
        if (auto *label = m_w->findChild<QLabel *>(name))
            return label->text();
        return get<QAbstractButton>(name)->text();
    }
    void click(const QString &name)
    {
        auto *button = get<QAbstractButton>(name);
        // Option buttons and check boxes take a click on their mark and caption only.
        const bool marked = qobject_cast<QRadioButton *>(button) || qobject_cast<QCheckBox *>(button);
        QTest::mouseClick(button, Qt::LeftButton, {}, marked ? QPoint(6, button->height() / 2) : QPoint());
    }
    void type(const QString &name, const QString &text)
    {
        auto *box = get<QLineEdit>(name);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }
    // The selected options of an array, by index.
    QList<int> selected(const char *array, int count)
    {
        QList<int> on;
        for (int i = 0; i < count; ++i)
            if (get<QAbstractButton>(QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(i))->isChecked())
                on << i;
        return on;
    }
    int currentTab() { return get<QTabWidget>(QStringLiteral("SSTab1"))->currentIndex(); }
    void clickTab(int index)
    {
        QTabBar *bar = get<QTabWidget>(QStringLiteral("SSTab1"))->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    QPushButton *cell(int k) { return get<QPushButton>(QStringLiteral("Preamble(%1)").arg(k)); }
    QLineEdit *code(int k) { return get<QLineEdit>(QStringLiteral("Text1(%1)").arg(k)); }
    static void pressCharacter(QDialog &table, int character)
    {
        auto *grid = table.findChild<QTableWidget *>(QStringLiteral("MSHFlexGrid1"));
        const QRect r = grid->visualItemRect(grid->item(character % 16 + 1, character / 16 + 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    }
    void pick(int k, int character)
    {
        m_ui.onModal([character](QDialog &d) {
            d.show();
            pressCharacter(d, character);
            return d.result();
        });
        QTest::mouseClick(cell(k), Qt::LeftButton);
    }
    void clearCell(int k, Qt::MouseButton button = Qt::RightButton) { QTest::mouseClick(cell(k), button); }

    Image image() const
    {
        Image i;
        std::copy_n(m_session.ParamImage.begin(), 128, i.begin());
        return i;
    }
    void setBytes(int first, const QList<int> &values)
    {
        for (int i = 0; i < values.size(); ++i)
            m_session.ParamImage[size_t(first + i)] = quint8(values[i]);
    }
    QList<int> bytes(const QList<int> &indices) const
    {
        QList<int> values;
        for (int i : indices)
            values << m_session.ParamImage[size_t(i)];
        return values;
    }
    QList<int> bytes(int first, int count) const
    {
        QList<int> values;
        for (int i = first; i < first + count; ++i)
            values << m_session.ParamImage[size_t(i)];
        return values;
    }
    QList<int> changedBytes(const Image &before) const
    {
        QList<int> diff;
        for (int i = 0; i < 128; ++i)
            if (m_session.ParamImage[size_t(i)] != before[size_t(i)])
                diff << i;
        return diff;
    }

private Q_SLOTS:
    void init()
    {
        resetRig(TestFiles::sourceDir());
        m_session.LoggedIn = true;
        for (int i = 0; i < 128; ++i) // other windows' bits everywhere
            m_session.ParamImage[size_t(i)] = quint8(0x5A ^ (i * 7));
        m_main = std::make_unique<MDIfrmMain>(m_session, *m_platform);
        Program::registerWindows(*m_main, m_session, *m_platform);
        m_main->show();
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    }
    void cleanup()
    {
        m_main.reset();
        verifyScript();
    }

    // --- General parameters

    void parameterWindow()
    {
        setBytes(52, {0x50});
        open(2, 2);
        QCOMPARE(m_w->objectName(), QStringLiteral("frmParameter"));
        QCOMPARE(m_w->parentWidget()->geometry(), m_main->childArea());
        QCOMPARE(get(QStringLiteral("Command1"))->pos(), QPoint(twips(4480), twips(5200)));
        QCOMPARE(get(QStringLiteral("Command2"))->pos(), QPoint(twips(6480), twips(5200)));
        QCOMPARE(fitProblems(m_w), QStringList());
        QCOMPARE(text(QStringLiteral("Label2")), QStringLiteral("Buzzer Pitch  : "));
        QCOMPARE(text(QStringLiteral("Label3")), QStringLiteral("Buzzer Duration  : "));
        QCOMPARE(text(QStringLiteral("Option1(3)")), QStringLiteral("ALT Mode"));
        QVERIFY(!get(QStringLiteral("Check1"))->isEnabled());
        click(QStringLiteral("Option1(3)"));
        QCOMPARE(selected("Option1", 4), QList<int>{1});
        for (const QString &name : {QStringLiteral("Slider1"), QStringLiteral("Slider2")}) {
            auto *s = get<QSlider>(name);
            QCOMPARE(QList<int>({s->minimum(), s->maximum(), s->singleStep(), s->pageStep()}), QList<int>({0, 255, 1, 10}));
        }
    }

    void parameterLoadAndUnchangedAccept()
    {
        setBytes(57, {200, 7});
        m_session.ParamImage[52] = 0x38;
        m_session.ParamImage[35] = 0xFB;
        m_session.ParamImage[29] = 0x63;
        open(2, 2);
        QCOMPARE(text(QStringLiteral("Text1")), QStringLiteral("200"));
        QCOMPARE(get<QSlider>(QStringLiteral("Slider1"))->value(), 200);
        QCOMPARE(get<QSlider>(QStringLiteral("Slider2"))->value(), 7);
        QCOMPARE(selected("Option1", 4), QList<int>{2});
        QVERIFY(!get<QCheckBox>(QStringLiteral("Check1"))->isChecked());
        QVERIFY(get<QCheckBox>(QStringLiteral("Check2"))->isChecked() && get<QCheckBox>(QStringLiteral("Check3"))->isChecked());
        const Image before = image();
        click(QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kParameterOk});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(m_session.SettingsChanged);
    }

    void slidersAndBoxesMoveTogether()
    {
        open(2, 2);
        auto *slider = get<QSlider>(QStringLiteral("Slider1"));
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(text(QStringLiteral("Text1")), QStringLiteral("255"));
        QTest::keyClick(slider, Qt::Key_PageDown);
        QCOMPARE(text(QStringLiteral("Text1")), QStringLiteral("245"));
        type(QStringLiteral("Text1"), QStringLiteral("017"));
        QCOMPARE(slider->value(), 17);
        QCOMPARE(text(QStringLiteral("Text1")), QStringLiteral("017")); // the box keeps what was typed
        for (const QString &t : {QStringLiteral("300"), QStringLiteral("-4"), QStringLiteral("2.5")}) {
            get<QLineEdit>(QStringLiteral("Text1"))->setText(t);
            QCOMPARE(slider->value(), 17);
        }
        type(QStringLiteral("Text1"), QString());
        QCOMPARE(slider->value(), 0);
        type(QStringLiteral("Text2"), QStringLiteral("99"));
        QTest::keyClick(get(QStringLiteral("Slider2")), Qt::Key_Right);
        QCOMPARE(text(QStringLiteral("Text2")), QStringLiteral("100"));
        QCOMPARE(slider->value(), 0);
    }

    void acceptStoresTheChoices()
    {
        setBytes(29, {0x61});
        setBytes(35, {0x40});
        setBytes(52, {0xA8});
        open(2, 2);
        type(QStringLiteral("Text1"), QStringLiteral("100"));
        type(QStringLiteral("Text2"), QString());
        click(QStringLiteral("Option1(0)"));
        click(QStringLiteral("Check2"));
        click(QStringLiteral("Check3"));
        click(QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kParameterOk});
        QCOMPARE(bytes({57, 58, 52, 35, 29}), (QList<int>{100, 0, 0xA2, 0x40, 0x62}));
        QCOMPARE(text(QStringLiteral("Text2")), QStringLiteral("0"));
    }

    void acceptRefusesABadBuzzerValue_data()
    {
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<QString>("wrongBox");
        QTest::newRow("256 in Text2") << QStringLiteral("30") << QStringLiteral("256") << QStringLiteral("Text2");
        QTest::newRow("both wrong: Text1") << QStringLiteral("abc") << QStringLiteral("-1") << QStringLiteral("Text1");
        QTest::newRow("fraction") << QStringLiteral("8") << QStringLiteral("2.5") << QStringLiteral("Text2");
    }
    void acceptRefusesABadBuzzerValue()
    {
        QFETCH(QString, pitch);
        QFETCH(QString, duration);
        QFETCH(QString, wrongBox);
        open(2, 2);
        type(QStringLiteral("Text1"), pitch);
        type(QStringLiteral("Text2"), duration);
        click(QStringLiteral("Option1(2)"));
        click(QStringLiteral("Check2"));
        auto *box = get<QLineEdit>(wrongBox);
        box->setCursorPosition(0);
        const Image before = image();
        click(QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kRange});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        QCOMPARE(box->selectionStart(), 0);
        QCOMPARE(box->selectedText(), box->text());
        QVERIFY(box->hasFocus());
    }

    void caseCodeWithoutAnOption()
    {
        m_session.ParamImage[52] = 0x92;
        open(2, 2);
        QCOMPARE(selected("Option1", 4), QList<int>{0});
        // Low nibble 4: no option shows, not even the earlier one, and Accept keeps the byte.
        m_session.ParamImage[52] = 0x94;
        m_w->activate();
        QCOMPARE(selected("Option1", 4), QList<int>());
        click(QStringLiteral("Command1"));
        QCOMPARE(m_session.ParamImage[52], quint8(0x94));
    }

    void parameterDefault()
    {
        setBytes(29, {0xE0});
        setBytes(52, {0xFF});
        setBytes(35, {0x00});
        open(2, 2);
        type(QStringLiteral("Text1"), QStringLiteral("77"));
        const Image before = image();
        m_ui.answer(Ui::Answer::No);
        click(QStringLiteral("Command2"));
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        QCOMPARE(text(QStringLiteral("Text1")), QStringLiteral("77"));

        m_ui.answer(Ui::Answer::Yes);
        click(QStringLiteral("Command2"));
        QCOMPARE(m_ui.boxes, (QList<Box>{kParameterDefault, kParameterDefault}));
        QCOMPARE(bytes({57, 58, 52, 35, 29}), (QList<int>{22, 4, 0x50, 0x04, 0x01}));
        QCOMPARE(changedBytes(before), (QList<int>{29, 35, 52, 57, 58}));
        QVERIFY(m_session.SettingsChanged);
        // The controls show the new values.
        QCOMPARE(text(QStringLiteral("Text1")), QStringLiteral("22"));
        QCOMPARE(get<QSlider>(QStringLiteral("Slider2"))->value(), 4);
        QCOMPARE(selected("Option1", 4), QList<int>{1});
        QVERIFY(get<QCheckBox>(QStringLiteral("Check1"))->isChecked());
        QVERIFY(!get<QCheckBox>(QStringLiteral("Check3"))->isChecked());
    }

    // --- Terminators

    void terminatorWindow()
    {
        for (bool rs232 : {false, true}) {
            m_session.Rs232Interface = rs232;
            open(2, 4);
            QCOMPARE(m_w->objectName(), QStringLiteral("frmTerminator"));
            QCOMPARE(m_w->parentWidget()->geometry(), m_main->childArea());
            QCOMPARE(currentTab(), rs232 ? 1 : 0);
            QCOMPARE(fitProblems(m_w), QStringList());
            if (!rs232)
                closeWindow();
        }
        auto *tabs = get<QTabWidget>(QStringLiteral("SSTab1"));
        QCOMPARE(tabs->tabText(0), QStringLiteral("Keyboard"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("RS-232"));
        QCOMPARE(text(QStringLiteral("Option1(5)")), QStringLiteral("CTRL-C"));
        QCOMPARE(text(QStringLiteral("Option2(8)")), QStringLiteral("STX.....ETX"));
        QCOMPARE(text(QStringLiteral("Option2(9)")), QStringLiteral("XON.....XOFF"));
        QVERIFY(tabs->widget(0)->isAncestorOf(get(QStringLiteral("Command2"))));
        QVERIFY(tabs->widget(1)->isAncestorOf(get(QStringLiteral("Command3"))));
        QVERIFY(!tabs->isAncestorOf(get(QStringLiteral("Command1"))));
    }

    void terminatorFirstActivation_data()
    {
        QTest::addColumn<int>("byte50");
        QTest::addColumn<int>("byte39");
        QTest::addColumn<QList<int>>("keyboard"); // selected options
        QTest::addColumn<QList<int>>("rs232");
        QTest::addColumn<int>("stored39");
        QTest::newRow("EXEC, EOT") << 8 << 10 << QList<int>{6} << QList<int>{10} << 10;
        QTest::newRow("SPACE, CR/LF") << 4 << 3 << QList<int>{2} << QList<int>{3} << 3;
        QTest::newRow("keyboard 2 has no option") << 2 << 1 << QList<int>() << QList<int>{1} << 1;
        QTest::newRow("RS-232 12 has no option") << 0 << 12 << QList<int>{0} << QList<int>() << 12;
    }
    void terminatorFirstActivation()
    {
        QFETCH(int, byte50);
        QFETCH(int, byte39);
        QFETCH(QList<int>, keyboard);
        QFETCH(QList<int>, rs232);
        QFETCH(int, stored39);
        setBytes(50, {byte50});
        setBytes(39, {byte39});
        open(2, 4);
        QCOMPARE(selected("Option1", 7), keyboard);
        QCOMPARE(selected("Option2", 11), rs232);
        const Image before = image();
        click(QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kTerminatorOk});
        QCOMPARE(bytes({50, 39}), (QList<int>{byte50, stored39}));
        QVERIFY(changedBytes(before).size() <= 1);
        QVERIFY(m_session.SettingsChanged);
    }

    void terminatorCodeWithoutOptionShowsNone()
    {
        setBytes(50, {1});
        open(2, 4);
        QCOMPARE(selected("Option1", 7), QList<int>{1});
        setBytes(50, {2});
        m_w->activate();
        QCOMPARE(selected("Option1", 7), QList<int>());
        click(QStringLiteral("Command1"));
        QCOMPARE(m_session.ParamImage[50], quint8(2));
    }

    void terminatorDefaults()
    {
        m_session.Rs232Interface = false;
        setBytes(50, {7});
        setBytes(39, {9});
        open(2, 4);
        // The RS-232 choice sits on the hidden tab; the keyboard Default stores it too.
        get<QAbstractButton>(QStringLiteral("Option2(2)"))->setChecked(true);
        const Image before = image();
        m_ui.answer(Ui::Answer::No);
        click(QStringLiteral("Command2"));
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        m_ui.answer(Ui::Answer::Yes);
        click(QStringLiteral("Command2"));
        QCOMPARE(selected("Option1", 7), QList<int>{1});
        QCOMPARE(bytes({50, 39}), (QList<int>{1, 2}));
        QCOMPARE(changedBytes(before), (QList<int>{39, 50}));
        QVERIFY(m_session.SettingsChanged);

        m_session.Rs232Interface = true;
        m_w->activate();
        get<QAbstractButton>(QStringLiteral("Option1(6)"))->setChecked(true);
        m_ui.answer(Ui::Answer::Yes);
        click(QStringLiteral("Command3"));
        QCOMPARE(bytes({50, 39}), (QList<int>{8, 1}));
        QCOMPARE(m_ui.boxes, (QList<Box>{kKeyboardDefault, kKeyboardDefault, kRs232Default}));
    }

    void terminatorTabFollowsTheInterface()
    {
        m_session.Rs232Interface = false;
        open(2, 4);
        clickTab(1);
        QCOMPARE(currentTab(), 0);
        QTest::keyClick(get(QStringLiteral("SSTab1")), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(currentTab(), 0);
        m_session.Rs232Interface = true; // read again at every tab click
        clickTab(0);
        QCOMPARE(currentTab(), 1);
    }

    void leavingTheTerminatorWindowStoresIt()
    {
        setBytes(39, {1});
        open(2, 4);
        ChildWindow *terminator = m_w;
        open(2, 2);
        QVERIFY(!m_session.SettingsChanged); // nothing changed, nothing to save
        open(2, 4);
        QCOMPARE(m_w, terminator);
        click(QStringLiteral("Option2(3)"));
        QCOMPARE(m_session.ParamImage[39], quint8(1));
        open(2, 2);
        QCOMPARE(m_session.ParamImage[39], quint8(3));
        QVERIFY(m_session.SettingsChanged);
        QVERIFY(m_ui.boxes.isEmpty());
    }

    // --- Preamble and postamble

    void ambleWindow()
    {
        for (bool rs232 : {false, true}) {
            m_session.Rs232Interface = rs232;
            open(2, 3);
            QCOMPARE(m_w->objectName(), QStringLiteral("frmAmble"));
            QCOMPARE(m_w->parentWidget()->geometry(), m_main->childArea());
            QCOMPARE(get(QStringLiteral("Command1"))->pos(), QPoint(twips(4480), twips(5200)));
            QCOMPARE(get(QStringLiteral("Command2"))->pos(), QPoint(twips(6480), twips(5200)));
            for (int k : kCells) // the widest names
                cell(k)->setText(rs232 ? QStringLiteral("NULL") : QStringLiteral("S-Tab"));
            QCOMPARE(fitProblems(m_w), QStringList());
            closeWindow();
        }
        open(2, 3);
        QCOMPARE(text(QStringLiteral("Label1")), QStringLiteral("Preamble & Postamble"));
        QCOMPARE(text(QStringLiteral("Label4")), QStringLiteral("(Click button to set preamble character or postamble character )  "));
        for (int k : kCells) {
            QCOMPARE(cell(k)->toolTip(), QStringLiteral("Click mouse right button to clear"));
            QVERIFY(code(k)->geometry().top() >= cell(k)->geometry().bottom()); // beneath its button
            QVERIFY(qAbs(code(k)->geometry().center().x() - cell(k)->geometry().center().x()) < 3);
        }
        QVERIFY(cell(7)->geometry().bottom() < cell(10)->geometry().top());
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
        QTest::newRow("ampersand") << false << 38 << QStringLiteral("&&") << QStringLiteral("&H26");
        QTest::newRow("no RS-232 name") << true << 200 << QString() << QStringLiteral("&HC8");
    }
    void ambleLoadNamesTheCodes()
    {
        QFETCH(bool, rs232);
        QFETCH(int, byte80);
        QFETCH(QString, caption);
        QFETCH(QString, codeText);
        m_session.Rs232Interface = rs232;
        setBytes(80, {byte80});
        setBytes(95, {'Z'});
        open(2, 3);
        QCOMPARE(cell(0)->text(), caption);
        QCOMPARE(code(0)->text(), codeText);
        QCOMPARE(cell(17)->text(), QStringLiteral("Z"));
        QCOMPARE(code(17)->text(), QStringLiteral("&H5A"));
    }

    void ambleBuiltByPickingAndClearing()
    {
        m_session.Rs232Interface = false;
        open(2, 3);
        pick(0, 0x02);
        QVERIFY(m_session.Rs232Interface); // a press on a cell chooses RS-232 naming
        pick(1, 'A');
        for (int k = 2; k < 8; ++k)
            clearCell(k, k == 2 ? Qt::MiddleButton : Qt::RightButton);
        QCOMPARE(m_ui.modalWindows, (QStringList{QStringLiteral("sfrmASC"), QStringLiteral("sfrmASC")}));
        QCOMPARE((QStringList{cell(0)->text(), code(0)->text(), cell(1)->text(), cell(2)->text(), code(7)->text()}),
                 (QStringList{QStringLiteral("STX"), QStringLiteral("&H2"), QStringLiteral("A"), QStringLiteral("NULL"),
                              QStringLiteral("0")}));
        const Image before = image();
        QCOMPARE(changedBytes(before), QList<int>()); // the image waits for Accept
        click(QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kAmbleOk});
        QCOMPARE(bytes(80, 8), (QList<int>{2, 65, 0, 0, 0, 0, 0, 0}));
        for (int i : changedBytes(before))
            QVERIFY(i >= 80 && i < 96);
        QVERIFY(m_session.SettingsChanged);
    }

    void pickingAnAmpersand()
    {
        setBytes(80, QList<int>(16, 0));
        open(2, 3);
        // Through the table's own event loop, as the program shows it.
        m_ui.onModal([](QDialog &d) {
            QTimer::singleShot(0, &d, [&d]() { pressCharacter(d, '&'); });
            return d.exec();
        });
        QTest::mouseClick(cell(0), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(cell(0)->text(), QStringLiteral("&&")); // one ampersand on screen, no access key
        QCOMPARE(code(0)->text(), QStringLiteral("&H26"));
        click(QStringLiteral("Command1"));
        QCOMPARE(m_session.ParamImage[80], quint8(38));
    }

    void closingThePickerLeavesTheCell()
    {
        setBytes(81, {'Q'});
        open(2, 3);
        m_session.PickedName = QStringLiteral("X");
        m_session.PickedCode = QStringLiteral("58");
        m_ui.onModal([](QDialog &d) {
            d.show();
            d.close();
            return d.result();
        });
        QTest::mouseClick(cell(1), Qt::LeftButton);
        QCOMPARE(cell(1)->text(), QStringLiteral("Q"));
        QCOMPARE(code(1)->text(), QStringLiteral("&H51"));
    }

    void gapsAreRefusedAndNothingIsWritten_data()
    {
        QTest::addColumn<QList<int>>("image80to95");
        QTest::addColumn<QList<int>>("cleared");
        QTest::addColumn<QList<int>>("picked"); // given 'X'
        QTest::addColumn<Box>("message");
        QTest::addColumn<int>("focus");
        QTest::newRow("preamble") << QList<int>{'A', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0} << QList<int>{0}
                                  << QList<int>() << kPreambleGap << 1;
        QTest::newRow("only the postamble") << QList<int>{'A', 'B', 0, 0, 0, 0, 0, 0, 'C', 'D', 'E', 0, 0, 0, 0, 0}
                                            << QList<int>{11} << QList<int>{2} << kPostambleGap << 12;
    }
    void gapsAreRefusedAndNothingIsWritten()
    {
        QFETCH(QList<int>, image80to95);
        QFETCH(QList<int>, cleared);
        QFETCH(QList<int>, picked);
        QFETCH(Box, message);
        QFETCH(int, focus);
        setBytes(80, image80to95);
        open(2, 3);
        for (int k : picked)
            pick(k, 'X');
        for (int k : cleared)
            clearCell(k);
        const Image before = image();
        click(QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{message});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        QVERIFY(cell(focus)->hasFocus());
    }

    void aCodeTextThatIsNoByteIsRefused_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("text");
        QTest::newRow("above 255") << 3 << QStringLiteral("&H100");
        QTest::newRow("negative") << 0 << QStringLiteral("-1");
        QTest::newRow("fraction") << 10 << QStringLiteral("1.5");
    }
    void aCodeTextThatIsNoByteIsRefused()
    {
        QFETCH(int, k);
        QFETCH(QString, text);
        setBytes(80, QList<int>(16, 'M'));
        open(2, 3);
        pick(1, 'N');
        code(k)->setText(text);
        const Image before = image();
        click(QStringLiteral("Command1"));
        QCOMPARE(m_ui.boxes, QList<Box>{kRange});
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(code(k)->hasFocus());
        QCOMPARE(code(k)->selectionStart(), 0);
        QCOMPARE(code(k)->selectedText(), text);
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
        open(2, 3);
        const Image before = image();
        m_ui.answer(Ui::Answer::No);
        click(QStringLiteral("Command2"));
        QCOMPARE(changedBytes(before), QList<int>());
        QVERIFY(!m_session.SettingsChanged);
        m_ui.answer(Ui::Answer::Yes);
        click(QStringLiteral("Command2"));
        QCOMPARE(m_ui.boxes, (QList<Box>{kAmbleDefault, kAmbleDefault}));
        QCOMPARE(bytes(80, 16), QList<int>(16, 0));
        for (int i : changedBytes(before))
            QVERIFY(i >= 80 && i < 96);
        QVERIFY(m_session.SettingsChanged);
        for (int k : kCells) {
            QCOMPARE(cell(k)->text(), caption);
            QCOMPARE(code(k)->text(), QStringLiteral("&H00"));
        }
    }

    // --- All three

    void defaultsAgreeWithTheFactoryFile()
    {
        QVERIFY(LoadFactoryDefaults(m_session, TestFiles::sourceDir()));
        const Image factory = image();
        for (const auto &[item, defaults] : QList<QPair<int, QStringList>>{
                 {2, {QStringLiteral("Command2")}},
                 {4, {QStringLiteral("Command2"), QStringLiteral("Command3")}},
                 {3, {QStringLiteral("Command2")}}}) {
            open(2, item);
            for (const QString &d : defaults) {
                m_ui.answer(Ui::Answer::Yes);
                click(d);
            }
            click(QStringLiteral("Command1"));
        }
        QCOMPARE(m_ui.boxes.size(), 7);
        QCOMPARE(changedBytes(factory), QList<int>());
    }
};

QTEST_MAIN(TestFormatWindows)
#include "tst_formatwindows.moc"
