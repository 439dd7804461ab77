#include "collect/frmEnaDisMID.h"

#include "core/Session.h"
#include "collect/EnableDisableDialog.h"

#include <QPushButton>
#include <QRadioButton>

frmEnaDisMID::frmEnaDisMID(Session &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmEnaDisMID"));
    setWindowTitle(QStringLiteral("     ZEV Utility: Enable/Disable Download Data With Machine ID"));
    const EnableDisableControls c = buildEnableDisable(*this);
    optEnable = c.optEnable;
    optDisable = c.optDisable;

    (m_session.MidFlag ? optEnable : optDisable)->setChecked(true);
    connect(c.cmdOK, &QPushButton::clicked, this, [this]() {
        m_session.MidFlag = optEnable->isChecked();
        accept();
    });
}

#include "moc_frmEnaDisMID.cpp"
