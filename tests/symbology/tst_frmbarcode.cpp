#include "core/Platform.h"
#include "core/Session.h"
#include "platform/QtSettingsStore.h"
#include "platform/Twips.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedUi.h"
#include "support/WindowTest.h"
#include "support/VirtualClock.h"
#include "symbology/SymbologyControls.h"
#include "symbology/SymbologyMap.h"
#include "symbology/frmBarcode.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using Box = ScriptedUi::Box;

namespace {
const Box kOk{QStringLiteral("O.K. "), Ui::Buttons::Ok, Ui::Icon::Information, QStringLiteral("ZEV")};
const Box kAskDefault{QStringLiteral("Current settings will be changed to factory default. Are you sure ?(Y/N) "),
                      Ui::Buttons::YesNo, Ui::Icon::Information, QStringLiteral("Preamble & Postamble")};

// The named controls of a page (what the layout must show whole).
bool isControl(const QWidget *w)
{
    return !w->objectName().isEmpty()
           && (qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w)
               || qobject_cast<const QGroupBox *>(w) || qobject_cast<const QLabel *>(w));
}
} // namespace

class TestFrmBarcode : public WindowTest
{
    Q_OBJECT

    std::unique_ptr<frmBarcode> m_window;

    template<typename T>
    T *find(const QString &name)
    {
        T *w = m_window->findChild<T *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QCheckBox *check(const QString &name) { return find<QCheckBox>(name); }
    QRadioButton *option(const QString &name) { return find<QRadioButton>(name); }
    QLineEdit *box(const QString &name) { return find<QLineEdit>(name); }
    QTabWidget *tabs() { return find<QTabWidget>(QStringLiteral("SSTab1")); }
    void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    void click(const QString &name) { click(find<QAbstractButton>(name)); }
    void accept(int tab) { click(QStringLiteral("Command1(%1)").arg(tab)); }
    void pressDefault(int tab) { click(QStringLiteral("Command2(%1)").arg(tab)); }
    void showTab(int tab) { tabs()->setCurrentIndex(tab); }
    // A tab click there and back: the tab is loaded again.
    void reshowTab(int tab)
    {
        showTab(tab == 0 ? 1 : 0);
        showTab(tab);
    }
    void type(const QString &name, const QString &text)
    {
        QLineEdit *b = box(name);
        b->selectAll();
        QTest::keyClick(b, Qt::Key_Delete);
        QTest::keyClicks(b, text);
    }
    void setBits(int byte, int mask, int bits)
    {
        m_session.ParamImage[size_t(byte)] = quint8((m_session.ParamImage[size_t(byte)] & ~mask) | bits);
    }

    // What every control of a tab shows, to see that nothing moved.
    QStringList snapshot(int tab)
    {
        QStringList out;
        for (QWidget *w : tabs()->widget(tab)->findChildren<QWidget *>()) {
            auto *b = qobject_cast<QAbstractButton *>(w);
            auto *e = qobject_cast<QLineEdit *>(w);
            if (b || e)
                out << w->objectName() + QLatin1String(w->isEnabled() ? " on " : " off ")
                           + (b ? QString::number(b->isChecked()) : e->text());
        }
        out.sort(); // showing a page raises it, which reorders the children
        return out;
    }
    // The control states as the map reads them, taken from the widgets.
    SymbologyControls shown()
    {
        SymbologyControls c;
        for (QCheckBox *b : m_window->findChildren<QCheckBox *>())
            c.setChecked(b->objectName(), b->isChecked());
        for (QRadioButton *o : m_window->findChildren<QRadioButton *>())
            if (o->isChecked())
                c.setSelected(o->objectName(), true);
        for (QLineEdit *e : m_window->findChildren<QLineEdit *>())
            c.setText(e->objectName(), e->text());
        return c;
    }

private Q_SLOTS:
    void init()
    {
        resetRig();
        QRandomGenerator random(1234);
        for (int i = 0; i < Session::ImageSize; ++i)
            m_session.ParamImage[size_t(i)] = quint8(random.bounded(256));
        m_window = std::make_unique<frmBarcode>(m_session, *m_platform);
        m_window->resize(543, 403); // the main window's child area
        QVERIFY(m_window->load());
        m_window->show();
        m_window->activate();
    }
    void cleanup()
    {
        m_window.reset();
        verifyScript();
    }

    void acceptWritesWhatTheMapWrites_data()
    {
        QTest::addColumn<int>("tab");
        for (int t = 0; t < frmBarcode::TabCount; ++t)
            QTest::addRow("tab %d", t) << t;
    }
    void acceptWritesWhatTheMapWrites()
    {
        QFETCH(int, tab);
        showTab(tab);
        m_window->activate();
        // Change the tab the way a user would: every available box, every other option, new texts.
        QWidget *page = tabs()->widget(tab);
        for (QCheckBox *b : page->findChildren<QCheckBox *>())
            if (b->isEnabled())
                click(b);
        const auto radios = page->findChildren<QRadioButton *>();
        for (int i = 1; i < radios.size(); i += 2)
            if (radios[i]->isEnabled())
                click(radios[i]);
        int n = 0;
        for (QLineEdit *e : page->findChildren<QLineEdit *>()) {
            if (!e->isEnabled())
                continue;
            const QString digits = QStringLiteral("1A2B3C").left(e->maxLength());
            type(e->objectName(), e->maxLength() == 2 ? QString::number(0x30 + n++, 16).toUpper() : digits);
        }

        const auto before = m_session.ParamImage;
        auto expected = before;
        QVERIFY(SymbologyMap().store(tab, shown(), std::span<quint8>(expected)));
        QCOMPARE(tab == 10, expected == before); // only Code 4 has nothing to write
        accept(tab);
        QCOMPARE(m_ui.boxes, QList<Box>{kOk});
        QCOMPARE(m_session.ParamImage, expected);
        QCOMPARE(m_session.SettingsChanged, false);
    }

    void refusedLengthWritesNothing()
    {
        setBits(2, 0x02, 0x02); // Interleaved 2 of 5 on, fixed length: its fixed box can be edited
        setBits(7, 0x04, 0x00);
        showTab(1);
        type(QStringLiteral("Text1(0)"), QStringLiteral("123"));
        click(QStringLiteral("Check2(1)")); // a check box stored ahead of the length field
        const auto before = m_session.ParamImage;
        accept(1);
        QCOMPARE(m_ui.boxes, (QList<Box>{{QStringLiteral("Barcode length must four characters. "), Ui::Buttons::Ok,
                                          Ui::Icon::Exclamation, QStringLiteral("ZEV")}}));
        QCOMPARE(m_session.ParamImage, before);
        QCOMPARE(box(QStringLiteral("Text1(0)"))->selectedText(), QStringLiteral("123"));
        QCOMPARE(m_window->focusWidget(), box(QStringLiteral("Text1(0)")));
    }

    void emptyFixedBoxFailsFirstWithTheUserDefinedOption()
    {
        setBits(2, 0x02, 0x02);
        setBits(7, 0x04, 0x04); // the user-defined length is selected
        showTab(1);
        box(QStringLiteral("Text1(0)"))->setText(QString());
        box(QStringLiteral("Text1(1)"))->setText(QStringLiteral("12"));
        const auto before = m_session.ParamImage;
        accept(1);
        QCOMPARE(m_ui.boxes.size(), 1);
        QCOMPARE(m_ui.boxes[0].text, QStringLiteral("Barcode length must four characters. "));
        QCOMPARE(m_session.ParamImage, before);

        m_ui.clear();
        box(QStringLiteral("Text1(0)"))->setText(QStringLiteral("0430"));
        accept(1);
        QCOMPARE(m_ui.boxes.size(), 1);
        QCOMPARE(m_ui.boxes[0].text, QStringLiteral("User define length must six characters. "));
        QCOMPARE(m_window->focusWidget(), box(QStringLiteral("Text1(1)")));
        QCOMPARE(m_session.ParamImage, before);
    }

    void codeIdBoxesTakeTheEntryRules()
    {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get())); // focus moves only in an active window
        showTab(16);
        QLineEdit *first = box(QStringLiteral("TB(0)"));
        QLineEdit *second = box(QStringLiteral("TB(1)"));
        if (!first->isEnabled() || !second->isEnabled()) {
            click(QStringLiteral("Check2(47)"));
            click(QStringLiteral("Check2(48)"));
        }
        first->clear();
        second->clear();
        first->setFocus();
        QTest::keyClicks(first, QStringLiteral("4g1"));
        QCOMPARE(first->text(), QStringLiteral("41"));
        QCOMPARE(m_ui.boxes.size(), 1);
        QCOMPARE(m_ui.boxes[0].title, QStringLiteral("Format Error"));
        second->setFocus();
        QTest::keyClicks(second, QStringLiteral("41"));
        QTest::mouseClick(first, Qt::LeftButton); // leaving the second row runs the duplicate check
        QCOMPARE(m_ui.boxes.last(), (Box{QStringLiteral("CODE ID may not duplicate !! "), Ui::Buttons::Ok,
                                         Ui::Icon::Exclamation, QStringLiteral("ZEV")}));
        QCOMPARE(second->text(), QString());
        QCOMPARE(first->text(), QStringLiteral("41"));
    }

    void defaultOnlyOnYesAndOnlyUntilTheTabIsShownAgain()
    {
        setBits(3, 0x02, 0x00);  // Code 128 off
        setBits(30, 0x10, 0x10); // its check digit unticked
        setBits(11, 0x01, 0x01); // UCC/EAN-128 on
        showTab(5);
        const QStringList fromImage = snapshot(5);
        const auto image = m_session.ParamImage;
        m_ui.answer(Ui::Answer::No);
        pressDefault(5);
        QCOMPARE(snapshot(5), fromImage);

        m_ui.answer(Ui::Answer::Yes);
        pressDefault(5);
        QCOMPARE(m_ui.boxes, (QList<Box>{kAskDefault, kAskDefault}));
        QVERIFY(check(QStringLiteral("Check2(15)"))->isChecked());
        QVERIFY(check(QStringLiteral("Check2(14)"))->isChecked());
        QVERIFY(!check(QStringLiteral("Check2(13)"))->isChecked());
        QVERIFY(check(QStringLiteral("Check2(13)"))->isEnabled());
        reshowTab(5);
        QCOMPARE(snapshot(5), fromImage);
        QCOMPARE(m_session.ParamImage, image);
    }

    void defaultOnCode39KeepsCode32StrictDisabled()
    {
        setBits(5, 0xC0, 0xC0); // Code 32 on, strict on
        m_window->activate();
        QCheckBox *strict = check(QStringLiteral("Check1(6)"));
        QVERIFY(strict->isEnabled());
        m_ui.answer(Ui::Answer::Yes);
        pressDefault(0);
        QVERIFY(!check(QStringLiteral("Check1(5)"))->isChecked());
        QVERIFY(!strict->isChecked());
        QVERIFY(!strict->isEnabled());
        QVERIFY(check(QStringLiteral("Check1(0)"))->isChecked());
        QVERIFY(check(QStringLiteral("Check1(4)"))->isEnabled());
        click(QStringLiteral("Check1(5)"));
        QVERIFY(strict->isEnabled());
    }

    void defaultOnLengthTabs_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("factory");
        const char *texts[] = {"0430", "0218", "0228", "0228"};
        for (int t = 1; t <= 4; ++t)
            QTest::addRow("tab %d", t) << t << QString::fromLatin1(texts[t - 1]);
    }
    void defaultOnLengthTabs()
    {
        QFETCH(int, tab);
        QFETCH(QString, factory);
        const auto *f = SymbologyMap::lengthField(tab);
        setBits(2, 0x1E, 0x1E); // the 2 of 5 family on
        setBits(3, 0x20, 0x20); // China Postage on
        setBits(f->mode.byte, f->mode.mask, f->mode.mask);
        showTab(tab);
        m_window->activate();
        QVERIFY(box(f->userBox)->isEnabled());
        m_ui.answer(Ui::Answer::Yes);
        pressDefault(tab);
        auto *frame = find<QGroupBox>(f->frame);
        QVERIFY(!frame->isEnabled());
        QVERIFY(option(f->fixedOption)->isChecked());
        QCOMPARE(box(f->fixedBox)->text(), factory);
        QCOMPARE(box(f->userBox)->text(), factory + QStringLiteral("00"));
        // The fixed box is on itself, but nothing inside the disabled frame can be used.
        QVERIFY(box(f->fixedBox)->isEnabledTo(frame));
        QVERIFY(!box(f->userBox)->isEnabledTo(frame));
        for (QWidget *w : frame->findChildren<QWidget *>())
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    }

    void uncheckingACodeIdRowEmptiesItsBox()
    {
        m_session.ParamImage[67] = 0x41; // Code 39
        showTab(16);
        QCheckBox *row = check(QStringLiteral("Check2(47)"));
        QLineEdit *id = box(QStringLiteral("TB(0)"));
        QVERIFY(row->isChecked());
        QCOMPARE(id->text(), QStringLiteral("41"));
        click(row);
        QCOMPARE(id->text(), QString());
        QVERIFY(!id->isEnabled());
        QVERIFY(!find<QPushButton>(QStringLiteral("CB4(0)"))->isEnabled());
        click(row);
        QCOMPARE(id->text(), QString());
        QVERIFY(id->isEnabled());
        QVERIFY(find<QPushButton>(QStringLiteral("CB4(0)"))->isEnabled());
    }

    void aTabChangeReloadsOnlyWhatTheMapOwns()
    {
        setBits(29, 0xF0, 0x10); // MOD 10-10, transmit check digit
        showTab(8);
        QVERIFY(option(QStringLiteral("Option2(0)"))->isChecked());
        setBits(29, 0x30, 0x30); // a MOD code that has no option: the frame shows none
        reshowTab(8);
        for (const char *o : {"Option2(0)", "Option2(1)", "Option2(2)"})
            QVERIFY2(!option(QString::fromLatin1(o))->isChecked(), o);
        QVERIFY(option(QStringLiteral("Option2(4)"))->isChecked());

        showTab(10); // Code 4 has no bits: its box keeps what the user made of it
        QCheckBox *code4 = check(QStringLiteral("Check2(25)"));
        const bool was = code4->isChecked();
        click(code4);
        reshowTab(10);
        QCOMPARE(code4->isChecked(), !was);
    }

    void firstPageShowsTheImage()
    {
        showTab(7);
        setBits(2, 0x01, 0x01);
        m_window->showFirstPage();
        QCOMPARE(tabs()->currentIndex(), 0);
        QVERIFY(check(QStringLiteral("Check1(0)"))->isChecked());
        // Already on the first page: still shown from the image again.
        setBits(2, 0x01, 0x00);
        m_window->showFirstPage();
        QVERIFY(!check(QStringLiteral("Check1(0)"))->isChecked());
    }

    void everyTabFitsTheChildArea()
    {
        QVERIFY(tabs()->usesScrollButtons());
        QCOMPARE(tabs()->geometry(), QRect(twips(50), 0, 543 - twips(50), 403));
        for (int t = 0; t < frmBarcode::TabCount; ++t) {
            showTab(t);
            auto *accept = find<QPushButton>(QStringLiteral("Command1(%1)").arg(t));
            QCOMPARE(accept->mapTo(tabs(), QPoint()), QPoint(twips(3780), twips(5160)));
            QCOMPARE(find<QPushButton>(QStringLiteral("Command2(%1)").arg(t))->mapTo(tabs(), QPoint()),
                     QPoint(twips(5775), twips(5160)));
            QVERIFY(find<QWidget>(QStringLiteral("Body(%1)").arg(t))->geometry().bottom() < accept->y());
            // Every control shows whole inside its parent; captions are not cut (pad buttons carry a picture).
            for (QWidget *w : tabs()->widget(t)->findChildren<QWidget *>()) {
                if (!isControl(w))
                    continue;
                const QByteArray name = QStringLiteral("tab %1 %2").arg(t).arg(w->objectName()).toLatin1();
                QVERIFY2(w->isVisible(), name);
                QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), name);
                auto *b = qobject_cast<QAbstractButton *>(w);
                if (!qobject_cast<QLineEdit *>(w) && !(b && b->text().isEmpty()))
                    QVERIFY2(w->size().expandedTo(w->sizeHint()) == w->size(), name);
            }
        }
    }
};

QTEST_MAIN(TestFrmBarcode)
#include "tst_frmbarcode.moc"
