#include "app/ChildWindow.h"

#include <QMdiSubWindow>

void ChildWindow::closeChild()
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}
