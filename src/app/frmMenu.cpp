#include "app/frmMenu.h"

#include "platform/Twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QScrollArea>
#include <QStyle>
#include <QToolBox>

namespace {

// Small pictures drawn for this program, so the pane looks the same on every platform.
QIcon drawnIcon(int kind)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(30, 60, 120);
    p.setPen(QPen(ink, 2));
    switch (kind) {
    case 0: // barcode
        for (int x = 4, i = 0; x < 28; x += (i % 3 == 0 ? 4 : 3), ++i)
            p.fillRect(x, 6, (i % 2) ? 1 : 2, 20, ink);
        break;
    case 1: // sliders: general parameters
        for (int y : {8, 16, 24}) {
            p.drawLine(4, y, 28, y);
            p.setBrush(QColor(200, 120, 30));
            p.drawEllipse(QPoint(8 + (y * 3) % 18, y), 3, 3);
        }
        break;
    case 2: // text before and after: preamble and postamble
        p.drawRect(10, 8, 12, 16);
        p.drawText(QRect(0, 8, 10, 16), Qt::AlignCenter, QStringLiteral("<"));
        p.drawText(QRect(22, 8, 10, 16), Qt::AlignCenter, QStringLiteral(">"));
        break;
    case 3: // terminator
        p.drawLine(6, 10, 24, 10);
        p.drawLine(24, 10, 24, 22);
        p.drawLine(24, 22, 8, 22);
        p.drawLine(8, 22, 12, 18);
        p.drawLine(8, 22, 12, 26);
        break;
    }
    return QIcon(pm);
}

QIcon styleIcon(QStyle::StandardPixmap sp)
{
    return QApplication::style()->standardIcon(sp);
}

} // namespace

frmMenu::frmMenu(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMenu"));
    m_menu = new QToolBox(this);
    m_menu->setObjectName(QStringLiteral("VerticalMenu1"));
    m_menu->setAccessibleName(QStringLiteral("Menu"));
    setAccessibleName(m_menu->accessibleName());
    setToolTip(QStringLiteral("Menu (%1); arrow keys move, Enter or Space opens").arg(FocusKey));

    const QList<QPair<QString, QList<QPair<QString, QIcon>>>> groups = {
        {QStringLiteral("File"),
         {{QStringLiteral("Default"), styleIcon(QStyle::SP_BrowserReload)},
          {QStringLiteral("Open"), styleIcon(QStyle::SP_DialogOpenButton)},
          {QStringLiteral("Save"), styleIcon(QStyle::SP_DialogSaveButton)},
          {QStringLiteral("Exit"), styleIcon(QStyle::SP_DialogCloseButton)}}},
        {QStringLiteral("Setting"),
         {{QStringLiteral("Barcode"), drawnIcon(0)},
          {QStringLiteral("General Parameter"), drawnIcon(1)},
          {QStringLiteral("Preamble & Postamble"), drawnIcon(2)},
          {QStringLiteral("Terminator"), drawnIcon(3)}}},
        {QStringLiteral("Transmit"), {{QStringLiteral("Transmit"), styleIcon(QStyle::SP_ArrowRight)}}},
        {QStringLiteral("Download"),
         {{QStringLiteral("Download Data"), styleIcon(QStyle::SP_ArrowDown)},
          {QStringLiteral("Collected Records"), styleIcon(QStyle::SP_FileDialogDetailedView)}}},
    };
    for (int g = 0; g < groups.size(); ++g) {
        auto *list = new QListWidget(m_menu);
        list->setObjectName(QStringLiteral("VerticalMenu1Group(%1)").arg(g + 1));
        list->setViewMode(QListView::IconMode);
        list->setIconSize(QSize(32, 32));
        list->setFlow(QListView::TopToBottom);
        list->setWrapping(false);
        list->setMovement(QListView::Static);
        list->setResizeMode(QListView::Adjust);
        list->setSpacing(4);
        list->setWordWrap(true);
        list->setFocusPolicy(Qt::StrongFocus);
        list->setAccessibleName(groups[g].first);
        list->setToolTip(toolTip());
        list->installEventFilter(this);
        m_menu->addItem(list, groups[g].first);
        for (const auto &item : groups[g].second)
            addItem(g + 1, item.first, item.second);
        connect(list, &QListWidget::itemClicked, this,
                [this, g, list](QListWidgetItem *item) { Q_EMIT MenuItemClick(g + 1, list->row(item) + 1); });
    }
    // The tool box wraps each group in a scroll area that would be a Tab stop showing nothing.
    for (QScrollArea *page : m_menu->findChildren<QScrollArea *>())
        page->setFocusPolicy(Qt::NoFocus);
}

int frmMenu::addItem(int oneBasedGroup, const QString &caption, const QIcon &icon)
{
    QListWidget *list = group(oneBasedGroup);
    auto *item = new QListWidgetItem(icon, caption, list);
    item->setTextAlignment(Qt::AlignHCenter);
    item->setSizeHint(QSize(twips(PaneItemWidth), 64));
    return list->count();
}

QListWidget *frmMenu::group(int oneBasedGroup) const
{
    return qobject_cast<QListWidget *>(m_menu->widget(oneBasedGroup - 1));
}

int frmMenu::currentGroup() const
{
    return m_menu->currentIndex() + 1;
}

void frmMenu::selectItem(int oneBasedGroup, int oneBasedItem)
{
    m_menu->setCurrentIndex(oneBasedGroup - 1);
    if (QListWidget *list = group(oneBasedGroup))
        list->setCurrentRow(oneBasedItem - 1);
}

void frmMenu::focusMenu()
{
    QListWidget *list = group(currentGroup());
    if (!list)
        return;
    if (list->currentRow() < 0 && list->count() > 0)
        list->setCurrentRow(0);
    list->setFocus(Qt::ShortcutFocusReason);
}

void frmMenu::moveToGroup(int oneBasedGroup, bool first)
{
    QListWidget *list = group(oneBasedGroup);
    if (!list || list->count() == 0)
        return;
    m_menu->setCurrentIndex(oneBasedGroup - 1);
    list->setCurrentRow(first ? 0 : list->count() - 1);
    list->setFocus(Qt::OtherFocusReason);
}

bool frmMenu::eventFilter(QObject *watched, QEvent *event)
{
    auto *list = qobject_cast<QListWidget *>(watched);
    if (!list || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int g = m_menu->indexOf(list) + 1;
    const int row = list->currentRow();
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (row >= 0)
            Q_EMIT MenuItemClick(g, row + 1);
        return true;
    case Qt::Key_Down:
        if (row < list->count() - 1)
            return false;
        moveToGroup(g + 1, true);
        return true;
    case Qt::Key_Up:
        if (row > 0)
            return false;
        moveToGroup(g - 1, false);
        return true;
    case Qt::Key_Right:
        moveToGroup(g + 1, true);
        return true;
    case Qt::Key_Left:
        moveToGroup(g - 1, true);
        return true;
    default:
        return false;
    }
}

void frmMenu::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // 100 below the pane's top, 200 narrower and shorter than the pane.
    const int margin = twips(100);
    int w = width() - 2 * margin;
    int h = height() - 2 * margin;
    if (w < 0 || h < 0) {
        w = m_menu->width();
        h = m_menu->height();
    }
    m_menu->setGeometry(margin, margin, w, h);
}

#include "moc_frmMenu.cpp"
