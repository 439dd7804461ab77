#pragma once

#include "core/ChildWindow.h"

#include <optional>

class QButtonGroup;
class QLabel;
class QPushButton;
class QTabWidget;
struct Session;
class Ui;

// The terminator the scanner appends to each barcode, for the keyboard and the
// RS-232 interface; only the tab of the current interface is shown.
class frmTerminator : public ChildWindow
{
    Q_OBJECT
public:
    frmTerminator(Session &session, Ui &ui, QWidget *parent = nullptr);

    bool load() override;
    void activate() override { loadControls(); }
    void Command1_Click(); // Accept
    void Command2_Click(); // keyboard Default
    void Command3_Click(); // RS-232 Default

private:
    void loadControls();
    // Both selections into the image; true when a byte changed.
    bool store();
    void lostFocus();
    int interfaceTab() const;
    QWidget *optionPage(QButtonGroup *group, const QString &name, const QStringList &captions,
                        QPushButton *defaultButton);

    Session &m_session;
    Ui &m_ui;
    QLabel *Label1;
    QTabWidget *SSTab1;
    QButtonGroup *m_keyboard; // Option1
    QButtonGroup *m_rs232;    // Option2
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;
};
