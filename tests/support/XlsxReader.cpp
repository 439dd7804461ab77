#include "support/XlsxReader.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cmath>

namespace XlsxReader {

namespace {

struct Zip
{
    QString path;
    QString error;

    QByteArray run(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral("unzip"), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            error = QStringLiteral("unzip %1 failed: %2").arg(args.join(u' '), QString::fromLocal8Bit(p.readAllStandardError()));
            return QByteArray();
        }
        return p.readAllStandardOutput();
    }
    QStringList entries() { return QString::fromUtf8(run({QStringLiteral("-Z1"), path})).split(u'\n', Qt::SkipEmptyParts); }
    QByteArray part(const QString &name) { return run({QStringLiteral("-p"), path, name}); }
};

QString decodeEscapes(const QString &text)
{
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString out;
    qsizetype copied = 0;
    for (auto it = escape.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(text).mid(copied, m.capturedStart() - copied);
        out += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        copied = m.capturedEnd();
    }
    out += QStringView(text).mid(copied);
    return out;
}

// The text of the element the reader stands on, every <t> inside it joined.
QString textOf(QXmlStreamReader &x)
{
    QString text;
    const QString end = x.name().toString();
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == u"t")
            text += x.readElementText();
        else if (x.isEndElement() && x.name() == end)
            break;
    }
    return decodeEscapes(text);
}

struct Style
{
    bool date = false;
    bool bold = false;
};

QList<Style> readStyles(const QByteArray &xml)
{
    QHash<int, QString> formats;
    QList<bool> boldFonts;
    QList<Style> styles;
    QXmlStreamReader x(xml);
    bool inXfs = false;
    bool inFonts = false;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isEndElement() && x.name() == u"cellXfs")
            inXfs = false;
        if (x.isEndElement() && x.name() == u"fonts")
            inFonts = false;
        if (!x.isStartElement())
            continue;
        const auto a = x.attributes();
        if (x.name() == u"numFmt") {
            formats.insert(a.value(QLatin1String("numFmtId")).toInt(), a.value(QLatin1String("formatCode")).toString());
        } else if (x.name() == u"fonts") {
            inFonts = true;
        } else if (inFonts && x.name() == u"font") {
            boldFonts << false;
        } else if (inFonts && x.name() == u"b" && !boldFonts.isEmpty()) {
            boldFonts.last() = a.value(QLatin1String("val")) != u"0";
        } else if (x.name() == u"cellXfs") {
            inXfs = true;
        } else if (inXfs && x.name() == u"xf") {
            const int id = a.value(QLatin1String("numFmtId")).toInt();
            const QString code = formats.value(id);
            Style s;
            s.date = (id >= 14 && id <= 22) || code.contains(u"yy") || code.contains(u"dd");
            s.bold = boldFonts.value(a.value(QLatin1String("fontId")).toInt());
            styles << s;
        }
    }
    return styles;
}

int columnOf(QStringView ref)
{
    int col = 0;
    for (QChar c : ref) {
        if (c < u'A' || c > u'Z')
            break;
        col = col * 26 + (c.unicode() - u'A' + 1);
    }
    return col - 1;
}

Sheet readSheet(const QByteArray &xml, const QStringList &shared, const QList<Style> &styles)
{
    Sheet sheet;
    QXmlStreamReader x(xml);
    int row = -1;
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement())
            continue;
        const auto a = x.attributes();
        if (x.name() == u"pane") {
            sheet.frozen = a.value(QLatin1String("state")).toString() + u' ' + a.value(QLatin1String("topLeftCell")).toString();
        } else if (x.name() == u"col") {
            for (int c = a.value(QLatin1String("min")).toInt(); c <= a.value(QLatin1String("max")).toInt(); ++c) {
                while (sheet.widths.size() < c)
                    sheet.widths << 0;
                sheet.widths[c - 1] = a.value(QLatin1String("width")).toDouble();
            }
        } else if (x.name() == u"row") {
            row = a.hasAttribute(QLatin1String("r")) ? a.value(QLatin1String("r")).toInt() - 1 : row + 1;
            while (sheet.rows.size() <= row)
                sheet.rows << QList<Cell>();
        } else if (x.name() == u"c" && row >= 0) {
            const int col = columnOf(a.value(QLatin1String("r")));
            const QString type = a.value(QLatin1String("t")).toString();
            const Style style = styles.value(a.value(QLatin1String("s")).toInt());
            Cell cell;
            cell.date = style.date;
            cell.bold = style.bold;
            QString v;
            bool inlineText = false;
            while (!x.atEnd()) {
                x.readNext();
                if (x.isStartElement() && x.name() == u"v") {
                    v = x.readElementText();
                } else if (x.isStartElement() && x.name() == u"is") {
                    v = textOf(x);
                    inlineText = true;
                } else if (x.isEndElement() && x.name() == u"c") {
                    break;
                }
            }
            if (type == u"s") {
                cell.kind = Cell::Text;
                cell.value = shared.value(v.toInt());
            } else if (type == u"inlineStr" && inlineText) {
                cell.kind = Cell::Text;
                cell.value = v;
            } else if ((type.isEmpty() || type == u"n") && !v.isEmpty()) {
                cell.kind = Cell::Number;
                cell.value = v;
            } else if (!v.isEmpty()) {
                cell.kind = Cell::Other;
                cell.value = v;
            }
            QList<Cell> &cells = sheet.rows[row];
            while (cells.size() <= col)
                cells << Cell();
            cells[col] = cell;
        }
    }
    return sheet;
}

} // namespace

QString Cell::dateText() const
{
    if (!date || kind != Number)
        return QString();
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return epoch.addMSecs(std::llround(value.toDouble() * 86400.0) * 1000).toString(u"yyyy-MM-dd hh:mm:ss");
}

Workbook read(const QByteArray &xlsx)
{
    Workbook book;
    QTemporaryDir dir;
    Zip zip{dir.filePath(QStringLiteral("book.xlsx")), QString()};
    QFile f(zip.path);
    if (!f.open(QIODevice::WriteOnly) || f.write(xlsx) != xlsx.size()) {
        book.error = f.errorString();
        return book;
    }
    f.close();
    const QStringList entries = zip.entries();
    static const QRegularExpression formula(QStringLiteral("<(\\w+:)?f[\\s>/]"));
    book.hasFormula = QString::fromUtf8(zip.run({QStringLiteral("-p"), zip.path})).contains(formula); // every part

    QStringList shared;
    if (entries.contains(u"xl/sharedStrings.xml")) {
        QXmlStreamReader x(zip.part(QStringLiteral("xl/sharedStrings.xml")));
        while (!x.atEnd())
            if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"si")
                shared << textOf(x);
    }
    const QList<Style> styles = readStyles(zip.part(QStringLiteral("xl/styles.xml")));

    QHash<QString, QString> targets; // relationship id -> part
    QXmlStreamReader rels(zip.part(QStringLiteral("xl/_rels/workbook.xml.rels")));
    while (!rels.atEnd())
        if (rels.readNext() == QXmlStreamReader::StartElement && rels.name() == u"Relationship")
            targets.insert(rels.attributes().value(QLatin1String("Id")).toString(),
                           QStringLiteral("xl/") + rels.attributes().value(QLatin1String("Target")).toString());
    QXmlStreamReader wb(zip.part(QStringLiteral("xl/workbook.xml")));
    while (!wb.atEnd()) {
        if (wb.readNext() != QXmlStreamReader::StartElement || wb.name() != u"sheet")
            continue;
        const QString part = targets.value(wb.attributes().value(QLatin1String("r:id")).toString());
        Sheet sheet = readSheet(zip.part(part), shared, styles);
        sheet.name = wb.attributes().value(QLatin1String("name")).toString();
        book.sheets << sheet;
    }
    book.error = zip.error;
    return book;
}

} // namespace XlsxReader
