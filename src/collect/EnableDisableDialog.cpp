#include "collect/EnableDisableDialog.h"

#include <QDialog>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>

EnableDisableControls buildEnableDisable(QDialog &dialog)
{
    EnableDisableControls c;
    c.optEnable = new QRadioButton(QStringLiteral("Enable"), &dialog);
    c.optEnable->setObjectName(QStringLiteral("optEnable"));
    c.optDisable = new QRadioButton(QStringLiteral("Disable"), &dialog);
    c.optDisable->setObjectName(QStringLiteral("optDisable"));
    c.cmdOK = new QPushButton(QStringLiteral("OK"), &dialog);
    c.cmdOK->setObjectName(QStringLiteral("cmdOK"));
    c.cmdOK->setDefault(true);
    c.cmdCancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    c.cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter on a focused Cancel presses Cancel, not the default OK.
    c.cmdCancel->setAutoDefault(true);
    c.grid = new QGridLayout(&dialog);
    c.grid->addWidget(c.optEnable, 0, 0);
    c.grid->addWidget(c.cmdOK, 0, 2);
    c.grid->addWidget(c.optDisable, 1, 0);
    c.grid->addWidget(c.cmdCancel, 1, 2);
    QObject::connect(c.cmdCancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    return c;
}
