#include "core/Session.h"
#include "format/sfrmASC.h"
#include "format/sfrmPad.h"
#include "platform/Twips.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QWindow>

class TestPickers : public QObject
{
    Q_OBJECT

    Session m_session;

    static void pressCell(sfrmASC &table, int row, int column, Qt::MouseButton button = Qt::LeftButton)
    {
        QTableWidget *grid = table.findChild<QTableWidget *>(QStringLiteral("MSHFlexGrid1"));
        const QPoint at = grid->visualItemRect(grid->item(row, column)).center();
        QTest::mousePress(grid->viewport(), button, {}, at);
        QTest::mouseRelease(grid->viewport(), button, {}, at);
    }
    static void pressKeys(sfrmPad &pad, const QList<int> &keys)
    {
        for (int k : keys)
            QTest::mouseClick(pad.findChild<QPushButton *>(QStringLiteral("CB(%1)").arg(k)), Qt::LeftButton);
    }

private Q_SLOTS:
    void init() { m_session = Session(); }

    void tableShowsEveryCellWhole()
    {
        sfrmASC table(m_session);
        table.show();
        QCOMPARE(table.windowTitle(), QStringLiteral("RS-232 Interface   ASCII Table"));
        QTableWidget *grid = table.findChild<QTableWidget *>(QStringLiteral("MSHFlexGrid1"));
        QCOMPARE(grid->rowCount(), 17);
        QCOMPARE(grid->columnCount(), 9);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("L \\ H"));
        QCOMPARE(grid->item(0, 8)->text(), QStringLiteral("7"));
        QCOMPARE(grid->item(10, 0)->text(), QStringLiteral("9"));
        QCOMPARE(grid->item(11, 0)->text(), QStringLiteral("A"));
        for (int c = 0; c < 9; ++c) {
            QCOMPARE(grid->columnWidth(c), twips(550));
            for (int r = 0; r < 17; ++r)
                QVERIFY2(grid->fontMetrics().horizontalAdvance(grid->item(r, c)->text()) + 4 <= grid->columnWidth(c),
                         qPrintable(grid->item(r, c)->text()));
        }
        QVERIFY(table.rect().contains(grid->geometry()));
        QVERIFY(grid->viewport()->rect().contains(grid->visualItemRect(grid->item(16, 8))));
    }

    void pickingACharacter_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("SP") << 1 << 3 << int(Qt::LeftButton) << QStringLiteral("20") << QStringLiteral("SP");
        QTest::newRow("DEL") << 16 << 8 << int(Qt::LeftButton) << QStringLiteral("7F") << QStringLiteral("DEL");
        QTest::newRow("NUL") << 1 << 1 << int(Qt::LeftButton) << QStringLiteral("0") << QStringLiteral("NUL");
        QTest::newRow("US") << 16 << 2 << int(Qt::LeftButton) << QStringLiteral("1F") << QStringLiteral("US");
        QTest::newRow("A") << 2 << 5 << int(Qt::LeftButton) << QStringLiteral("41") << QStringLiteral("A");
        QTest::newRow("right button, j") << 11 << 7 << int(Qt::RightButton) << QStringLiteral("6A") << QStringLiteral("j");
    }
    void pickingACharacter()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, button);
        QFETCH(QString, code);
        QFETCH(QString, name);
        sfrmASC table(m_session);
        table.show();
        pressCell(table, row, column, Qt::MouseButton(button));
        QCOMPARE(m_session.PickedCode, code);
        QCOMPARE(m_session.PickedName, name);
        QVERIFY(!table.isVisible());
        QCOMPARE(table.result(), int(QDialog::Accepted));
    }

    void headerCellsPickNothing_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("digit 3 of the header row") << 0 << 4;
        QTest::newRow("letter A of the header column") << 11 << 0;
        QTest::newRow("corner") << 0 << 0;
    }
    void headerCellsPickNothing()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        sfrmASC table(m_session);
        table.show();
        pressCell(table, row, column);
        pressCell(table, row, column, Qt::RightButton);
        QVERIFY(table.isVisible());
        QVERIFY(m_session.PickedCode.isEmpty());
        QVERIFY(m_session.PickedName.isEmpty());
    }

    void everyShowForgetsTheLastPick()
    {
        sfrmASC table(m_session);
        table.show();
        pressCell(table, 2, 5);
        QCOMPARE(m_session.PickedName, QStringLiteral("A"));
        table.show();
        QVERIFY(m_session.PickedName.isEmpty() && m_session.PickedCode.isEmpty());
        table.close(); // by its frame
        QVERIFY(m_session.PickedName.isEmpty());
    }

    // Without a mouse: arrows move, Enter or Space picks, Esc closes with nothing picked.
    void tableByKeyboard_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("NUL where it starts") << QList<int>{Qt::Key_Return} << QStringLiteral("0") << QStringLiteral("NUL");
        QTest::newRow("headers are not reached") << QList<int>{Qt::Key_Up, Qt::Key_Left, Qt::Key_Space}
                                                 << QStringLiteral("0") << QStringLiteral("NUL");
        QTest::newRow("SP") << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Enter} << QStringLiteral("20")
                            << QStringLiteral("SP");
        QList<int> toDel(16, Qt::Key_Down);
        toDel += QList<int>(8, Qt::Key_Right);
        QTest::newRow("DEL in the far corner") << toDel + QList<int>{Qt::Key_Return} << QStringLiteral("7F")
                                               << QStringLiteral("DEL");
        QTest::newRow("Esc") << QList<int>{Qt::Key_Down, Qt::Key_Escape} << QString() << QString();
    }
    void tableByKeyboard()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, code);
        QFETCH(QString, name);
        sfrmASC table(m_session);
        table.show();
        QVERIFY(QTest::qWaitForWindowActive(&table));
        QVERIFY(table.MSHFlexGrid1()->hasFocus());
        for (int k : keys)
            QTest::keyClick(table.windowHandle(), Qt::Key(k));
        QCOMPARE(m_session.PickedCode, code);
        QCOMPARE(m_session.PickedName, name);
        QVERIFY(!table.isVisible());
    }

    void padByKeyboard()
    {
        sfrmPad pad(m_session);
        pad.show();
        QVERIFY(QTest::qWaitForWindowActive(&pad));
        QWindow *w = pad.windowHandle();
        QVERIFY(pad.CB(sfrmPad::EnterKey)->hasFocus());
        QTest::keyClick(w, '1'); // typed digits work their keys
        QTest::keyClick(w, 'f');
        QTest::keyClick(w, Qt::Key_Backspace);
        QCOMPARE(pad.entry(), QStringLiteral("1"));
        // From Enter: up to "E", left to "D", up to "9"; Enter presses the focused key.
        for (Qt::Key k : {Qt::Key_Up, Qt::Key_Left, Qt::Key_Up, Qt::Key_Return})
            QTest::keyClick(w, k);
        QCOMPARE(pad.entry(), QStringLiteral("19"));
        for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Return})
            QTest::keyClick(w, k); // down to CLR's row, right to Enter
        QCOMPARE(m_session.PadResult, QStringLiteral("19"));
        QVERIFY(pad.Entered);

        pad.show();
        QVERIFY(QTest::qWaitForWindowActive(&pad));
        QTest::keyClick(pad.windowHandle(), '7');
        QTest::keyClick(pad.windowHandle(), Qt::Key_Escape);
        QVERIFY(!pad.isVisible());
        QVERIFY(m_session.PadResult.isEmpty());
    }

    void padKeys()
    {
        sfrmPad pad(m_session);
        pad.show();
        const QStringList captions = QStringLiteral("0 1 2 3 4 5 6 7 8 9 A B C D E F _ CLR Enter").split(QLatin1Char(' '));
        for (int i = 0; i < 19; ++i) {
            auto *key = pad.findChild<QPushButton *>(QStringLiteral("CB(%1)").arg(i));
            QCOMPARE(key->text(), i == 16 ? QString() : captions[i]);
            QVERIFY(pad.rect().contains(key->geometry()));
        }
        QVERIFY(!pad.findChild<QPushButton *>(QStringLiteral("CB(16)"))->icon().isNull());
    }

    void padEntry_data()
    {
        QTest::addColumn<QList<int>>("keys"); // then Enter
        QTest::addColumn<QString>("result");
        const int back = 16, clr = 17;
        QTest::newRow("1 F back A") << QList<int>{1, 15, back, 10} << QStringLiteral("1A");
        QTest::newRow("CLR empties") << QList<int>{5, 6, clr} << QString();
        QTest::newRow("back on empty") << QList<int>{back, back} << QString();
        QTest::newRow("no length limit") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15}
                                         << QStringLiteral("0123456789ABCDEFF");
    }
    void padEntry()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, result);
        m_session.PadResult = QStringLiteral("old");
        sfrmPad pad(m_session);
        pad.show();
        pressKeys(pad, keys);
        QCOMPARE(pad.entry(), result);
        // The title bar shows the entry; a blank one keeps X11 from showing the program's name.
        QCOMPARE(pad.windowTitle(), result.isEmpty() ? QStringLiteral(" ") : result);
        pressKeys(pad, {18});
        QCOMPARE(m_session.PadResult, result);
        QVERIFY(pad.Entered);
        QVERIFY(!pad.isVisible());
    }

    void padClosedOtherwiseReturnsNothing()
    {
        sfrmPad pad(m_session);
        pad.show();
        pressKeys(pad, {3, 18});
        QCOMPARE(m_session.PadResult, QStringLiteral("3"));
        // Shown again: empty and not entered; Return presses the focused key, the frame is no Enter.
        pad.show();
        QCOMPARE(pad.entry(), QString());
        QVERIFY(!pad.Entered);
        pressKeys(pad, {4});
        QTest::keyClick(pad.findChild<QPushButton *>(QStringLiteral("CB(4)")), Qt::Key_Return);
        QCOMPARE(pad.entry(), QStringLiteral("44"));
        QTest::keyClick(pad.findChild<QPushButton *>(QStringLiteral("CB(18)")), Qt::Key_Return);
        QCOMPARE(m_session.PadResult, QStringLiteral("44"));
        pad.show();
        pressKeys(pad, {7, 8});
        pad.close();
        QVERIFY(!pad.Entered);
        QVERIFY(m_session.PadResult.isEmpty());
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
