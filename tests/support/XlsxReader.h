#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reads an XLSX workbook back the way a spreadsheet program would see its
// cells: unzips it (the unzip tool) and parses the sheets' XML.
namespace XlsxReader {

struct Cell
{
    enum Kind { Empty, Text, Number, Other };
    Kind kind = Empty;
    QString value;      // text (with "_xHHHH_" decoded), or the number as written
    bool date = false;  // the cell's style shows a date
    bool bold = false;  // the cell's style has a bold font
    // A date cell's value as "yyyy-MM-dd hh:mm:ss"; empty for other cells.
    QString dateText() const;
};

struct Sheet
{
    QString name;
    QList<QList<Cell>> rows; // by row and column; missing cells are Empty
    QString frozen;          // the pane's state and top left cell, e.g. "frozen A2"
    QList<double> widths;    // the columns' widths, when set
};

struct Workbook
{
    QString error; // why the file could not be read
    QList<Sheet> sheets;
    bool hasFormula = false; // an <f> element in any part
};

Workbook read(const QByteArray &xlsx);

} // namespace XlsxReader
