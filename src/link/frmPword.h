#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class PortNames;
struct Session;
class Ui;
class SerialPort;
class Clock;

// The login dialog: only a password the scanner acknowledges opens the program.
class frmPword : public QDialog
{
    Q_OBJECT
public:
    // With names, the dialog shows which device the chosen number means and
    // offers the Serial Ports dialog.
    frmPword(Session &session, Ui &ui, SerialPort &port, Clock &clock, QWidget *parent = nullptr,
             PortNames *names = nullptr);

    bool LoginSucceeded = false;
    qint16 FailedLogins = 0;

    static QString communicationMessage();

protected:
    void done(int result) override;

private:
    void cmdOK_Click();
    void Combo1_Click(int index);
    void cmdPorts_Click();
    void showDevice();

    Session &m_session;
    Ui &m_ui;
    SerialPort &m_port;
    Clock &m_clock;
    PortNames *m_names;
    QLineEdit *txtUserName;
    QComboBox *Combo1;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
    QLabel *lblDevice = nullptr;
};
