#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
struct Session;
class Ui;
class SerialPort;
class Clock;

// The login dialog: only a password the scanner acknowledges opens the program.
class frmPword : public QDialog
{
    Q_OBJECT
public:
    frmPword(Session &session, Ui &ui, SerialPort &port, Clock &clock, QWidget *parent = nullptr);

    bool LoginSucceeded = false;
    qint16 FailedLogins = 0;

    static QString communicationMessage();

protected:
    void done(int result) override;

private:
    void cmdOK_Click();
    void Combo1_Click(int index);

    Session &m_session;
    Ui &m_ui;
    SerialPort &m_port;
    Clock &m_clock;
    QLineEdit *txtUserName;
    QComboBox *Combo1;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
};
