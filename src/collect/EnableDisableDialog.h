#pragma once

class QDialog;
class QGridLayout;
class QPushButton;
class QRadioButton;

// The layout the two option dialogs share: Enable and Disable on the left, OK and Cancel on the right.
struct EnableDisableControls
{
    QRadioButton *optEnable;
    QRadioButton *optDisable;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
    QGridLayout *grid; // column 1 is free for more controls
};

EnableDisableControls buildEnableDisable(QDialog &dialog);
