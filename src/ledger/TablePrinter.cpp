#include "ledger/TablePrinter.h"

#include <QPrinter>
#include <numeric>

namespace {

constexpr int Flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;

// Each column gets what it needs when all fit; otherwise the narrow ones keep
// theirs and the wide ones share the rest equally.
QList<int> share(QList<int> need, int page)
{
    const int total = std::accumulate(need.cbegin(), need.cend(), 0);
    if (total <= page) {
        // The widest column takes what is left over.
        need[int(std::max_element(need.cbegin(), need.cend()) - need.cbegin())] += page - total;
        return need;
    }
    QList<bool> fixed(need.size(), false);
    for (bool changed = true; changed;) {
        changed = false;
        int left = page, open = 0;
        for (qsizetype c = 0; c < need.size(); ++c) {
            if (fixed[c])
                left -= need[c];
            else
                ++open;
        }
        for (qsizetype c = 0; c < need.size() && open; ++c) {
            if (!fixed[c] && need[c] <= left / open) {
                fixed[c] = true;
                changed = true;
            }
        }
        if (!changed)
            for (qsizetype c = 0; c < need.size(); ++c)
                if (!fixed[c])
                    need[c] = left / open;
    }
    return need;
}

} // namespace

TablePrinter::TablePrinter(QPrinter &printer, const QStringList &header, const QList<QStringList> &sample)
    : m_printer(printer), m_header(header)
{
    m_ok = m_painter.begin(&printer);
    if (!m_ok)
        return;
    m_bold = m_painter.font();
    m_bold.setBold(true);
    const QFontMetrics fm = m_painter.fontMetrics();
    const QFontMetrics bold(m_bold, &printer);
    m_pad = qMax(1, fm.height() / 5);
    QList<int> need;
    for (qsizetype c = 0; c < header.size(); ++c) {
        int w = bold.horizontalAdvance(header[c]);
        for (const QStringList &r : sample)
            w = qMax(w, fm.horizontalAdvance(r.value(c)));
        need << w + 3 * m_pad;
    }
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    m_widths = share(need, page.width());
    m_bottom = page.height();
    newPage();
}

int TablePrinter::height(const QStringList &cells, const QFontMetrics &fm) const
{
    int h = fm.height();
    for (qsizetype c = 0; c < m_widths.size(); ++c)
        h = qMax(h, fm.boundingRect(QRect(0, 0, m_widths[c] - 2 * m_pad, 1 << 24), Flags, cells.value(c)).height());
    return h + 2 * m_pad;
}

void TablePrinter::draw(const QStringList &cells, int h)
{
    int x = 0;
    for (qsizetype c = 0; c < m_widths.size(); ++c) {
        m_painter.drawText(QRect(x + m_pad, m_y + m_pad, m_widths[c] - 2 * m_pad, h - 2 * m_pad), Flags, cells.value(c));
        x += m_widths[c];
    }
    m_y += h;
    m_painter.drawLine(0, m_y, x, m_y);
}

bool TablePrinter::newPage()
{
    if (m_pageUsed && !m_printer.newPage())
        m_ok = false;
    m_y = 0;
    m_pageUsed = false;
    const QFont plain = m_painter.font();
    m_painter.setFont(m_bold);
    draw(m_header, height(m_header, m_painter.fontMetrics()));
    m_painter.setFont(plain);
    return m_ok;
}

bool TablePrinter::row(const QStringList &cells)
{
    if (!m_ok)
        return false;
    const int h = height(cells, m_painter.fontMetrics());
    if (m_pageUsed && m_y + h > m_bottom && !newPage())
        return false;
    draw(cells, h);
    m_pageUsed = true;
    return m_printer.printerState() != QPrinter::Error;
}

bool TablePrinter::finish()
{
    if (m_painter.isActive())
        m_ok = m_painter.end() && m_ok;
    return m_ok && m_printer.printerState() != QPrinter::Error;
}
