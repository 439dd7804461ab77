#include "collect/frmEnaDisMID.h"

#include "app/Session.h"

#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>

frmEnaDisMID::frmEnaDisMID(Session &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmEnaDisMID"));
    setWindowTitle(QStringLiteral("     ZEV Utility: Enable/Disable Download Data With Machine ID"));
    optEnable = new QRadioButton(QStringLiteral("Enable"), this);
    optEnable->setObjectName(QStringLiteral("optEnable"));
    optDisable = new QRadioButton(QStringLiteral("Disable"), this);
    optDisable->setObjectName(QStringLiteral("optDisable"));
    auto *cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto *cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    auto *grid = new QGridLayout(this);
    grid->addWidget(optEnable, 0, 0);
    grid->addWidget(cmdOK, 0, 1);
    grid->addWidget(optDisable, 1, 0);
    grid->addWidget(cmdCancel, 1, 1);

    (m_session.MidFlag ? optEnable : optDisable)->setChecked(true);
    connect(cmdOK, &QPushButton::clicked, this, [this]() {
        m_session.MidFlag = optEnable->isChecked();
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}
