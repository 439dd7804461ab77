#pragma once

#include "core/ChildWindow.h"

#include <memory>

class QComboBox;
class QProgressBar;
class QPushButton;
class QTabWidget;
struct Session;
struct Platform;
class SerialPort;

// Sends ParamImage to the scanner.
class frmTransmit : public ChildWindow
{
    Q_OBJECT
public:
    frmTransmit(Session &session, Platform &platform, QWidget *parent = nullptr);
    ~frmTransmit() override;

    bool load() override;
    void activate() override;
    void Command2_Click();

private:
    bool openPort(int &portNumber);
    void showDevice();

    Session &m_session;
    Platform &m_platform;
    std::unique_ptr<SerialPort> m_port;
    QTabWidget *SSTab1;
    QPushButton *Command2;
    QComboBox *SPort;
    QProgressBar *ProgressBar1;
    QPushButton *m_cmdPorts = nullptr; // only where COM numbers can be mapped
};
