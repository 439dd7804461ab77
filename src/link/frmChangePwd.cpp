#include "link/frmChangePwd.h"

#include "core/Platform.h"
#include "core/Session.h"
#include "link/ChangePasswordExchange.h"
#include "link/Frames.h"
#include "link/PasswordKeyFilter.h"
#include "platform/AccessibleName.h"
#include "platform/Clock.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "platform/Ui.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kInvalid = QStringLiteral("Invalid password.  Try again. ");

QString padded(const QString &password)
{
    QString p = password;
    int sum = 0;
    PadPassword(p, sum);
    return p;
}
} // namespace

frmChangePwd::frmChangePwd(Session &session, Platform &platform, QWidget *parent)
    : QDialog(parent), m_session(session), m_platform(platform), ChgPwdComm(platform.makePort())
{
    setObjectName(QStringLiteral("frmChangePwd"));
    setWindowTitle(QStringLiteral("Change  Password"));
    ChgPwdComm->setInputBufferSize(1024);

    auto *filter = new PasswordKeyFilter(m_platform.ui, PasswordKeyFilter::RefuseWhenFull, this);
    auto box = [this, filter](const QString &name) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        filter->attach(edit);
        edit->installEventFilter(this); // for the focus rules
        return edit;
    };
    txtCurrentPwd = box(QStringLiteral("txtCurrentPwd"));
    txtNewPwd = box(QStringLiteral("txtNewPwd"));
    txtConfirmNewPwd = box(QStringLiteral("txtConfirmNewPwd"));
    auto *lbl0 = new QLabel(QStringLiteral("Current Password:"), this);
    lbl0->setObjectName(QStringLiteral("lblLabels(0)"));
    auto *lbl1 = new QLabel(QStringLiteral("New Password:"), this);
    lbl1->setObjectName(QStringLiteral("lblLabels(1)"));
    auto *label1 = new QLabel(QStringLiteral("Confirm New Password:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    AccessibleName::byLabel(lbl0, txtCurrentPwd);
    AccessibleName::byLabel(lbl1, txtNewPwd);
    AccessibleName::byLabel(label1, txtConfirmNewPwd);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter on a focused Cancel presses Cancel, not the default OK.
    cmdCancel->setAutoDefault(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(lbl0, 0, 0);
    grid->addWidget(txtCurrentPwd, 0, 1);
    grid->addWidget(cmdOK, 0, 2);
    grid->addWidget(lbl1, 1, 0);
    grid->addWidget(txtNewPwd, 1, 1);
    grid->addWidget(cmdCancel, 1, 2);
    grid->addWidget(label1, 2, 0);
    grid->addWidget(txtConfirmNewPwd, 2, 1);

    connect(cmdOK, &QPushButton::clicked, this, &frmChangePwd::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    m_session.BusyCount = 0;
}

frmChangePwd::~frmChangePwd() = default;

bool frmChangePwd::event(QEvent *e)
{
    if (e->type() == QEvent::Show)
        m_session.BusyCount = 0;
    return QDialog::event(e);
}

bool frmChangePwd::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::FocusIn) {
        if (watched == txtCurrentPwd)
            txtNewPwd->setEnabled(true);
        else if (watched == txtNewPwd)
            txtNewPwd_GotFocus();
    }
    return QDialog::eventFilter(watched, e);
}

void frmChangePwd::say(const QString &text, const QString &title)
{
    m_platform.ui.messageBox(text, Ui::Buttons::Ok, Ui::Icon::Information, title);
}

void frmChangePwd::txtNewPwd_GotFocus()
{
    if (padded(txtCurrentPwd->text()) == m_session.LoginPassword) {
        txtNewPwd->setEnabled(true);
        txtConfirmNewPwd->setEnabled(true);
        return;
    }
    txtNewPwd->setEnabled(false);
    txtConfirmNewPwd->setEnabled(false);
    txtCurrentPwd->clear();
    txtCurrentPwd->setFocus();
    m_platform.clock.waitMs(300);
    say(kInvalid);
}

void frmChangePwd::refuse(int busy, int waitMs)
{
    m_session.BusyCount = qint16(m_session.BusyCount + busy);
    m_platform.clock.waitMs(waitMs);
    say(kInvalid);
    emptyAll();
    m_session.BusyCount = 0;
}

void frmChangePwd::emptyAll()
{
    txtCurrentPwd->clear();
    txtNewPwd->clear();
    txtConfirmNewPwd->clear();
    txtCurrentPwd->setFocus();
}

void frmChangePwd::cmdOK_Click()
{
    const ExchangeGuard guard(m_platform.clock.gate(), {cmdOK, cmdCancel});
    if (!guard.held() || m_session.BusyCount > 1)
        return;
    if (padded(txtCurrentPwd->text()) != m_session.LoginPassword) {
        refuse(1, 400);
        return;
    }
    if (txtNewPwd->text() != txtConfirmNewPwd->text()) {
        refuse(2, 500);
        return;
    }
    const ChangePasswordResult r = runChangePasswordExchange(
        *ChgPwdComm, m_platform.clock, m_session.CommPortNumber, txtCurrentPwd->text(), txtNewPwd->text(),
        [this]() { m_session.BusyCount = qint16(m_session.BusyCount + 1); });
    if (m_platform.clock.gate().stoppedForGood())
        return;
    switch (r.kind) {
    case ChangePasswordResult::PortError:
        m_platform.ui.messageBox(QStringLiteral("Comm Port Error ! "), Ui::Buttons::Ok, Ui::Icon::Critical, QString(),
                                 {ChgPwdComm->problem().detail()});
        break;
    case ChangePasswordResult::NoAnswer:
        accept();
        m_platform.ui.messageBox(QStringLiteral(" Communications failed to establish. \r\nCheck physical connections and\r\n"
                                                "make sure reader is powered up."),
                                 Ui::Buttons::Ok, Ui::Icon::Information, QString(),
                                 {noReplyDetail(m_platform.portNames, ChgPwdComm->portNumber())});
        break;
    case ChangePasswordResult::Changed:
        m_session.LoginPassword = r.paddedNewPassword;
        accept();
        say(QStringLiteral("Your password has been changed. "), QStringLiteral("Change  Password Confirmation"));
        break;
    case ChangePasswordResult::Refused:
        m_platform.clock.waitMs(300);
        say(kInvalid);
        emptyAll();
        break;
    case ChangePasswordResult::OtherReply:
        break;
    }
    m_session.BusyCount = 0;
}

#include "moc_frmChangePwd.cpp"
