#include "collect/Data.h"

#include "collect/DownloadArchive.h"
#include "collect/RecordExport.h"
#include "collect/RecordSpreadsheet.h"
#include "platform/AccessibleName.h"
#include "platform/Ui.h"
#include "platform/UserFile.h"

#include <QDir>

#include <QFontDatabase>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {
// Latin-1 maps every byte to one character and back, so the scanner's bytes survive unchanged.
QString fromBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

// A document of a paragraph per line takes seconds to build for a long
// download (a 99,999-record download has 300,000 lines): the viewer holds
// LinesPerBlock lines in each paragraph, the lines ended by line separators,
// which show as line ends and come out of the document as "\n".
constexpr int LinesPerBlock = 32;

QString forViewer(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    const char *const end = bytes.constData() + bytes.size();
    int lines = 0;
    for (const char *p = bytes.constData(); p < end; ++p) {
        if (*p == '\r' && p + 1 < end && p[1] == '\n' && ++lines % LinesPerBlock != 0) {
            *out++ = QChar::LineSeparator;
            ++p;
            continue;
        }
        *out++ = QLatin1Char(*p);
    }
    text.truncate(out - text.constData());
    return text;
}

// QPlainTextEdit keeps paragraphs apart with U+2029 and drops the CR of CR LF; give the bytes back.
QByteArray toBytes(QString text)
{
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    return text.toLatin1();
}
} // namespace

Data::Data(Ui &ui, QWidget *parent, std::function<void(QWidget *parent)> showCollectedRecords)
    : QDialog(parent), m_ui(ui)
{
    setObjectName(QStringLiteral("Data"));
    setWindowTitle(QStringLiteral(" Data"));
    resize(640, 480);

    auto *bar = new QMenuBar(this);
    QMenu *mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction *mnuSaveAs = mnuFile->addAction(QStringLiteral("Save &As "));
    mnuSaveAs->setObjectName(QStringLiteral("mnuSaveAs"));
    // Beside the window's own commands: the records as CSV or a spreadsheet, and the archive of downloads.
    QAction *mnuExportCsv = mnuFile->addAction(QStringLiteral("Export &CSV..."));
    mnuExportCsv->setObjectName(QStringLiteral("mnuExportCsv"));
    QAction *mnuExportXlsx = mnuFile->addAction(QStringLiteral("Export &Spreadsheet..."));
    mnuExportXlsx->setObjectName(QStringLiteral("mnuExportXlsx"));
    QAction *mnuDownloads = mnuFile->addAction(QStringLiteral("Open &Downloads Folder"));
    mnuDownloads->setObjectName(QStringLiteral("mnuDownloads"));
    QAction *mnuRecords = mnuFile->addAction(QStringLiteral("Collected &Records..."));
    mnuRecords->setObjectName(QStringLiteral("mnuRecords"));
    mnuRecords->setVisible(bool(showCollectedRecords));
    if (showCollectedRecords)
        connect(mnuRecords, &QAction::triggered, this,
                [this, show = std::move(showCollectedRecords)]() { show(this); });
    QAction *mnuLine = mnuFile->addSeparator();
    mnuLine->setObjectName(QStringLiteral("mnuLine"));
    QAction *mnuExit = mnuFile->addAction(QStringLiteral("E&xit "));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    QMenu *mmPrint = bar->addMenu(QStringLiteral("&Print"));
    mmPrint->setObjectName(QStringLiteral("mmPrint"));
    QAction *mmuPrint = mmPrint->addAction(QStringLiteral("&Print"));
    mmuPrint->setObjectName(QStringLiteral("mmuPrint"));
    QAction *mmuPreview = mmPrint->addAction(QStringLiteral("Print Pre&view..."));
    mmuPreview->setObjectName(QStringLiteral("mmuPreview"));

    RichTextBox1 = new QPlainTextEdit(this);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setReadOnly(true);
    AccessibleName::set(RichTextBox1, windowTitle());
    RichTextBox1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    RichTextBox1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichTextBox1->setUndoRedoEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(bar);
    layout->addWidget(RichTextBox1);

    connect(mnuSaveAs, &QAction::triggered, this, &Data::mnuSaveAs_Click);
    connect(mmuPrint, &QAction::triggered, this, &Data::mmuPrint_Click);
    connect(mmuPreview, &QAction::triggered, this, &Data::mmuPreview_Click);
    connect(mnuExportCsv, &QAction::triggered, this, &Data::mnuExportCsv_Click);
    connect(mnuExportXlsx, &QAction::triggered, this, &Data::mnuExportXlsx_Click);
    connect(mnuDownloads, &QAction::triggered, this, &Data::mnuDownloads_Click);
    connect(mnuExit, &QAction::triggered, this, &QDialog::accept);
}

void Data::setText(const QByteArray &text)
{
    m_text = text;
    RichTextBox1->setPlainText(forViewer(text));
}

void Data::appendText(const QByteArray &text)
{
    m_text += text;
    QTextCursor cursor(RichTextBox1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(fromBytes(text));
}

QByteArray Data::text() const
{
    return m_text;
}

void Data::clear()
{
    m_text.clear();
    m_records = {};
    RichTextBox1->clear();
}

void Data::mnuSaveAs_Click()
{
    const Ui::FileAnswer answer = m_ui.saveFileDialog({QStringLiteral("All Files(*.*)|*.*|Text(*.txt)|*.txt"), 2, QString()});
    if (answer.cancelled || answer.fileName.isEmpty())
        return;
    if (const QString error = UserFile::write(answer.fileName, RecordExport::text(m_text)); !error.isEmpty())
        m_ui.messageBox(QStringLiteral("Data not saved ! "), Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Save"),
                        BoxOptions{.detail = error});
}

void Data::mnuExportCsv_Click()
{
    const Ui::FileAnswer answer = m_ui.saveFileDialog({QStringLiteral("CSV(*.csv)|*.csv|All Files(*.*)|*.*"), 1, QString()});
    if (answer.cancelled || answer.fileName.isEmpty())
        return;
    if (const QString error = UserFile::write(answer.fileName, RecordExport::csv(m_records)); !error.isEmpty())
        m_ui.messageBox(QStringLiteral("The records could not be written to %1.").arg(answer.fileName), Ui::Buttons::Ok,
                        Ui::Icon::Critical, QStringLiteral("Export CSV"), BoxOptions{.detail = error});
}

void Data::mnuExportXlsx_Click()
{
    const Ui::FileAnswer answer =
        m_ui.saveFileDialog({QStringLiteral("Spreadsheet(*.xlsx)|*.xlsx|All Files(*.*)|*.*"), 1, QString()});
    if (answer.cancelled || answer.fileName.isEmpty())
        return;
    const RecordSpreadsheet::Result book = RecordSpreadsheet::xlsx(m_records);
    const QString error = book.ok() ? UserFile::write(answer.fileName, book.bytes) : book.error;
    if (!error.isEmpty())
        m_ui.messageBox(QStringLiteral("The records could not be written to %1.").arg(answer.fileName), Ui::Buttons::Ok,
                        Ui::Icon::Critical, QStringLiteral("Export Spreadsheet"), BoxOptions{.detail = error});
}

void Data::mnuDownloads_Click()
{
    const QString folder = DownloadArchive::folder();
    QDir().mkpath(folder);
    if (!m_ui.openFolder(folder))
        m_ui.messageBox(QStringLiteral("The folder %1 could not be opened.").arg(QDir::toNativeSeparators(folder)),
                        Ui::Buttons::Ok, Ui::Icon::Exclamation, QStringLiteral("Downloads Folder"));
}

void Data::mmuPreview_Click()
{
    QPrinter printer;
    m_ui.printPreview(printer, [this](QPrinter &p) { paint(p); });
}

void Data::mmuPrint_Click()
{
    QPrinter printer;
    const bool hasSelection = RichTextBox1->textCursor().hasSelection();
    if (!m_ui.printDialog(printer, hasSelection))
        return;
    paint(printer);
    if (printer.printerState() == QPrinter::Error)
        m_ui.messageBox(QStringLiteral("Data not printed ! "), Ui::Buttons::Ok, Ui::Icon::Critical,
                        QStringLiteral("Print"));
}

void Data::paint(QPrinter &printer)
{
    QByteArray one = m_text;
    if (printer.printRange() == QPrinter::Selection && RichTextBox1->textCursor().hasSelection())
        one = toBytes(RichTextBox1->textCursor().selectedText());
    // The copies follow one another in one document; the printer itself makes one.
    const int copies = qMax(1, printer.copyCount());
    printer.setCopyCount(1);
    QString all;
    for (int i = 0; i < copies; ++i)
        all += fromBytes(one).remove(QLatin1Char('\r')) + QLatin1Char('\n');
    QTextDocument doc;
    doc.setDefaultFont(RichTextBox1->font());
    doc.setPlainText(all);
    doc.print(&printer);
}

#include "moc_Data.cpp"
