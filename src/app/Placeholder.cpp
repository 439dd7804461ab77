#include "app/Placeholder.h"

#include <QLabel>
#include <QVBoxLayout>

Placeholder::Placeholder(const QString &windowName, QWidget *parent) : ChildWindow(parent)
{
    setWindowTitle(windowName);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(windowName + QStringLiteral("\n\nThis window is not available in this version."), this);
    label->setObjectName(QStringLiteral("lblPlaceholder"));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
}
