#include "collect/frmEnaDisRTC.h"

#include "core/Platform.h"
#include "core/Session.h"
#include "collect/ClockExchange.h"
#include "collect/EnableDisableDialog.h"
#include "collect/PasswordCheck.h"
#include "link/Frames.h"
#include "platform/Clock.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "platform/Ui.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>

namespace {
const QString kConfirmTitle = QStringLiteral(" Enable RTC Confirmation");
}

frmEnaDisRTC::frmEnaDisRTC(Session &session, Platform &platform, std::function<void()> rtcEnabled, QWidget *parent)
    : QDialog(parent), m_session(session), m_platform(platform), m_rtcEnabled(std::move(rtcEnabled)),
      MSComm1(platform.makePort())
{
    setObjectName(QStringLiteral("frmEnaDisRTC"));
    setWindowTitle(QStringLiteral("     ZEV Utility: Enable/Disable RTC"));
    MSComm1->setSettings(Link::LineSettings);
    MSComm1->setInputBufferSize(1024);

    const EnableDisableControls c = buildEnableDisable(*this);
    optEnable = c.optEnable;
    optDisable = c.optDisable;
    cmdOK = c.cmdOK;
    cmdCancel = c.cmdCancel;
    chkSyncUpHostTime = new QCheckBox(QStringLiteral("Sync Up with Host Time"), this);
    chkSyncUpHostTime->setObjectName(QStringLiteral("chkSyncUpHostTime"));
    c.grid->addWidget(chkSyncUpHostTime, 0, 1);
    // Option buttons: clicking the selected one keeps it, the arrow keys move the choice.
    connect(optEnable, &QRadioButton::toggled, chkSyncUpHostTime, &QCheckBox::setEnabled);

    connect(c.cmdOK, &QPushButton::clicked, this, &frmEnaDisRTC::cmdOK_Click);
    activate();
}

frmEnaDisRTC::~frmEnaDisRTC() = default;

void frmEnaDisRTC::activate()
{
    m_session.BusyCount = 0;
    if (m_session.RtcFlag) {
        optEnable->setChecked(true);
        chkSyncUpHostTime->setChecked(m_session.HostTimeSync);
    } else {
        optDisable->setChecked(true);
        chkSyncUpHostTime->setChecked(false);
    }
    chkSyncUpHostTime->setEnabled(optEnable->isChecked());
}

void frmEnaDisRTC::confirmEnabled()
{
    m_session.RtcFlag = true;
    accept();
    if (m_rtcEnabled)
        m_rtcEnabled();
    m_platform.clock.processEvents();
    m_platform.ui.messageBox(QStringLiteral("Record to be timestamped  "), Ui::Buttons::Ok, Ui::Icon::Information,
                             kConfirmTitle);
    m_session.BusyCount = 0;
    m_session.HostTimeSync = true;
}

void frmEnaDisRTC::enableWithoutSync()
{
    if (m_session.BusyCount > 1)
        return;
    m_session.BusyCount = qint16(m_session.BusyCount + 2);
    m_platform.clock.waitMs(400);
    confirmEnabled();
}

void frmEnaDisRTC::cmdOK_Click()
{
    const ExchangeGuard guard(m_platform.clock.gate(), {cmdOK, cmdCancel});
    if (!guard.held())
        return;
    if (m_session.BusyCount > 1) {
        m_session.BusyCount = 0;
        return;
    }
    const QDateTime now = m_platform.clock.now();
    if (optEnable->isChecked() && chkSyncUpHostTime->isChecked()) {
        const ClockSyncResult r = runClockSync(*MSComm1, m_platform.clock, m_session, now);
        if (m_platform.clock.gate().stoppedForGood())
            return;
        switch (r.kind) {
        case ClockSyncResult::Synchronised:
            confirmEnabled();
            return;
        case ClockSyncResult::NotAcknowledged:
            enableWithoutSync();
            return;
        case ClockSyncResult::NoAnswer:
            accept();
            m_platform.ui.messageBox(passwordCheckFailureText(PasswordCheckVariant::Clock), Ui::Buttons::Ok,
                                     Ui::Icon::Information, QString(),
                                     {noReplyDetail(m_platform.portNames, MSComm1->portNumber())});
            m_session.BusyCount = 0;
            return;
        case ClockSyncResult::ReadBackTimedOut:
        case ClockSyncResult::PortError:
            // The dialog stays open for another try.
            m_platform.ui.messageBox(passwordCheckFailureText(PasswordCheckVariant::Clock), Ui::Buttons::Ok,
                                     Ui::Icon::Information, QString(),
                                     {r.kind == ClockSyncResult::PortError
                                          ? MSComm1->problem().detail()
                                          : noReplyDetail(m_platform.portNames, MSComm1->portNumber())});
            m_session.BusyCount = 0;
            return;
        }
    }
    if (optEnable->isChecked()) {
        enableWithoutSync();
        return;
    }
    if (optDisable->isChecked()) {
        if (m_session.BusyCount > 1)
            return;
        m_session.BusyCount = qint16(m_session.BusyCount + 2);
        m_platform.clock.waitMs(400);
        accept();
        m_platform.ui.messageBox(QStringLiteral("Record not to be timestamped. "), Ui::Buttons::Ok,
                                 Ui::Icon::Information, kConfirmTitle);
        m_session.RtcFlag = false;
        m_session.HostTimeSync = true;
        m_session.BusyCount = 0;
        return;
    }
    m_session.BusyCount = 0;
}

#include "moc_frmEnaDisRTC.cpp"
