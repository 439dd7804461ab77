#pragma once

#include "platform/KeyRuleFilter.h"

class Ui;

// The key rule of every password box: letters and digits up to 8 characters;
// editing keys edit; anything else is refused with a beep.
class PasswordKeyFilter : public KeyRuleFilter
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
    QChar admit(const QLineEdit &box, QChar c) const override;
    void refused(QLineEdit &box) override;

private:
    Ui &m_ui;
    FullBox m_fullBox;
};
