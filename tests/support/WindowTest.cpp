#include "support/WindowTest.h"

#include <QFile>
#include <QTest>

void WindowTest::resetRig(const QString &factoryDir, std::function<std::unique_ptr<SerialPort>()> makePort)
{
    m_platform.reset();
    QFile::remove(settingsFile());
    m_store = std::make_unique<QtSettingsStore>(settingsFile());
    m_ui.clear();
    m_peer = ScriptedPeer();
    if (!makePort)
        makePort = [this]() { return std::make_unique<FakeSerialPort>(m_peer, m_clock); };
    m_platform.reset(new Platform{m_ui, *m_store, m_clock, std::move(makePort), factoryDir});
    m_session = Session();
}

void WindowTest::verifyScript(bool wholeScript)
{
    QVERIFY2(m_ui.unscripted().isEmpty(), qPrintable(m_ui.unscripted().join(QLatin1String("; "))));
    if (wholeScript)
        QVERIFY2(m_ui.scriptUsedUp(), "part of the script was not used");
}
