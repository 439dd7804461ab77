#pragma once

#include <QObject>

class QKeyEvent;
class QLineEdit;
class Ui;

// The key rule of every password box: letters and digits up to 8 characters;
// editing keys edit; anything else is refused with a beep. Pasting (keys and
// middle click), dropping and input methods go through the same rule.
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
    bool keyPress(QLineEdit *box, QKeyEvent *key);
    // Whether box takes c typed now.
    bool takes(const QLineEdit *box, QChar c) const;
    // Enters what the rule takes of text; a refused character beeps.
    void enter(QLineEdit *box, const QString &text);

    Ui &m_ui;
    FullBox m_fullBox;
};
