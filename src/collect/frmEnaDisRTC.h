#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QPushButton;
class QRadioButton;
struct Session;
struct Platform;
class SerialPort;

// Whether downloads show timestamps; can set the scanner's clock from the PC first.
class frmEnaDisRTC : public QDialog
{
    Q_OBJECT
public:
    // rtcEnabled runs when the option has been switched on (the caller ticks its box).
    frmEnaDisRTC(Session &session, Platform &platform, std::function<void()> rtcEnabled, QWidget *parent = nullptr);
    ~frmEnaDisRTC() override;

    void cmdOK_Click();

private:
    void activate();
    void enableWithoutSync();
    void confirmEnabled();

    Session &m_session;
    Platform &m_platform;
    std::function<void()> m_rtcEnabled;
    std::unique_ptr<SerialPort> MSComm1;
    QRadioButton *optEnable;
    QRadioButton *optDisable;
    QCheckBox *chkSyncUpHostTime;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
};
