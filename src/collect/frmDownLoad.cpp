#include "collect/frmDownLoad.h"

#include "core/Platform.h"
#include "core/Session.h"
#include "collect/Data.h"
#include "collect/EraseExchange.h"
#include "collect/PasswordCheck.h"
#include "collect/frmEnaDisMID.h"
#include "collect/frmEnaDisRTC.h"
#include "link/Frames.h"
#include "link/QuietLine.h"
#include "link/frmChangePwd.h"
#include "platform/Clock.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "platform/Ui.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <limits>

namespace {
const QString kEraseTitle = QStringLiteral("Erase Data in ZEV");

std::unique_ptr<SerialPort> dataPort(Platform &platform)
{
    std::unique_ptr<SerialPort> port = platform.makePort();
    port->setSettings(Link::LineSettings);
    port->setInputBufferSize(2048);
    return port;
}
} // namespace

frmDownLoad::frmDownLoad(Session &session, Platform &platform, QWidget *parent)
    : ChildWindow(parent), m_session(session), m_platform(platform), MSComm1(dataPort(platform)),
      MPDComm(dataPort(platform))
{
    setObjectName(QStringLiteral("frmDownLoad"));
    setWindowTitle(QStringLiteral("Download Data From ZEV"));

    auto *Label1 = new QLabel(QStringLiteral("Download Data From ZEV"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    makeHeading(Label1);
    auto option = [this](const char *name, const QString &caption) {
        auto *b = new QRadioButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    optDDtH = option("optDDtH", QStringLiteral("Download Data From ZEV"));
    optEDiR = option("optEDiR", QStringLiteral("Erase Data in ZEV"));
    optCP = option("optCP", QStringLiteral("Change Password"));
    optEDRTC = option("optEDRTC", QStringLiteral("Enable/Disable Real Time Clock"));
    optEDMID = option("optEDMID", QStringLiteral("Enable/Disable Download Data With Machine ID"));

    auto *Frame1 = new QGroupBox(QStringLiteral("Download Data Status"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Check1 = new QCheckBox(QStringLiteral("Real Time Clock"), Frame1);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Machine ID."), Frame1);
    Check2->setObjectName(QStringLiteral("Check2"));
    // They only show the flags.
    Check1->setAttribute(Qt::WA_TransparentForMouseEvents);
    Check1->setFocusPolicy(Qt::NoFocus);
    Check2->setAttribute(Qt::WA_TransparentForMouseEvents);
    Check2->setFocusPolicy(Qt::NoFocus);
    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(Check1);
    frameLayout->addWidget(Check2);

    LBD = new QLabel(this);
    LBD->setObjectName(QStringLiteral("LBD"));
    LBD->hide();
    ProgressBarM = new QProgressBar(this);
    ProgressBarM->setObjectName(QStringLiteral("ProgressBarM"));
    ProgressBarM->setTextVisible(false);
    lblRecords = new QLabel(this);
    lblRecords->setObjectName(QStringLiteral("lblRecords"));
    lblRecords->hide();
    lblWaiting = new QLabel(QStringLiteral("Waiting for the scanner to finish sending..."), this);
    lblWaiting->setObjectName(QStringLiteral("lblWaiting"));
    lblWaiting->hide();
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    // Stops a running download (Esc does the same); what arrived is kept.
    cmdStop = new QPushButton(QStringLiteral("Stop"), this);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    cmdStop->setEnabled(false);
    cmdStop->setAutoDefault(false);

    lblCollected = new QLabel(this);
    lblCollected->setObjectName(QStringLiteral("lblCollected"));
    cmdStore = new QPushButton(QStringLiteral("Records Store..."), this);
    cmdStore->setObjectName(QStringLiteral("cmdStore"));
    cmdStore->setAutoDefault(false);
    cmdStore->setVisible(bool(m_platform.showRecordsStore));
    connect(cmdStore, &QPushButton::clicked, this, [this]() { m_platform.showRecordsStore(this); });

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0, 1, 2);
    auto *options = new QVBoxLayout;
    for (QRadioButton *b : {optDDtH, optEDiR, optCP, optEDRTC, optEDMID})
        options->addWidget(b);
    options->addStretch();
    grid->addLayout(options, 1, 0);
    auto *side = new QVBoxLayout;
    side->addWidget(Frame1);
    side->addWidget(lblCollected);
    side->addWidget(cmdStore);
    side->addStretch();
    grid->addLayout(side, 1, 1);
    grid->addWidget(LBD, 2, 0, 1, 2);
    auto *bar = new QHBoxLayout;
    bar->addWidget(ProgressBarM, 1);
    bar->addWidget(lblRecords);
    grid->addLayout(bar, 3, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lblWaiting);
    buttons->addStretch();
    buttons->addWidget(cmdStop);
    buttons->addWidget(cmdOK);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setRowStretch(1, 1);

    connect(cmdOK, &QPushButton::clicked, this, &frmDownLoad::cmdOK_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmDownLoad::stopDownload);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &frmDownLoad::stopDownload);
}

void frmDownLoad::stopDownload()
{
    if (cmdStop->isEnabled())
        m_platform.clock.gate().stop();
}

frmDownLoad::~frmDownLoad() = default;

void frmDownLoad::closeEvent(QCloseEvent *event)
{
    // A running exchange lives in a handler of this window (or of a dialog it
    // owns): the window stays until that ends.
    if (m_platform.clock.gate().busy()) {
        event->ignore();
        return;
    }
    ChildWindow::closeEvent(event);
}

// After a Stop the scanner goes on sending what it was sending: the line is
// read and thrown away until it is quiet, so that no next exchange takes it for
// its answer. Stop again gives up the wait; the next exchange then waits first.
void frmDownLoad::awaitQuietLine()
{
    const ExchangeGuard guard(m_platform.clock.gate());
    lblWaiting->show();
    cmdStop->setEnabled(true);
    if (MPDComm->open()) {
        QuietLine::drain(*MPDComm, m_platform.clock, std::numeric_limits<qint64>::max() / 2);
        MPDComm->close();
    }
    cmdStop->setEnabled(false);
    lblWaiting->hide();
}

bool frmDownLoad::load()
{
    ProgressBarM->setValue(0);
    m_session.BusyCount = 0;
    return m_session.LoggedIn;
}

void frmDownLoad::activate()
{
    optDDtH->setChecked(true);
    m_session.BusyCount = 0;
    refreshChecks();
}

void frmDownLoad::refreshChecks()
{
    Check1->setChecked(m_session.RtcFlag);
    Check2->setChecked(m_session.MidFlag);
}

void frmDownLoad::setStatus(const QString &caption, const QColor &colour)
{
    LBD->setText(caption);
    QPalette p = LBD->palette();
    p.setColor(QPalette::WindowText, colour);
    LBD->setPalette(p);
    LBD->show();
    LBD->repaint();
}

// The bar shows activity, not a fraction: it runs to 100 and starts again.
void frmDownLoad::stepProgress()
{
    ProgressBarM->setValue(ProgressBarM->value() == 100 ? 0 : ProgressBarM->value() + 1);
}

void frmDownLoad::endAfterFailure()
{
    ProgressBarM->setValue(0);
    m_session.BusyCount = 0;
    cmdOK->setEnabled(true);
}

void frmDownLoad::fault(const QString &description, const QString &detail)
{
    m_platform.ui.messageBox(description, Ui::Buttons::Ok, Ui::Icon::Information, QString(), {detail});
    endAfterFailure();
    LBD->hide();
    refreshChecks();
}

// The port that failed: the check port opens first, so a failure there is this run's.
QString frmDownLoad::portDetail() const
{
    const PortProblem first = MSComm1->problem();
    return (first.isNone() ? MPDComm->problem() : first).detail();
}

void frmDownLoad::commonEnd()
{
    m_session.BusyCount = 0;
    ProgressBarM->setValue(0);
    cmdOK->setEnabled(true);
    LBD->hide();
    lblRecords->hide();
    refreshChecks();
}

void frmDownLoad::cmdOK_Click()
{
    // One exchange at a time: each part below holds the gate while it talks to the scanner.
    if (m_session.BusyCount > 1 || m_platform.clock.gate().busy())
        return;
    cmdOK->setEnabled(false);
    m_session.BusyCount = qint16(m_session.BusyCount + 1);

    if (optDDtH->isChecked()) {
        download();
        return;
    }
    if (optEDiR->isChecked() && erase())
        return;
    Ui &ui = m_platform.ui;
    auto checked = [&](PasswordCheckVariant variant) {
        PasswordCheckResult r;
        {
            const ExchangeGuard guard(m_platform.clock.gate());
            r = runPasswordCheck(*MSComm1, m_platform.clock, m_session, variant);
        }
        if (m_platform.clock.gate().stoppedForGood()) {
            endAfterFailure();
            return false;
        }
        if (r.kind == PasswordCheckResult::PortError) {
            fault(QStringLiteral("Cannot open the serial port: ") + r.error, portDetail());
            return false;
        }
        if (!r.passed()) {
            ui.messageBox(passwordCheckFailureText(variant), Ui::Buttons::Ok, Ui::Icon::Information,
                          passwordCheckFailureTitle(variant),
                          {noReplyDetail(m_platform.portNames, MSComm1->portNumber())});
            endAfterFailure();
            return false;
        }
        return true;
    };
    if (optCP->isChecked()) {
        if (!checked(PasswordCheckVariant::ChangePassword))
            return;
        frmChangePwd dialog(m_session, m_platform, this);
        ui.showModal(dialog);
    }
    if (optEDRTC->isChecked()) {
        if (!checked(PasswordCheckVariant::Clock))
            return;
        frmEnaDisRTC dialog(m_session, m_platform, [this]() { Check1->setChecked(true); }, this);
        ui.showModal(dialog);
    }
    if (optEDMID->isChecked()) {
        frmEnaDisMID dialog(m_session, this);
        ui.showModal(dialog);
    }
    commonEnd();
}

bool frmDownLoad::erase()
{
    Ui &ui = m_platform.ui;
    if (ui.messageBox(QStringLiteral("All data in ZEV will be erased!!   \r\nAre you sure? "), Ui::Buttons::YesNo,
                      Ui::Icon::Information, QStringLiteral("Erase Data In ZEV"), BoxOptions{.defaultNo = true})
        != Ui::Answer::Yes) {
        cmdOK->setEnabled(true);
        m_session.BusyCount = 0;
        return true;
    }
    EraseResult r;
    {
        const ExchangeGuard guard(m_platform.clock.gate());
        r = runEraseExchange(*MSComm1, m_platform.clock, m_session, [this](int poll) {
            if (poll == 0) {
                ProgressBarM->setMaximum(ErasePolls);
                return;
            }
            ProgressBarM->setValue(poll);
            ProgressBarM->repaint();
            m_session.BusyCount = qint16(m_session.BusyCount + 1);
        });
    }
    if (m_platform.clock.gate().stoppedForGood()) {
        endAfterFailure();
        return true;
    }
    switch (r.kind) {
    case EraseResult::PortError:
        fault(QStringLiteral("Cannot open the serial port: ") + r.error, portDetail());
        return true;
    case EraseResult::NoAnswer:
        ui.messageBox(passwordCheckFailureText(PasswordCheckVariant::Erase), Ui::Buttons::Ok, Ui::Icon::Information,
                      kEraseTitle, {noReplyDetail(m_platform.portNames, MSComm1->portNumber())});
        endAfterFailure();
        return true;
    case EraseResult::Erased:
        ui.messageBox(QStringLiteral(" No more data stored in reader. "), Ui::Buttons::Ok, Ui::Icon::Information,
                      kEraseTitle);
        endAfterFailure();
        return true;
    case EraseResult::OtherReply:
        break;
    }
    return false;
}

#include "moc_frmDownLoad.cpp"
