#pragma once

#include "collect/RecordAssembler.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTime>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// Records as a workbook (XLSX) for people who open them in a spreadsheet
// program. Every value is a text cell, so barcodes keep their leading zeros
// and one beginning with "=", "+", "-" or "@" is never taken for a formula;
// timestamps are date cells. The workbook is built in a temporary folder and
// handed back as bytes, so the caller writes it like any other file.
namespace RecordSpreadsheet {

struct Result
{
    QByteArray bytes; // the .xlsx file
    QString error;    // why there is none
    bool ok() const { return error.isEmpty(); }
};

enum class Kind { Text, Number, DateTime };

struct Column
{
    QString title;
    Kind kind = Kind::Text;
};

// The most data rows one sheet holds (the format's 1,048,576 rows less the header).
inline constexpr int MaxRows = 1048575;
// The most characters one cell holds.
inline constexpr int MaxCellChars = 32767;

// A sheet name a spreadsheet program accepts: "Records" for an empty (or all
// blank) name; the characters a sheet name cannot hold ([ ] : * ? / \, control
// characters, an apostrophe at either end) become "_"; at most 31 characters.
QString sheetName(const QString &wanted);

// A workbook written row by row, in constant memory. The header row is bold
// and frozen; column widths follow the longest value. Rows beyond rowsPerSheet
// go on to another sheet ("NAME (2)", ...) with the same header.
class Workbook
{
public:
    Workbook(const QString &sheet, const QList<Column> &columns, int rowsPerSheet = MaxRows);
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    // The next cell of the current row.
    void text(const QString &value);
    void number(double value);
    void dateTime(QDate date, QTime time); // an invalid date or time leaves the cell empty
    // A record's timestamp as "yyyy-MM-dd hh:mm:ss": a date cell; empty when
    // the timestamp failed its check; text when it names no real date or time.
    void timestamp(const QString &text);
    void skip();
    void endRow();

    // Closes the workbook; call once.
    Result finish();

private:
    // The current sheet, or a new one when it is full; null after a failure.
    lxw_worksheet *sheetForCell();
    void addSheet();
    void fail(const QString &error);

    QTemporaryDir m_dir;
    QByteArray m_path;
    QByteArray m_tmp;
    QString m_name;
    QList<Column> m_columns;
    QList<double> m_widths;
    int m_rowsPerSheet;
    lxw_workbook *m_book = nullptr;
    lxw_format *m_bold = nullptr;
    lxw_format *m_date = nullptr;
    QList<lxw_worksheet *> m_sheets;
    quint32 m_row = 0; // within the current sheet; 0 is the header
    quint16 m_col = 0;
    QString m_error;
};

// The records of a download: machine ID, timestamp, data, one row per record
// ended by "?" CR in stream order, on a sheet named after the machine ID. A
// timestamp that failed its check leaves its cell empty; one that passed but
// names no real date or time (a 30th of February) is kept as its text.
Result xlsx(const RecordAssembler::Records &records);

} // namespace RecordSpreadsheet
