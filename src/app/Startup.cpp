#include "app/Startup.h"

#include "app/MDIfrmMain.h"
#include "core/Platform.h"
#include "core/Session.h"
#include "collect/frmDownLoad.h"
#include "format/frmAmble.h"
#include "format/frmParameter.h"
#include "format/frmTerminator.h"
#include "image/FactoryDefaults.h"
#include "link/frmPword.h"
#include "link/frmTransmit.h"
#include "platform/SerialPort.h"
#include "platform/Ui.h"
#include "symbology/frmBarcode.h"

#include <QTextStream>

Program::Program(Session &session, Platform &platform) : m_session(session), m_platform(platform) {}

Program::~Program() = default;

bool Program::start()
{
    m_session.MidFlag = false;
    m_session.HostTimeSync = false;
    if (!LoadFactoryDefaults(m_session, m_platform.factoryDir)) {
        // The box keeps its words; its detail says where the file was looked for.
        const QString tried = QStringLiteral("Default.mag (408 characters) was looked for in:\n")
                              + factoryDefaultsPaths(m_platform.factoryDir).join(QLatin1Char('\n'));
        QTextStream(stderr) << "zev-setting: cannot read " << tried << '\n';
        m_platform.ui.messageBox(QStringLiteral("Cannot open file 'Default.mag', Program terminate ! "),
                                 Ui::Buttons::Ok, Ui::Icon::Critical, QString(), {.detail = tried});
        m_exitCode = 1;
        return false;
    }
    m_session.SettingsChanged = false;
    m_session.Rs232Interface = true;
    m_session.CommPortNumber = 1;
    m_session.LoginPassword = QString(8, QLatin1Char(' '));

    {
        std::unique_ptr<SerialPort> port = m_platform.makePort();
        frmPword login(m_session, m_platform.ui, *port, m_platform.clock, nullptr, m_platform.portNames);
        m_platform.ui.showModal(login);
    }
    if (!m_session.LoggedIn) {
        m_exitCode = 0;
        return false;
    }
    m_main = std::make_unique<MDIfrmMain>(m_session, m_platform);
    registerWindows(*m_main, m_session, m_platform);
    m_main->show();
    return true;
}

void Program::registerWindows(MDIfrmMain &main, Session &session, Platform &platform)
{
    main.registerChild(QStringLiteral("frmTransmit"), [&session, &platform]() {
        return new frmTransmit(session, platform);
    });
    main.registerChild(QStringLiteral("frmDownLoad"), [&session, &platform]() {
        return new frmDownLoad(session, platform);
    });
    main.registerChild(QStringLiteral("frmBarcode"), [&session, &platform]() {
        return new frmBarcode(session, platform);
    });
    main.registerChild(QStringLiteral("frmParameter"), [&session, &platform]() {
        return new frmParameter(session, platform.ui);
    });
    main.registerChild(QStringLiteral("frmTerminator"), [&session, &platform]() {
        return new frmTerminator(session, platform.ui);
    });
    main.registerChild(QStringLiteral("frmAmble"), [&session, &platform]() {
        return new frmAmble(session, platform.ui);
    });
}
