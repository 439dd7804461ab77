#include "core/ChildWindow.h"

#include <QMdiSubWindow>

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
