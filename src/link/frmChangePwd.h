#pragma once

#include <QDialog>
#include <memory>

class QLineEdit;
class QPushButton;
struct Session;
struct Platform;
class SerialPort;

// Changes the password the scanner asks for at login.
class frmChangePwd : public QDialog
{
    Q_OBJECT
public:
    frmChangePwd(Session &session, Platform &platform, QWidget *parent = nullptr);
    ~frmChangePwd() override;

    void cmdOK_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void txtNewPwd_GotFocus();
    void refuse(int busy, int waitMs);
    void emptyAll();
    void say(const QString &text, const QString &title = QString());

    Session &m_session;
    Platform &m_platform;
    std::unique_ptr<SerialPort> ChgPwdComm;
    QLineEdit *txtCurrentPwd;
    QLineEdit *txtNewPwd;
    QLineEdit *txtConfirmNewPwd;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
};
