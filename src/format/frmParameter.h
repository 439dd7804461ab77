#pragma once

#include "core/ChildWindow.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
struct Session;
class Ui;

// General parameters: buzzer pitch and duration, power-on beeper, machine-ID
// prefix, scan delay and keyboard case.
class frmParameter : public ChildWindow
{
    Q_OBJECT
public:
    frmParameter(Session &session, Ui &ui, QWidget *parent = nullptr);

    void activate() override { loadControls(); }
    void Command1_Click(); // Accept
    void Command2_Click(); // Default

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void loadControls();
    void textChanged(QLineEdit *box, QSlider *slider);

    Session &m_session;
    Ui &m_ui;
    QWidget *m_content;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLineEdit *Text1;
    QLineEdit *Text2;
    QSlider *Slider1;
    QSlider *Slider2;
    std::array<QRadioButton *, 4> Option1{};
    QButtonGroup *m_caseGroup;
    QCheckBox *Check1;
    QCheckBox *Check2;
    QCheckBox *Check3;
    QPushButton *Command1;
    QPushButton *Command2;
    bool m_settingSlider = false;
};
