#pragma once

#include "core/ChildWindow.h"

#include <memory>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
struct Session;
struct Platform;
class SerialPort;
class Data;

// The data side: download, erase, password change, and the timestamp and
// machine-ID options, started by one OK button.
class frmDownLoad : public ChildWindow
{
    Q_OBJECT
public:
    frmDownLoad(Session &session, Platform &platform, QWidget *parent = nullptr);
    ~frmDownLoad() override;

    bool load() override;
    void activate() override;
    void cmdOK_Click();
    // Stops a running download at its next wait (the Stop button, Esc).
    void stopDownload();

    Data *viewer() const { return m_viewer.get(); }

private:
    void download();
    // true when the erase ended the operation itself
    bool erase();
    void commonEnd();
    void endAfterFailure();
    void fault(const QString &description, const QString &detail = QString());
    QString portDetail() const;
    void refreshChecks();
    void stepProgress();
    void setStatus(const QString &caption, const QColor &colour);
    QString archive(const QByteArray &stream);

    Session &m_session;
    Platform &m_platform;
    std::unique_ptr<SerialPort> MSComm1;
    std::unique_ptr<SerialPort> MPDComm;
    std::unique_ptr<Data> m_viewer;
    QRadioButton *optDDtH;
    QRadioButton *optEDiR;
    QRadioButton *optCP;
    QRadioButton *optEDRTC;
    QRadioButton *optEDMID;
    QCheckBox *Check1;
    QCheckBox *Check2;
    QLabel *LBD;
    QProgressBar *ProgressBarM;
    QLabel *lblRecords; // "N of M records, about T left" beside the bar while a download arrives
    QPushButton *cmdOK;
    QPushButton *cmdStop;
    QLabel *lblCollected; // "N new, M already collected" once the viewer is closed
    QPushButton *cmdStore;
};
