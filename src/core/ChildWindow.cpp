#include "core/ChildWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolButton>

void ChildWindow::closeChild()
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

void ChildWindow::makeHeading(QWidget *label)
{
    QFont heading = label->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    label->setFont(heading);
}

void ChildWindow::keyPressEvent(QKeyEvent *event)
{
    // A button that does not take Enter itself passes the key up to here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget *focused = QApplication::focusWidget();
        if (focused && isAncestorOf(focused) && (qobject_cast<QPushButton *>(focused) || qobject_cast<QToolButton *>(focused)) && focused->isEnabled()) {
            static_cast<QAbstractButton *>(focused)->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

#include "moc_ChildWindow.cpp"
