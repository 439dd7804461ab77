#include "collect/Data.h"
#include "collect/DownloadArchive.h"
#include "support/ScriptedUi.h"
#include "support/TestFiles.h"
#include "support/XlsxReader.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

namespace {
QStringList actionNames(QMenu *menu)
{
    QStringList names;
    for (QAction *a : menu->actions())
        names << a->objectName();
    return names;
}
} // namespace

class TestDataViewer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedUi m_ui;
    const QByteArray m_text = "Machine ID: ZEV00001\r\n\r\n2 record(s) received\r\n \r\n2026/01/01 08:00:00\r\n"
                              "4901234567894\r\n\r\n2026/01/01 08:00:05\r\nCODE39-\xe9\r\n\r\n";

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit()); }
    void init() { m_ui.clear(); }
    void cleanup()
    {
        QVERIFY2(m_ui.unscripted().isEmpty(), qPrintable(m_ui.unscripted().join(QLatin1String("; "))));
    }

    void windowParts()
    {
        Data viewer(m_ui);
        QCOMPARE(viewer.windowTitle(), QStringLiteral(" Data"));
        QVERIFY(viewer.findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1")));
        QStringList actions;
        for (QAction *a : viewer.findChildren<QAction *>())
            if (!a->objectName().isEmpty())
                actions << a->objectName() + QLatin1Char('=') + a->text();
        QVERIFY(actions.contains(QStringLiteral("mnuSaveAs=Save &As ")));
        QVERIFY(actions.contains(QStringLiteral("mnuExit=E&xit ")));
        QVERIFY(actions.contains(QStringLiteral("mmuPrint=&Print")));
    }

    void saveWritesTheBytesAndALineEnd()
    {
        Data viewer(m_ui);
        viewer.setText(m_text.left(20));
        viewer.appendText(m_text.mid(20));
        QCOMPARE(viewer.text(), m_text);
        const QString path = m_dir.filePath(QStringLiteral("download"));
        TestFiles::write(path, "an older download that is longer than this one will be ............................................................................................................................................");
        m_ui.saveFile(path);
        viewer.mnuSaveAs_Click();
        QCOMPARE(m_ui.fileRequests[0].filter, QStringLiteral("All Files(*.*)|*.*|Text(*.txt)|*.txt"));
        QCOMPARE(m_ui.fileRequests[0].filterIndex, 2);
        QVERIFY(m_ui.boxes.isEmpty()); // replaced without a question
        QCOMPARE(TestFiles::read(path), m_text + "\r\n");
    }

    // A long download shows line for line as it came, and a selection over
    // many lines is copied with plain line ends.
    void longTextShowsAndCopiesLineForLine()
    {
        QByteArray text = m_text;
        for (int i = 0; i < 40; ++i)
            text += "2026/01/01 08:00:" + QByteArray::number(10 + i) + "\r\nREC" + QByteArray::number(i) + "\r\n\r\n";
        text += "lone\rcarriage return\r\n";
        Data viewer(m_ui);
        viewer.setText(text);
        QString shown = QString::fromLatin1(text);
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QCOMPARE(viewer.RichTextBox1->toPlainText(), shown);
        QTextCursor c = viewer.RichTextBox1->document()->find(QStringLiteral("REC3"));
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        viewer.RichTextBox1->setTextCursor(c);
        viewer.RichTextBox1->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), shown.mid(shown.indexOf(QLatin1String("REC3"))));
    }

    void saveEmptyAndCancel()
    {
        Data viewer(m_ui);
        const QString path = m_dir.filePath(QStringLiteral("empty.txt"));
        m_ui.saveFile(path);
        viewer.mnuSaveAs_Click();
        QCOMPARE(TestFiles::read(path), QByteArray("\r\n"));

        const QString other = m_dir.filePath(QStringLiteral("never.txt"));
        m_ui.cancelFileDialog();
        viewer.mnuSaveAs_Click();
        QVERIFY(!QFile::exists(other));
        QVERIFY(m_ui.boxes.isEmpty());
    }

    void saveFailureIsSaid()
    {
        Data viewer(m_ui);
        viewer.setText(m_text);
        m_ui.saveFile(m_dir.filePath(QStringLiteral("no/folder/x.txt")));
        viewer.mnuSaveAs_Click();
        const ScriptedUi::Box notSaved{QStringLiteral("Data not saved ! "), Ui::Buttons::Ok, Ui::Icon::Critical,
                                       QStringLiteral("Save")};
        QCOMPARE(m_ui.boxes, QList<ScriptedUi::Box>{notSaved});
        // A device is written into, never replaced; its failure carries the system's reason.
        m_ui.clear();
        m_ui.saveFile(QStringLiteral("/dev/full"));
        viewer.mnuSaveAs_Click();
        QCOMPARE(m_ui.boxes, QList<ScriptedUi::Box>{notSaved});
        QCOMPARE(m_ui.boxOptions[0].detail, QStringLiteral("No space left on device"));
        QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());
    }

    void printCopiesFollowEachOther()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        Data viewer(m_ui);
        viewer.setText(m_text);
        const QString pdf = m_dir.filePath(QStringLiteral("two.pdf"));
        m_ui.print({true, pdf, 2, false});
        viewer.mmuPrint_Click();
        const QString text = TestFiles::pdfText(pdf);
        QCOMPARE(text.count(QStringLiteral("4901234567894")), 2);
        QCOMPARE(text.count(QStringLiteral("Machine ID: ZEV00001")), 2);
        QCOMPARE(text.count(QLatin1Char('\f')), 1); // one page: no break between the copies
        QVERIFY(m_ui.boxes.isEmpty());
    }

    void printSelectionOnly()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        Data viewer(m_ui);
        viewer.setText(m_text);
        QTextCursor c = viewer.RichTextBox1->document()->find(QStringLiteral("4901234567894"));
        viewer.RichTextBox1->setTextCursor(c);
        const QString pdf = m_dir.filePath(QStringLiteral("selection.pdf"));
        m_ui.print({true, pdf, 1, true});
        viewer.mmuPrint_Click();
        const QString text = TestFiles::pdfText(pdf);
        QVERIFY(text.contains(QStringLiteral("4901234567894")));
        QVERIFY(!text.contains(QStringLiteral("Machine ID")));
    }

    // Beside the viewer's own commands: the records as CSV or a spreadsheet, the downloads folder and the print preview.
    void exportFolderAndPreview()
    {
        QWidget *opened = nullptr;
        Data viewer(m_ui, nullptr, [&opened](QWidget *parent) { opened = parent; });
        const QStringList file = actionNames(viewer.findChild<QMenu *>(QStringLiteral("mnuFile")));
        QCOMPARE(file, (QStringList{"mnuSaveAs", "mnuExportCsv", "mnuExportXlsx", "mnuDownloads", "mnuRecords", "mnuLine",
                                    "mnuExit"}));
        auto *records = viewer.findChild<QAction *>(QStringLiteral("mnuRecords"));
        QCOMPARE(records->text(), QStringLiteral("Collected &Records..."));
        QVERIFY(records->isVisible());
        records->trigger();
        QCOMPARE(opened, &viewer);
        QVERIFY(!Data(m_ui).findChild<QAction *>(QStringLiteral("mnuRecords"))->isVisible());
        QCOMPARE(actionNames(viewer.findChild<QMenu *>(QStringLiteral("mmPrint"))), (QStringList{"mmuPrint", "mmuPreview"}));

        const QByteArray stream = QByteArray("\x02ZEV01   00003") + "\x29\x11\x11\x11\x11\x11#a,\"b\"?\r"
                                  + "\x29\x1d\x11\x11\x11\x11#\xe9?\r";
        const auto assembled = RecordAssembler::assemble(stream, false, false, 2026);
        viewer.setText(assembled.text);
        viewer.setRecords(assembled.download);
        const QString csv = m_dir.filePath(QStringLiteral("records.csv"));
        m_ui.saveFile(csv);
        viewer.mnuExportCsv_Click();
        QCOMPARE(m_ui.fileRequests.last().filter, QStringLiteral("CSV(*.csv)|*.csv|All Files(*.*)|*.*"));
        QCOMPARE(TestFiles::read(csv), QByteArray("machine_id,timestamp,data\r\nZEV01,2025-01-01 01:01:01,\"a,\"\"b\"\"\"\r\n"
                                                  "ZEV01,,\xc3\xa9\r\n"));
        m_ui.saveFile(m_dir.filePath(QStringLiteral("no/folder/x.csv")));
        viewer.mnuExportCsv_Click();
        QCOMPARE(m_ui.boxes, (QList<ScriptedUi::Box>{{QStringLiteral("The records could not be written to %1.")
                                                          .arg(m_dir.filePath(QStringLiteral("no/folder/x.csv"))),
                                                      Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Export CSV")}}));

        const QString xlsx = m_dir.filePath(QStringLiteral("records.xlsx"));
        m_ui.saveFile(xlsx);
        viewer.mnuExportXlsx_Click();
        QCOMPARE(m_ui.fileRequests.last().filter, QStringLiteral("Spreadsheet(*.xlsx)|*.xlsx|All Files(*.*)|*.*"));
        const XlsxReader::Workbook book = XlsxReader::read(TestFiles::read(xlsx));
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        QCOMPARE(book.sheets.size(), 1);
        QCOMPARE(book.sheets[0].name, QStringLiteral("ZEV01"));
        QStringList cells;
        for (const QList<XlsxReader::Cell> &row : book.sheets[0].rows)
            for (const XlsxReader::Cell &c : row)
                cells << (c.date ? c.dateText() : c.value);
        QCOMPARE(cells, (QStringList{"Machine ID", "Timestamp", "Data", "ZEV01", "2025-01-01 01:01:01", "a,\"b\"", "ZEV01",
                                     "", QString::fromLatin1("\xe9")}));
        m_ui.saveFile(m_dir.filePath(QStringLiteral("no/folder/x.xlsx")));
        viewer.mnuExportXlsx_Click();
        QCOMPARE(m_ui.boxes.last(), (ScriptedUi::Box{QStringLiteral("The records could not be written to %1.")
                                                         .arg(m_dir.filePath(QStringLiteral("no/folder/x.xlsx"))),
                                                     Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Export Spreadsheet")}));

        viewer.mnuDownloads_Click();
        QCOMPARE(m_ui.openedFolders, QStringList{DownloadArchive::folder()});
        QVERIFY(DownloadArchive::folder().startsWith(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"))));

        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        m_ui.previewPdf = m_dir.filePath(QStringLiteral("preview.pdf"));
        viewer.mmuPreview_Click();
        QCOMPARE(m_ui.previews, 1);
        QVERIFY(TestFiles::pdfText(m_ui.previewPdf).contains(QStringLiteral("a,\"b\"")));
    }

    void printCancelledOrFailing()
    {
        Data viewer(m_ui);
        viewer.setText(m_text);
        const QString pdf = m_dir.filePath(QStringLiteral("cancel.pdf"));
        m_ui.print({false, pdf, 1, false});
        viewer.mmuPrint_Click();
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(m_ui.boxes.isEmpty());

        m_ui.print({true, m_dir.filePath(QStringLiteral("no/folder/x.pdf")), 1, false});
        viewer.mmuPrint_Click();
        QCOMPARE(m_ui.boxes, (QList<ScriptedUi::Box>{{QStringLiteral("Data not printed ! "), Ui::Buttons::Ok,
                                                      Ui::Icon::Critical, QStringLiteral("Print")}}));
    }
};

QTEST_MAIN(TestDataViewer)
#include "tst_dataviewer.moc"
