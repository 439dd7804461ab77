#include "link/PasswordKeyFilter.h"

#include "platform/Ui.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {
bool isPasswordCharacter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}
} // namespace

PasswordKeyFilter::PasswordKeyFilter(Ui &ui, FullBox fullBox, QObject *parent)
    : QObject(parent), m_ui(ui), m_fullBox(fullBox)
{
}

void PasswordKeyFilter::attach(QLineEdit *box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    box->setMaxLength(8); // never more than a frame carries
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->setAcceptDrops(false);
    box->installEventFilter(this);
}

bool PasswordKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const QString text = key->text();
    // Editing and navigation keys, and Enter/Esc for the buttons, are not typed characters.
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        break;
    }
    if (text.isEmpty())
        return false;
    if (text.size() == 1 && isPasswordCharacter(text.at(0))) {
        const int replaced = m_fullBox == ReplaceSelection ? int(box->selectedText().size()) : 0;
        if (int(box->text().size()) - replaced + 1 <= 8)
            return false;
    }
    m_ui.beep();
    return true;
}
