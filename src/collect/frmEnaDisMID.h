#pragma once

#include <QDialog>

class QRadioButton;
struct Session;

// Whether downloads show the scanner's machine ID. Talks to no port.
class frmEnaDisMID : public QDialog
{
    Q_OBJECT
public:
    explicit frmEnaDisMID(Session &session, QWidget *parent = nullptr);

private:
    Session &m_session;
    QRadioButton *optEnable;
    QRadioButton *optDisable;
};
