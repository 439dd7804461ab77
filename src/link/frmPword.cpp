#include "link/frmPword.h"

#include "core/Session.h"
#include "link/Frames.h"
#include "link/LoginExchange.h"
#include "link/PasswordKeyFilter.h"
#include "platform/Clock.h"
#include "platform/PortNames.h"
#include "platform/PortProblem.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortsDialog.h"
#include "platform/Ui.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kTitle = QStringLiteral("Login Error");
} // namespace

QString frmPword::communicationMessage()
{
    return QStringLiteral("Communications failed to establish. Check physical connections \r\n"
                          "and make sure your ZEV scanner is powered up.");
}

frmPword::frmPword(Session &session, Ui &ui, SerialPort &port, Clock &clock, QWidget *parent, PortNames *names)
    : QDialog(parent), m_session(session), m_ui(ui), m_port(port), m_clock(clock), m_names(names)
{
    setObjectName(QStringLiteral("frmPword"));
    setWindowTitle(QStringLiteral("ZEV Utility: Login"));
    setModal(true);

    auto *lblUserName = new QLabel(QStringLiteral("Enter Your Password:"), this);
    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    // A full box still takes a character typed over a selection.
    (new PasswordKeyFilter(m_ui, PasswordKeyFilter::ReplaceSelection, this))->attach(txtUserName);
    lblUserName->setBuddy(txtUserName);

    auto *lblPort = new QLabel(QStringLiteral("Comm Port :"), this);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    for (int n = 1; n <= 12; ++n)
        Combo1->addItem(QString::number(n));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter on a focused Cancel presses Cancel, not the default OK.
    cmdCancel->setAutoDefault(true);
    auto *lblVersion = new QLabel(QStringLiteral("Ver. 1.75"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(lblUserName, 0, 0);
    grid->addWidget(txtUserName, 0, 1);
    grid->addWidget(cmdOK, 0, 2);
    grid->addWidget(lblPort, 1, 0);
    grid->addWidget(Combo1, 1, 1);
    grid->addWidget(cmdCancel, 1, 2);
    if (m_names) {
        // Beside the dialog's own controls: which device the number means, and where to change it.
        lblDevice = new QLabel(this);
        lblDevice->setObjectName(QStringLiteral("lblDevice"));
        auto *cmdPorts = new QPushButton(QStringLiteral("Ports..."), this);
        cmdPorts->setObjectName(QStringLiteral("cmdPorts"));
        cmdPorts->setAutoDefault(true); // Enter on it opens the list, not the login
        grid->addWidget(lblDevice, 2, 1);
        grid->addWidget(cmdPorts, 2, 2);
        connect(cmdPorts, &QPushButton::clicked, this, &frmPword::cmdPorts_Click);
    }
    grid->addWidget(lblVersion, 3, 0, 1, 3, Qt::AlignRight);

    // Loading the dialog.
    FailedLogins = 0;
    LoginSucceeded = false;
    Combo1->setCurrentIndex(qBound(1, int(m_session.CommPortNumber), 12) - 1);
    m_session.LoggedIn = false;
    m_session.Rs232Interface = true;
    m_port.setPortNumber(1);
    m_port.setSettings(Link::LineSettings);
    m_port.setInputBufferSize(1024);

    connect(cmdOK, &QPushButton::clicked, this, &frmPword::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Combo1, &QComboBox::activated, this, &frmPword::Combo1_Click);
    showDevice();
}

void frmPword::showDevice()
{
    if (!m_names)
        return;
    const int n = Combo1->currentIndex() + 1;
    const PortNames::Mapping m = m_names->lookup(n);
    lblDevice->setText(m.device);
    const QString tip = QStringLiteral("COM %1 means %2 (%3)").arg(n).arg(m.device, PortNames::sourceName(m.source));
    lblDevice->setToolTip(tip);
    Combo1->setToolTip(tip);
}

void frmPword::cmdPorts_Click()
{
    SerialPortsDialog dialog(*m_names, Combo1->currentIndex() + 1, PortDiscovery::systemPorts, this);
    m_ui.showModal(dialog);
    showDevice();
}

void frmPword::Combo1_Click(int index)
{
    if (m_port.isOpen())
        m_port.close();
    const int n = index + 1;
    m_port.setPortNumber(n);
    m_session.CommPortNumber = qint16(n);
    showDevice();
}

void frmPword::cmdOK_Click()
{
    const ExchangeGuard guard(m_clock.gate(), {cmdOK, cmdCancel});
    if (!guard.held())
        return;
    const LoginResult result = runLoginExchange(m_port, m_clock, txtUserName->text());
    auto say = [this](const QString &text) {
        m_ui.messageBox(text, Ui::Buttons::Ok, Ui::Icon::Exclamation, kTitle);
    };
    auto emptyAndFocus = [this]() {
        txtUserName->clear();
        txtUserName->setFocus();
    };
    switch (result.kind) {
    case LoginResult::PortError:
        m_ui.messageBox(communicationMessage(), Ui::Buttons::Ok, Ui::Icon::Exclamation, kTitle,
                        {m_port.problem().detail()});
        break;
    case LoginResult::NoReply:
    case LoginResult::OtherReply: {
        const int n = m_port.portNumber();
        m_ui.messageBox(communicationMessage(), Ui::Buttons::Ok, Ui::Icon::Exclamation, kTitle,
                        {noReplyDetail(m_names, n)});
        emptyAndFocus();
        break;
    }
    case LoginResult::Acknowledged:
        m_session.LoginPassword = result.paddedPassword;
        LoginSucceeded = true;
        accept();
        break;
    case LoginResult::Refused:
        ++FailedLogins;
        if (FailedLogins > 3) {
            say(QStringLiteral("ZEV faild to authenticate your password \r\nand is exiting ...."));
        } else {
            emptyAndFocus();
            say(QStringLiteral("ZEV Scanner faild to authenticate your password and is exiting ...."));
        }
        break;
    }
}

void frmPword::done(int result)
{
    m_session.LoggedIn = LoginSucceeded;
    QDialog::done(result);
}

#include "moc_frmPword.cpp"
