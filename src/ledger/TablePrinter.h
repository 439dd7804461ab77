#pragma once

#include <QFont>
#include <QList>
#include <QPainter>
#include <QStringList>

class QPrinter;

// Rows of text printed as a table, one row at a time, so a long list never
// sits in memory whole: the header row tops every page and each cell's text
// wraps inside its column, so nothing is cut off.
class TablePrinter
{
public:
    // The columns share the page as the header and the sample rows need it;
    // a column wider than its share wraps.
    TablePrinter(QPrinter &printer, const QStringList &header, const QList<QStringList> &sample);
    // False once the printer has failed.
    bool row(const QStringList &cells);
    bool finish();

    const QList<int> &widths() const { return m_widths; }

private:
    int height(const QStringList &cells, const QFontMetrics &fm) const;
    void draw(const QStringList &cells, int h);
    bool newPage();

    QPrinter &m_printer;
    QPainter m_painter;
    QStringList m_header;
    QFont m_bold;
    QList<int> m_widths;
    int m_pad = 0;
    int m_y = 0;
    int m_bottom = 0;
    bool m_ok = false;
    bool m_pageUsed = false;
};
