#include "format/sfrmASC.h"

#include "core/Session.h"
#include "format/CharacterNames.h"
#include "platform/Twips.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int kGridWidth = 4960;  // twips
constexpr int kColumnWidth = 550; // twips
constexpr int kRowHeight = 255;   // twips: the header row, and every row like it
constexpr int kWindowExtra = 220; // twips beside the grid

QString cellText(int row, int column)
{
    if (row == 0 && column == 0)
        return QStringLiteral("L \\ H");
    if (row == 0)
        return QString::number(column - 1);
    if (column == 0)
        return QString::number(row - 1, 16).toUpper();
    return AsciiName(sfrmASC::codeAt(row, column));
}
} // namespace

sfrmASC::sfrmASC(Session &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("sfrmASC"));
    setWindowTitle(QStringLiteral("RS-232 Interface   ASCII Table"));
    setModal(true);

    m_grid = new QTableWidget(Rows, Columns, this);
    m_grid->setObjectName(QStringLiteral("MSHFlexGrid1"));
    // Row 0 and column 0 are the grid's own header cells, as in a flex grid.
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The current cell shows as selected, so the keyboard's place is seen.
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setTabKeyNavigation(false);
    m_grid->setAccessibleName(windowTitle());
    m_grid->installEventFilter(this);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setWordWrap(false);
    m_grid->horizontalHeader()->setMinimumSectionSize(1);
    m_grid->verticalHeader()->setMinimumSectionSize(1);

    const QBrush headerBrush = palette().brush(QPalette::Button);
    for (int c = 0; c < Columns; ++c) {
        m_grid->setColumnWidth(c, twips(kColumnWidth));
        for (int r = 0; r < Rows; ++r) {
            auto *item = new QTableWidgetItem(cellText(r, c));
            item->setTextAlignment(Qt::AlignCenter);
            item->setFlags(Qt::ItemIsEnabled);
            if (r == 0 || c == 0)
                item->setBackground(headerBrush);
            else
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_grid->setItem(r, c, item);
        }
    }
    for (int r = 0; r < Rows; ++r)
        m_grid->setRowHeight(r, twips(kRowHeight));

    // The grid is as wide as its columns need (at least its 4960 twips), so no column is cut.
    const int frame = 2 * m_grid->frameWidth();
    const int width = qMax(twips(kGridWidth), Columns * twips(kColumnWidth) + frame);
    const int height = Rows * twips(kRowHeight) + frame;
    m_grid->setFixedSize(width, height);

    auto *layout = new QVBoxLayout(this);
    const int side = twips(kWindowExtra) / 2;
    layout->setContentsMargins(side, side, side, side);
    layout->addWidget(m_grid);
    setFixedSize(width + twips(kWindowExtra), height + twips(kWindowExtra));

    connect(m_grid, &QTableWidget::cellPressed, this, &sfrmASC::MSHFlexGrid1_MouseDown);
}

void sfrmASC::showEvent(QShowEvent *event)
{
    m_session.PickedCode.clear();
    m_session.PickedName.clear();
    QDialog::showEvent(event);
    m_grid->setCurrentCell(1, 1);
    m_grid->setFocus();
}

bool sfrmASC::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_grid || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    int row = qMax(1, m_grid->currentRow());
    int column = qMax(1, m_grid->currentColumn());
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Up: row = qMax(1, row - 1); break;
    case Qt::Key_Down: row = qMin(Rows - 1, row + 1); break;
    case Qt::Key_Left: column = qMax(1, column - 1); break;
    case Qt::Key_Right: column = qMin(Columns - 1, column + 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        MSHFlexGrid1_MouseDown(row, column);
        return true;
    case Qt::Key_Escape:
        reject(); // closed without a pick
        return true;
    default:
        return false;
    }
    m_grid->setCurrentCell(row, column);
    return true;
}

void sfrmASC::MSHFlexGrid1_MouseDown(int row, int column)
{
    // The header row and column name the digits; they are not characters.
    if (row < 1 || column < 1)
        return;
    m_session.PickedName = m_grid->item(row, column)->text();
    m_session.PickedCode = QString::number(codeAt(row, column), 16).toUpper();
    accept();
}

#include "moc_sfrmASC.cpp"
