#include "app/Session.h"
#include "format/sfrmASC.h"
#include "format/sfrmPad.h"
#include "platform/Twips.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

class TestPickers : public QObject
{
    Q_OBJECT

    Session m_session;

    static void pressCell(sfrmASC &table, int row, int column, Qt::MouseButton button = Qt::LeftButton)
    {
        QTableWidget *grid = table.MSHFlexGrid1();
        const QRect cell = grid->visualItemRect(grid->item(row, column));
        QTest::mousePress(grid->viewport(), button, {}, cell.center());
        QTest::mouseRelease(grid->viewport(), button, {}, cell.center());
    }

    void pressKeys(sfrmPad &pad, const QList<int> &keys)
    {
        for (int k : keys)
            QTest::mouseClick(pad.CB(k), Qt::LeftButton);
    }

private Q_SLOTS:
    void init()
    {
        m_session = Session();
    }

    void tableLooksLikeTheFlexGrid()
    {
        sfrmASC table(m_session);
        table.show();
        QCOMPARE(table.windowTitle(), QStringLiteral("RS-232 Interface   ASCII Table"));
        QTableWidget *grid = table.findChild<QTableWidget *>(QStringLiteral("MSHFlexGrid1"));
        QVERIFY(grid);
        QCOMPARE(grid->rowCount(), 17);
        QCOMPARE(grid->columnCount(), 9);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("L \\ H"));
        QCOMPARE(grid->item(0, 8)->text(), QStringLiteral("7"));
        QCOMPARE(grid->item(10, 0)->text(), QStringLiteral("9"));
        QCOMPARE(grid->item(11, 0)->text(), QStringLiteral("A"));
        QCOMPARE(grid->item(16, 0)->text(), QStringLiteral("F"));
        // Every column is 550 twips and shows its widest name whole; the grid
        // fits the window and shows every row.
        for (int c = 0; c < 9; ++c) {
            QCOMPARE(grid->columnWidth(c), twips(550));
            for (int r = 0; r < 17; ++r) {
                const QString text = grid->item(r, c)->text();
                QVERIFY2(grid->fontMetrics().horizontalAdvance(text) + 4 <= grid->columnWidth(c), qPrintable(text));
                QCOMPARE(grid->item(r, c)->textAlignment(), int(Qt::AlignCenter));
            }
        }
        QVERIFY(table.rect().contains(grid->geometry()));
        QVERIFY(grid->viewport()->rect().contains(grid->visualItemRect(grid->item(16, 8))));
        QVERIFY(table.width() >= twips(4960) + twips(220));
        // The 128 character cells name 128 different characters.
        QSet<QString> names;
        for (int c = 1; c < 9; ++c)
            for (int r = 1; r < 17; ++r)
                names << grid->item(r, c)->text();
        QCOMPARE(names.size(), 128);
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
        QTest::newRow("STX") << 3 << 1 << int(Qt::LeftButton) << QStringLiteral("2") << QStringLiteral("STX");
        QTest::newRow("US") << 16 << 2 << int(Qt::LeftButton) << QStringLiteral("1F") << QStringLiteral("US");
        QTest::newRow("A") << 2 << 5 << int(Qt::LeftButton) << QStringLiteral("41") << QStringLiteral("A");
        QTest::newRow("ampersand") << 7 << 3 << int(Qt::LeftButton) << QStringLiteral("26") << QStringLiteral("&");
        QTest::newRow("tilde") << 15 << 8 << int(Qt::LeftButton) << QStringLiteral("7E") << QStringLiteral("~");
        QTest::newRow("right button picks too") << 11 << 7 << int(Qt::RightButton) << QStringLiteral("6A")
                                                << QStringLiteral("j");
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
        QTest::newRow("last header column cell") << 16 << 0;
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
        // Shown again and closed by its frame: nothing picked.
        table.show();
        QVERIFY(m_session.PickedName.isEmpty());
        QVERIFY(m_session.PickedCode.isEmpty());
        table.close();
        QVERIFY(m_session.PickedName.isEmpty());
        QCOMPARE(table.result(), int(QDialog::Rejected));
    }

    void padKeys()
    {
        sfrmPad pad(m_session);
        const QStringList captions{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                   QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
                                   QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("A"), QStringLiteral("B"),
                                   QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E"), QStringLiteral("F"),
                                   QString(), QStringLiteral("CLR"), QStringLiteral("Enter")};
        for (int i = 0; i < 19; ++i) {
            auto *key = pad.findChild<QPushButton *>(QStringLiteral("CB(%1)").arg(i));
            QVERIFY(key);
            QCOMPARE(key->text(), captions[i]);
        }
        QVERIFY(!pad.CB(16)->icon().isNull());
        pad.show();
        for (int i = 0; i < 19; ++i)
            QVERIFY(pad.rect().contains(pad.CB(i)->geometry()));
    }

    void padEntry_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("result");
        const int back = 16, clr = 17, enter = 18;
        QTest::newRow("1 F back A") << QList<int>{1, 15, back, 10} << QStringLiteral("1A") << QStringLiteral("1A");
        QTest::newRow("CLR empties") << QList<int>{5, 6, clr} << QString() << QString();
        QTest::newRow("back on empty") << QList<int>{back, back} << QString() << QString();
        QTest::newRow("back, then digits") << QList<int>{back, 0, 9} << QStringLiteral("09") << QStringLiteral("09");
        QTest::newRow("no length limit")
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15}
            << QStringLiteral("0123456789ABCDEFF") << QStringLiteral("0123456789ABCDEFF");
        QTest::newRow("CLR then more") << QList<int>{12, clr, 13} << QStringLiteral("D") << QStringLiteral("D");
        Q_UNUSED(enter);
    }
    void padEntry()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, title);
        QFETCH(QString, result);
        m_session.PadResult = QStringLiteral("old");
        sfrmPad pad(m_session);
        pad.show();
        pressKeys(pad, keys);
        QCOMPARE(pad.windowTitle(), title);
        QVERIFY(pad.isVisible());
        QTest::mouseClick(pad.CB(18), Qt::LeftButton);
        QCOMPARE(m_session.PadResult, result);
        QVERIFY(pad.Entered);
        QVERIFY(!pad.isVisible());
    }

    void padClosedByItsFrameReturnsNothing()
    {
        sfrmPad pad(m_session);
        pad.show();
        pressKeys(pad, {7, 8});
        pad.close();
        QVERIFY(!pad.Entered);
        QVERIFY(m_session.PadResult.isEmpty());
        QCOMPARE(pad.result(), int(QDialog::Rejected));
    }

    void padStartsEmptyEachTime()
    {
        sfrmPad pad(m_session);
        pad.show();
        pressKeys(pad, {3, 18});
        QCOMPARE(m_session.PadResult, QStringLiteral("3"));
        pad.show();
        QCOMPARE(pad.windowTitle(), QString());
        QVERIFY(!pad.Entered);
        // Return on any key is Enter.
        pressKeys(pad, {4});
        QTest::keyClick(pad.CB(4), Qt::Key_Return);
        QCOMPARE(m_session.PadResult, QStringLiteral("4"));
        QVERIFY(!pad.isVisible());
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
