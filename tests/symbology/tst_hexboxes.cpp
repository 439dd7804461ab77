#include "core/Session.h"
#include "format/sfrmPad.h"
#include "support/ScriptedUi.h"
#include "symbology/HexBoxes.h"

#include <QClipboard>
#include <QDialog>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using Box = ScriptedUi::Box;

namespace {
const Box kFormatError{QStringLiteral("Use the following characters only:   \r\n\r\n0123456789ABCDEF "), Ui::Buttons::Ok,
                       Ui::Icon::Information, QStringLiteral("Format Error")};
const Box kDuplicate{QStringLiteral("CODE ID may not duplicate !! "), Ui::Buttons::Ok, Ui::Icon::Exclamation,
                     QStringLiteral("ZEV")};

// Presses pad keys by caption, then Enter.
ScriptedUi::ModalHandler padTyping(const QString &keys)
{
    return [keys](QDialog &d) {
        auto &pad = static_cast<sfrmPad &>(d);
        for (const QChar k : keys)
            for (int i = 0; i < sfrmPad::Keys; ++i)
                if (pad.CB(i)->text() == QString(k))
                    QTest::mouseClick(pad.CB(i), Qt::LeftButton);
        QTest::mouseClick(pad.CB(sfrmPad::EnterKey), Qt::LeftButton);
        return 1;
    };
}
} // namespace

class TestHexBoxes : public QObject
{
    Q_OBJECT

    Session m_session;
    ScriptedUi m_ui;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<HexBoxes> m_boxes;

    QLineEdit *tb(int i) { return m_window->findChild<QLineEdit *>(QStringLiteral("TB(%1)").arg(i)); }
    QLineEdit *text1(int i) { return m_window->findChild<QLineEdit *>(QStringLiteral("Text1(%1)").arg(i)); }
    QPushButton *button(const char *name, int i)
    {
        return m_window->findChild<QPushButton *>(QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i));
    }

private Q_SLOTS:
    void init()
    {
        m_ui.clear();
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        auto add = [&](const char *box, const char *pad, int count) {
            for (int i = 0; i < count; ++i) {
                auto *edit = new QLineEdit;
                edit->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(box)).arg(i));
                layout->addWidget(edit);
                auto *b = new QPushButton;
                b->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(pad)).arg(i));
                layout->addWidget(b);
            }
        };
        add("TB", "CB4", 15);
        add("Text1", "Command3", 8);
        m_boxes = std::make_unique<HexBoxes>(m_session, m_ui);
        m_boxes->attach(*m_window);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    void cleanup()
    {
        m_boxes.reset();
        m_window.reset();
        QVERIFY2(m_ui.unscripted().isEmpty(), qPrintable(m_ui.unscripted().join(QLatin1String("; "))));
    }

    void keyRule()
    {
        tb(0)->setFocus();
        QTest::keyClicks(tb(0), QStringLiteral("a"));
        QCOMPARE(tb(0)->text(), QStringLiteral("A"));
        QTest::keyClicks(tb(0), QStringLiteral("G"));
        QCOMPARE(tb(0)->text(), QStringLiteral("A"));
        QCOMPARE(m_ui.boxes, QList<Box>{kFormatError});
        m_ui.clear();
        // Codes up to "0" pass without a word.
        QTest::keyClicks(text1(0), QStringLiteral(" -0f"));
        QCOMPARE(text1(0)->text(), QStringLiteral(" -0F"));
        QVERIFY(m_ui.boxes.isEmpty());
        QTest::keyClicks(text1(1), QStringLiteral("1234567"));
        QCOMPARE(text1(1)->text(), QStringLiteral("123456"));
        for (QChar c : {QChar('g'), QChar('z'), QChar('@'), QChar('~'), QChar(0xE9)})
            QVERIFY(HexBoxes::refuses(c));
        for (QChar c : {QChar('0'), QChar('9'), QChar('a'), QChar('F'), QChar(' '), QChar('/'), QChar('!')})
            QVERIFY(!HexBoxes::refuses(c));
    }

    // Text that comes in at once takes the key rule character by character.
    void textComingInAtOnce_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"Ctrl+V", "Shift+Insert", "drop", "input method"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void textComingInAtOnce()
    {
        QFETCH(QString, how);
        auto put = [&how](QLineEdit *box, const QString &text) {
            box->setFocus();
            QGuiApplication::clipboard()->setText(text);
            if (how == QLatin1String("Ctrl+V")) {
                QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            } else if (how == QLatin1String("Shift+Insert")) {
                QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
            } else if (how == QLatin1String("drop")) {
                QMimeData dragged;
                dragged.setText(text);
                QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
                QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(box, &enter);
                QCoreApplication::sendEvent(box, &drop);
            } else {
                QInputMethodEvent composed;
                composed.setCommitString(text);
                QCoreApplication::sendEvent(box, &composed);
            }
        };
        tb(0)->setFocus();
        QTest::keyClicks(tb(0), QStringLiteral("4A"));
        put(tb(1), QStringLiteral("4a"));
        QCOMPARE(m_ui.boxes, QList<Box>{kDuplicate});
        QCOMPARE(tb(1)->text(), QString());
        QCOMPARE(tb(0)->text(), QStringLiteral("4A"));
        m_ui.clear();
        put(tb(2), QStringLiteral("zz"));
        QCOMPARE(m_ui.boxes, QList<Box>{kFormatError});
        QCOMPARE(tb(2)->text(), QString());
        m_ui.clear();
        put(text1(0), QStringLiteral("ZZ9Z\n"));
        QCOMPARE(m_ui.boxes, QList<Box>{kFormatError}); // one message for the text
        QCOMPARE(text1(0)->text(), QStringLiteral("9"));
        m_ui.clear();
        put(text1(1), QStringLiteral("0a1b2c3d"));
        QCOMPARE(text1(1)->text(), QStringLiteral("0A1B2C")); // six at most
        QVERIFY(m_ui.boxes.isEmpty());
    }

    // Only the user leaving the box runs the check; another window taking the
    // activation (the box itself, the pad) does not.
    void duplicateWhenLeavingTheBox()
    {
        QWidget other;
        auto activate = [](QWidget *w) {
            w->show();
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w));
        };
        tb(0)->setText(QStringLiteral("41"));
        QTest::mouseClick(tb(1), Qt::LeftButton);
        QTest::keyClicks(tb(1), QStringLiteral("41"));
        activate(&other);
        activate(m_window.get());
        QVERIFY(m_ui.boxes.isEmpty()); // neither typing the second character nor a deactivation runs it
        m_ui.whileBoxShows = [&]() { activate(&other); };
        QTest::mouseClick(tb(0), Qt::LeftButton);
        QCOMPARE(m_ui.boxes, QList<Box>{kDuplicate});
        QCOMPARE(tb(1)->text(), QString());
        QCOMPARE(tb(0)->text(), QStringLiteral("41"));
        m_ui.whileBoxShows = nullptr;
        activate(m_window.get());
        QTest::keyClicks(tb(2), QStringLiteral("41"));
        QTest::keyClick(tb(2), Qt::Key_Tab);
        QCOMPARE(m_ui.boxes, (QList<Box>{kDuplicate, kDuplicate}));
        QCOMPARE(tb(2)->text(), QString());
    }

    void duplicateOnAFurtherKeyInAFullBox()
    {
        tb(1)->setText(QStringLiteral("42"));
        tb(2)->setFocus();
        QTest::keyClicks(tb(2), QStringLiteral("42"));
        QVERIFY(m_ui.boxes.isEmpty());
        QTest::keyClick(tb(2), Qt::Key_Backspace);
        QCOMPARE(m_ui.boxes, QList<Box>{kDuplicate});
        QCOMPARE(tb(2)->text(), QString());
    }

    void fourIsNotZeroFour()
    {
        const QStringList ids{QStringLiteral("4"), QStringLiteral("04"), QString(), QString()};
        QCOMPARE(HexBoxes::duplicateOf(ids, 0), -1);
        QCOMPARE(HexBoxes::duplicateOf(ids, 2), -1); // empty rows never clash
        QCOMPARE(HexBoxes::duplicateOf({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("A")}, 2), 0);
        QCOMPARE(HexBoxes::duplicateOf({QStringLiteral("4A"), QStringLiteral("4a")}, 1), 0);
    }

    void codeIdPadEntry()
    {
        m_ui.onModal(padTyping(QStringLiteral("123")));
        button("CB4", 4)->click();
        QCOMPARE(tb(4)->text(), QStringLiteral("12"));
        QCOMPARE(m_ui.modalWindows, QStringList{QStringLiteral("sfrmPad")});

        // A pad entry that repeats another row is refused at once.
        m_ui.onModal(padTyping(QStringLiteral("12")));
        button("CB4", 9)->click();
        QCOMPARE(tb(9)->text(), QString());
        QCOMPARE(m_ui.boxes, QList<Box>{kDuplicate});

        // Closing the pad without Enter leaves the box as it was.
        tb(6)->setText(QStringLiteral("7"));
        m_ui.onModal([](QDialog &d) {
            d.reject();
            return 0;
        });
        button("CB4", 6)->click();
        QCOMPARE(tb(6)->text(), QStringLiteral("7"));
    }

    void lengthPadEntryIsCut()
    {
        m_ui.onModal(padTyping(QStringLiteral("12345")));
        button("Command3", 0)->click();
        QCOMPARE(text1(0)->text(), QStringLiteral("1234"));
        m_ui.onModal(padTyping(QStringLiteral("ABCDEF12")));
        button("Command3", 3)->click();
        QCOMPARE(text1(3)->text(), QStringLiteral("ABCDEF"));
    }

    void lengthFailureMessages()
    {
        text1(2)->setText(QStringLiteral("021"));
        m_boxes->reportLengthFailure(QStringLiteral("Text1(2)"));
        QCOMPARE(m_ui.boxes.last(), (Box{QStringLiteral("Barcode length must four characters. "), Ui::Buttons::Ok,
                                         Ui::Icon::Exclamation, QStringLiteral("ZEV")}));
        QCOMPARE(text1(2)->selectedText(), QStringLiteral("021"));
        QVERIFY(text1(2)->hasFocus());
        m_boxes->reportLengthFailure(QStringLiteral("Text1(5)"));
        QCOMPARE(m_ui.boxes.last().text, QStringLiteral("User define length must six characters. "));
        QVERIFY(text1(5)->hasFocus());
    }
};

QTEST_MAIN(TestHexBoxes)
#include "tst_hexboxes.moc"
