#include "platform/QtUi.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

// The real dialogs, offscreen, answered from a timer the way a user would.
class TestQtUi : public QObject
{
    Q_OBJECT

    QtUi m_ui;
    QTemporaryDir m_dir;
    QStringList m_strayBoxes; // boxes a file dialog should never have asked

    // Runs act on the modal window that code opens, once it is up.
    template <typename Dialog, typename Call>
    auto answered(std::function<void(Dialog &)> act, Call call)
    {
        QTimer::singleShot(0, this, [act]() {
            QPointer<Dialog> dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            act(*dialog);
            if (dialog && dialog->isVisible()) // a check failed half way
                dialog->reject();
        });
        return call();
    }

    static QStringList shown(QFileDialog &dialog)
    {
        auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            names << view->model()->index(row, 0, view->rootIndex()).data().toString();
        return names;
    }

    static void typeAndAccept(QFileDialog &dialog, const QString &name)
    {
        dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
        QMetaObject::invokeMethod(&dialog, "accept");
        if (dialog.isVisible()) { // it kept the name for itself
            qWarning("the dialog refused %s", qPrintable(name));
            dialog.reject();
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *name : {"M0802054524", "a.msr", "b.txt"}) {
            QFile f(m_dir.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QDir::setCurrent(m_dir.path());
        // Any box that comes up over a file dialog is recorded and closed.
        auto *guard = new QTimer(this);
        connect(guard, &QTimer::timeout, this, [this]() {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                box && box->parent() && qobject_cast<QFileDialog *>(box->parent())) {
                m_strayBoxes << box->text();
                box->reject();
            }
        });
        guard->start(20);
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("defaultNo");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("shownIcon");
        QTest::addColumn<int>("shownButtons");
        QTest::addColumn<int>("shownDefault");
        QTest::addColumn<int>("answer");
        using B = Ui::Buttons;
        using I = Ui::Icon;
        using A = Ui::Answer;
        using M = QMessageBox;
        QTest::newRow("OK, critical") << int(B::Ok) << int(I::Critical) << false << int(Qt::Key_Escape)
                                      << int(M::Critical) << int(M::Ok) << int(M::Ok) << int(A::Ok);
        QTest::newRow("Yes/No, Enter") << int(B::YesNo) << int(I::Information) << false << int(Qt::Key_Return)
                                       << int(M::Information) << int(M::Yes | M::No) << int(M::Yes) << int(A::Yes);
        QTest::newRow("Yes/No, Escape") << int(B::YesNo) << int(I::None) << false << int(Qt::Key_Escape)
                                        << int(M::NoIcon) << int(M::Yes | M::No) << int(M::Yes) << int(A::No);
        QTest::newRow("default No, Enter") << int(B::YesNo) << int(I::Exclamation) << true << int(Qt::Key_Return)
                                           << int(M::Warning) << int(M::Yes | M::No) << int(M::No) << int(A::No);
        QTest::newRow("Yes/No/Cancel, Escape")
            << int(B::YesNoCancel) << int(I::Information) << false << int(Qt::Key_Escape) << int(M::Information)
            << int(M::Yes | M::No | M::Cancel) << int(M::Yes) << int(A::Cancel);
    }
    void messageBoxes()
    {
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(bool, defaultNo);
        QFETCH(int, key);
        QFETCH(int, shownIcon);
        QFETCH(int, shownButtons);
        QFETCH(int, shownDefault);
        QFETCH(int, answer);
        const bool titled = defaultNo;
        struct
        {
            QString text, detail, title;
            int icon, buttons, defaultButton;
        } seen{};
        const Ui::Answer a = answered<QMessageBox>(
            [&](QMessageBox &box) {
                seen = {box.text(), box.informativeText(), box.windowTitle(), int(box.icon()),
                        int(box.standardButtons()), int(box.standardButton(box.defaultButton()))};
                QTest::keyClick(&box, Qt::Key(key));
            },
            [&]() {
                return m_ui.messageBox(QStringLiteral("Text "), Ui::Buttons(buttons), Ui::Icon(icon),
                                       titled ? QStringLiteral("Erase Data In ZEV") : QString(),
                                       {titled ? QStringLiteral("detail") : QString(), defaultNo});
            });
        QCOMPARE(int(a), answer);
        QCOMPARE(seen.text, QStringLiteral("Text "));
        QCOMPARE(seen.title, titled ? QStringLiteral("Erase Data In ZEV") : QStringLiteral("ZEV"));
        QCOMPARE(seen.detail, titled ? QStringLiteral("detail") : QString());
        QCOMPARE(seen.icon, shownIcon);
        QCOMPARE(seen.buttons, shownButtons);
        QCOMPARE(seen.defaultButton, shownDefault);
    }

    // The open dialog starts on the second filter; "All Files (*.*)" lists every
    // file, those without an extension too; a typed name that does not exist
    // comes back to the program.
    void openDialog()
    {
        const QString filter = QStringLiteral("All Files (*.*)|*.*|ZEV Scanner Data Files (*.msr)|*.msr");
        QStringList labels, underMsr, underAll;
        const Ui::FileAnswer answer = answered<QFileDialog>(
            [&](QFileDialog &dialog) {
                auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
                for (int i = 0; i < combo->count(); ++i)
                    labels << combo->itemText(i);
                QTRY_VERIFY(shown(dialog).contains(QStringLiteral("a.msr")));
                underMsr = shown(dialog);
                dialog.selectNameFilter(dialog.nameFilters().first());
                QTRY_VERIFY(shown(dialog).size() >= 3);
                underAll = shown(dialog);
                typeAndAccept(dialog, QStringLiteral("missing"));
            },
            [&]() { return m_ui.openFileDialog({filter, 2, QString()}); });
        QCOMPARE(labels, (QStringList{QStringLiteral("All Files (*.*)"), QStringLiteral("ZEV Scanner Data Files (*.msr)")}));
        QCOMPARE(underMsr, QStringList{QStringLiteral("a.msr")});
        QVERIFY(underAll.contains(QStringLiteral("M0802054524")));
        QVERIFY(underAll.contains(QStringLiteral("b.txt")));
        QVERIFY(!answer.cancelled);
        QCOMPARE(answer.fileName, m_dir.filePath(QStringLiteral("missing")));
        QCOMPARE(m_strayBoxes, QStringList());
    }

    // The save dialog proposes the suggested name, asks nothing about an existing
    // file and adds no extension; cancelling is its own answer.
    void saveDialog()
    {
        const QString filter = QStringLiteral("All Files (*.*)|*.*|ZEV Data Files (*.msr)|*.msr");
        QString proposed, selectedFilter;
        const Ui::FileAnswer answer = answered<QFileDialog>(
            [&](QFileDialog &dialog) {
                proposed = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
                selectedFilter = dialog.selectedNameFilter();
                typeAndAccept(dialog, QStringLiteral("M0802054524"));
            },
            [&]() { return m_ui.saveFileDialog({filter, 2, QStringLiteral("M0802054525")}); });
        QCOMPARE(proposed, QStringLiteral("M0802054525"));
        QVERIFY(selectedFilter.startsWith(QLatin1String("ZEV Data Files (*.msr)")));
        QVERIFY(!answer.cancelled);
        QCOMPARE(answer.fileName, m_dir.filePath(QStringLiteral("M0802054524")));
        QCOMPARE(m_strayBoxes, QStringList());

        const Ui::FileAnswer cancelled = answered<QFileDialog>([](QFileDialog &dialog) { dialog.reject(); },
                                                               [&]() { return m_ui.saveFileDialog({filter, 2, {}}); });
        QVERIFY(cancelled.cancelled);
    }
};

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    TestQtUi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_qtui.moc"
