#include "link/frmTransmit.h"

#include "core/Platform.h"
#include "core/Session.h"
#include "link/Frames.h"
#include "link/TransmitExchange.h"
#include "platform/Clock.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortsDialog.h"
#include "platform/Ui.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString kPortError = QStringLiteral("Comm Port Error ! ");

// One of the line-setting groups: shown for the user's information only.
QGroupBox *optionGroup(const QString &title, const QString &name, const QStringList &options, int selected)
{
    auto *box = new QGroupBox(title);
    box->setObjectName(name);
    auto *layout = new QVBoxLayout(box);
    auto *group = new QButtonGroup(box);
    for (int i = 0; i < options.size(); ++i) {
        auto *option = new QRadioButton(options[i], box);
        option->setObjectName(QStringLiteral("%1(%2)").arg(name).arg(i));
        option->setChecked(i == selected);
        group->addButton(option, i);
        layout->addWidget(option);
    }
    layout->addStretch();
    return box;
}
} // namespace

frmTransmit::frmTransmit(Session &session, Platform &platform, QWidget *parent)
    : ChildWindow(parent), m_session(session), m_platform(platform), m_port(platform.makePort())
{
    setObjectName(QStringLiteral("frmTransmit"));
    setWindowTitle(QStringLiteral("Transmit"));
    m_port->setInputBufferSize(1024);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    auto *page = new QWidget;
    SSTab1->addTab(page, QStringLiteral("RS-232"));

    Command2 = new QPushButton(QStringLiteral("Transmit"), page);
    Command2->setObjectName(QStringLiteral("Command2"));
    SPort = new QComboBox(page);
    SPort->setObjectName(QStringLiteral("SPort"));
    SPort->setEditable(true);
    for (int n = 1; n <= 16; ++n)
        SPort->addItem(QString::number(n));
    ProgressBar1 = new QProgressBar(page);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setMaximum(130);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();

    auto *grid = new QGridLayout(page);
    grid->addWidget(optionGroup(QStringLiteral("Baud Rate"), QStringLiteral("optBaud"),
                                {QStringLiteral("38400"), QStringLiteral("19200"), QStringLiteral("9600"),
                                 QStringLiteral("4800"), QStringLiteral("2400"), QStringLiteral("1200"),
                                 QStringLiteral("600"), QStringLiteral("300")},
                                1),
                    0, 0, 3, 1);
    grid->addWidget(optionGroup(QStringLiteral("Data"), QStringLiteral("optData"),
                                {QStringLiteral("8"), QStringLiteral("7")}, 0),
                    0, 1);
    grid->addWidget(optionGroup(QStringLiteral("Stop Bit"), QStringLiteral("optStop"), {QStringLiteral("1")}, 0), 1, 1);
    grid->addWidget(optionGroup(QStringLiteral("Parity"), QStringLiteral("optParity"),
                                {QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd")}, 0),
                    0, 2, 2, 1);
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel(QStringLiteral("Comm Port :")));
    portRow->addWidget(SPort);
    if (m_platform.portNames) {
        m_cmdPorts = new QPushButton(QStringLiteral("Ports..."), page);
        m_cmdPorts->setObjectName(QStringLiteral("cmdPorts"));
        portRow->addWidget(m_cmdPorts);
        connect(m_cmdPorts, &QPushButton::clicked, this, [this]() {
            bool ok = false;
            const int n = SPort->currentText().trimmed().toInt(&ok);
            SerialPortsDialog dialog(*m_platform.portNames, ok ? n : m_session.CommPortNumber,
                                     PortDiscovery::systemPorts, this);
            m_platform.ui.showModal(dialog);
            showDevice();
        });
        connect(SPort, &QComboBox::currentTextChanged, this, &frmTransmit::showDevice);
    }
    portRow->addStretch();
    portRow->addWidget(Command2);
    grid->addLayout(portRow, 3, 0, 1, 3);
    auto *barRow = new QHBoxLayout;
    barRow->addWidget(new QLabel(QStringLiteral("Transmit :")));
    barRow->addWidget(ProgressBar1, 1);
    grid->addLayout(barRow, 4, 0, 1, 3);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SSTab1);

    connect(Command2, &QPushButton::clicked, this, &frmTransmit::Command2_Click);
    connect(SSTab1, &QTabWidget::tabBarClicked, this, [this](int) {
        SSTab1->setCurrentIndex(0);
        SPort->setCurrentText(QString::number(m_session.CommPortNumber));
    });
}

frmTransmit::~frmTransmit() = default;

void frmTransmit::showDevice()
{
    bool ok = false;
    const int n = SPort->currentText().trimmed().toInt(&ok);
    SPort->setToolTip(ok && m_platform.portNames ? QStringLiteral("COM %1 means %2").arg(n).arg(m_platform.portNames->deviceFor(n))
                                                 : QString());
}

bool frmTransmit::load()
{
    SPort->setCurrentText(QString::number(m_session.CommPortNumber));
    return m_session.LoggedIn;
}

void frmTransmit::activate()
{
    if (m_session.Rs232Interface) {
        SSTab1->setCurrentIndex(0);
        SSTab1->setTabText(0, QString());
    }
}

bool frmTransmit::openPort(int &portNumber)
{
    if (m_port->isOpen())
        m_port->close();
    bool ok = false;
    portNumber = SPort->currentText().trimmed().toInt(&ok);
    if (!ok || portNumber < 1 || portNumber > 16) {
        m_platform.ui.messageBox(kPortError, Ui::Buttons::Ok, Ui::Icon::Critical);
        return false;
    }
    m_port->setPortNumber(portNumber);
    m_port->setSettings(Link::LineSettings);
    if (!m_port->open()) {
        m_platform.ui.messageBox(kPortError, Ui::Buttons::Ok, Ui::Icon::Critical, QString(),
                                 {m_port->problem().detail()});
        return false;
    }
    m_port->discardInput();
    return true;
}

void frmTransmit::Command2_Click()
{
    // Its modal dialog would hold the reply wait up past its limit.
    QList<QWidget *> commands{Command2};
    if (m_cmdPorts)
        commands << m_cmdPorts;
    const ExchangeGuard guard(m_platform.clock.gate(), commands);
    if (!guard.held())
        return;
    int portNumber = 0;
    if (!openPort(portNumber))
        return;
    m_session.CommPortNumber = qint16(portNumber);
    // The image store carries the check value and the end byte while the frame goes out.
    m_session.ParamImage[128] = Link::transmitCheckValue(m_session.LoginPassword, m_session.ParamImage.data());
    m_session.ParamImage[129] = quint8(Link::ETX);
    ProgressBar1->show();
    const TransmitResult r = runTransmitExchange(*m_port, m_platform.clock, m_session.LoginPassword,
                                                 m_session.ParamImage.data(),
                                                 [this](int v) { ProgressBar1->setValue(v); });
    if (m_platform.clock.gate().stoppedForGood())
        return; // the program is ending: nothing more to say
    Ui &ui = m_platform.ui;
    switch (r.kind) {
    case TransmitResult::Acknowledged:
        ui.messageBox(QStringLiteral("Transmit O.K. "), Ui::Buttons::Ok, Ui::Icon::None,
                      QStringLiteral("Transmit Setting to ZEV Scanner"));
        ProgressBar1->hide();
        break;
    case TransmitResult::OtherReply:
        ui.messageBox(QStringLiteral("Communication Error ! (2)"), Ui::Buttons::Ok, Ui::Icon::Critical,
                      QStringLiteral("Transmit"));
        break;
    case TransmitResult::TimedOut:
        ui.messageBox(QStringLiteral("Device time out !(2) "), Ui::Buttons::Ok, Ui::Icon::Critical,
                      QStringLiteral("Transmit"));
        ProgressBar1->hide();
        break;
    case TransmitResult::LineFailed:
        ui.messageBox(kPortError, Ui::Buttons::Ok, Ui::Icon::Critical, QString(), {m_port->problem().detail()});
        ProgressBar1->hide();
        break;
    }
}

#include "moc_frmTransmit.cpp"
