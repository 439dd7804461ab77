#include "link/PasswordKeyFilter.h"

#include "link/Frames.h"
#include "platform/Ui.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>

namespace {
// Control characters are editing keys, not typed text (X11's Delete carries 0x7F).
bool isEditingText(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
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
    box->setMaxLength(Link::PasswordMaxLength); // never more than a frame carries
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->installEventFilter(this);
}

bool PasswordKeyFilter::takes(const QLineEdit *box, QChar c) const
{
    if (!Link::isPasswordCharacter(c))
        return false;
    const int replaced = m_fullBox == ReplaceSelection ? int(box->selectedText().size()) : 0;
    return int(box->text().size()) - replaced + 1 <= Link::PasswordMaxLength;
}

void PasswordKeyFilter::enter(QLineEdit *box, const QString &text)
{
    // Character by character, as if typed: what the key rule refuses stays out.
    bool refused = false;
    for (const QChar c : text) {
        if (takes(box, c))
            box->insert(QString(c));
        else
            refused = true;
    }
    if (refused)
        m_ui.beep();
}

bool PasswordKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPress(box, static_cast<QKeyEvent *>(event));
    case QEvent::MouseButtonRelease:
        // The X11 middle-click paste of the selection.
        if (static_cast<QMouseEvent *>(event)->button() != Qt::MiddleButton)
            return false;
        if (QGuiApplication::clipboard()->supportsSelection())
            enter(box, QGuiApplication::clipboard()->text(QClipboard::Selection));
        return true;
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->mimeData()->hasText())
            enter(box, drop->mimeData()->text());
        drop->acceptProposedAction();
        return true;
    }
    case QEvent::InputMethod: {
        auto *ime = static_cast<QInputMethodEvent *>(event);
        if (ime->commitString().isEmpty())
            return false; // composing only shows, it enters nothing
        // The box gets the composition without its commit; the commit goes through the rule.
        QInputMethodEvent withoutCommit(ime->preeditString(), ime->attributes());
        withoutCommit.setCommitString(QString(), ime->replacementStart(), ime->replacementLength());
        QCoreApplication::sendEvent(box, &withoutCommit);
        enter(box, ime->commitString());
        return true;
    }
    default:
        return false;
    }
}

bool PasswordKeyFilter::keyPress(QLineEdit *box, QKeyEvent *key)
{
    if (key->matches(QKeySequence::Paste)) {
        enter(box, QGuiApplication::clipboard()->text());
        return true;
    }
    // Enter/Esc/Tab are for the dialog; editing and navigation keys edit.
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        break;
    }
    const QString text = key->text();
    if (isEditingText(text))
        return false;
    if (text.size() == 1 && takes(box, text.at(0)))
        return false;
    enter(box, text);
    return true;
}
