#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace TestFiles {

QByteArray read(const QString &path);
void write(const QString &path, const QByteArray &bytes);
// The repository and the folder of the built executables (set by the test runner).
QString sourceDir();
QString binDir();

// One row of the image text, built the way the format table lays it out:
// ">" + 16 two-digit values joined by ",", then "," CR LF.
QByteArray row(const char *sixteenHexValuesSeparatedBySpaces);

// RFC 4180 rows; a last row without CR LF gets a "<no CR LF>" field.
QList<QStringList> parseCsv(const QString &text);

// The text of a PDF as `pdftotext -layout` reads it (a form feed ends each page);
// empty when the tool is missing.
QString pdfText(const QString &pdf);

} // namespace TestFiles
