#include "link/PasswordKeyFilter.h"

#include "link/Frames.h"
#include "platform/Ui.h"

#include <QLineEdit>

PasswordKeyFilter::PasswordKeyFilter(Ui &ui, FullBox fullBox, QObject *parent)
    : KeyRuleFilter(parent), m_ui(ui), m_fullBox(fullBox)
{
}

void PasswordKeyFilter::attach(QLineEdit *box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    box->setMaxLength(Link::PasswordMaxLength); // never more than a frame carries
    KeyRuleFilter::attach(box);
}

QChar PasswordKeyFilter::admit(const QLineEdit &box, QChar c) const
{
    if (!Link::isPasswordCharacter(c))
        return {};
    const int replaced = m_fullBox == ReplaceSelection ? int(box.selectedText().size()) : 0;
    return int(box.text().size()) - replaced + 1 <= Link::PasswordMaxLength ? c : QChar();
}

void PasswordKeyFilter::refused(QLineEdit &)
{
    m_ui.beep();
}
