#pragma once

#include "core/Platform.h"
#include "core/Session.h"
#include "platform/QtSettingsStore.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedUi.h"
#include "support/VirtualClock.h"

#include <QObject>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class SerialPort;

// What the window tests stand on: a scratch settings file, the scripted Ui,
// the virtual clock and a scripted line.
class WindowTest : public QObject
{
protected:
    QTemporaryDir m_dir;
    std::unique_ptr<QtSettingsStore> m_store;
    ScriptedUi m_ui;
    VirtualClock m_clock;
    ScriptedPeer m_peer;
    std::unique_ptr<Platform> m_platform;
    Session m_session;

    QString settingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    // An empty store, script and line, and a fresh session. Ports join m_peer
    // unless makePort says otherwise.
    void resetRig(const QString &factoryDir = QString(),
                  std::function<std::unique_ptr<SerialPort>()> makePort = {});
    // The script was followed: nothing unscripted was asked and, when
    // wholeScript, nothing scripted was left over.
    void verifyScript(bool wholeScript = true);
};
