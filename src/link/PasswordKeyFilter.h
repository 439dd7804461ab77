#pragma once

#include <QObject>

class QLineEdit;
class Ui;

// The key rule of every password box: letters and digits up to 8 characters,
// Backspace, nothing else (a refused key beeps). No pasting or dropping round it.
class PasswordKeyFilter : public QObject
{
public:
    enum FullBox {
        RefuseWhenFull,     // a full box takes no further character
        ReplaceSelection,   // a full box takes a character in place of a selection
    };
    PasswordKeyFilter(Ui &ui, FullBox fullBox, QObject *parent = nullptr);
    // Sets up box (echo "*", 8 characters at most) and filters its keys.
    void attach(QLineEdit *box);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui &m_ui;
    FullBox m_fullBox;
};
