#pragma once

#include "collect/RecordAssembler.h"

#include <QDialog>

#include <functional>

class QPlainTextEdit;
class QAction;
class QPrinter;
class Ui;

// The viewer of downloaded data: shows the text, saves it, prints it.
class Data : public QDialog
{
    Q_OBJECT
public:
    // showCollectedRecords opens the store's window; without it the File menu hides that entry.
    explicit Data(Ui &ui, QWidget *parent = nullptr, std::function<void(QWidget *parent)> showCollectedRecords = nullptr);

    // The text as the download built it, one character per byte, CR LF line ends.
    void setText(const QByteArray &text);
    void appendText(const QByteArray &text);
    QByteArray text() const;
    void clear();
    // The records of the download, for the CSV and spreadsheet exports.
    void setRecords(const RecordAssembler::Records &records) { m_records = records; }

    void mnuSaveAs_Click();
    void mmuPrint_Click();
    void mnuExportCsv_Click();
    void mnuExportXlsx_Click();
    void mnuDownloads_Click();
    void mmuPreview_Click();

    QPlainTextEdit *RichTextBox1 = nullptr;

private:
    // The whole text, or the selection when the printer asks for it, as many
    // copies as it asks for, one after the other in one document.
    void paint(QPrinter &printer);

    Ui &m_ui;
    RecordAssembler::Records m_records;
    QByteArray m_text; // the bytes, kept apart from the widget's own line ends
};
