#include "app/ChildWindow.h"

#include "platform/Ui.h"

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

bool ChildWindow::confirmFactoryDefault(Ui &ui, const QString &what)
{
    return ui.messageBox(QStringLiteral("Current ") + what
                             + QStringLiteral(" will be changed to factory default. Are you sure ?(Y/N) "),
                         Ui::Buttons::YesNo, Ui::Icon::Information, QStringLiteral("Preamble & Postamble"))
        == Ui::Answer::Yes;
}
