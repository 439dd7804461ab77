#include "platform/KeyRuleFilter.h"

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
bool isEditing(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}
} // namespace

KeyRuleFilter::KeyRuleFilter(QObject *parent) : QObject(parent) {}

void KeyRuleFilter::attach(QLineEdit *box)
{
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->installEventFilter(this);
}

void KeyRuleFilter::enter(QLineEdit &box, const QString &text)
{
    bool refusedSome = false;
    for (const QChar c : text) {
        if (isEditing(c))
            continue; // the line end that comes with copied text
        const QChar admitted = admit(box, c);
        if (admitted.isNull())
            refusedSome = true;
        else
            box.insert(QString(admitted));
    }
    if (refusedSome)
        refused(box);
    afterText(box);
}

bool KeyRuleFilter::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPress(*box, *static_cast<QKeyEvent *>(event));
    case QEvent::MouseButtonRelease:
        // The X11 middle-click paste of the selection.
        if (static_cast<QMouseEvent *>(event)->button() != Qt::MiddleButton)
            return false;
        if (QGuiApplication::clipboard()->supportsSelection())
            enter(*box, QGuiApplication::clipboard()->text(QClipboard::Selection));
        return true;
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->mimeData()->hasText())
            enter(*box, drop->mimeData()->text());
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
        enter(*box, ime->commitString());
        return true;
    }
    default:
        return false;
    }
}

bool KeyRuleFilter::keyPress(QLineEdit &box, const QKeyEvent &key)
{
    if (key.matches(QKeySequence::Paste)) {
        enter(box, QGuiApplication::clipboard()->text());
        return true;
    }
    const QString text = key.text();
    if (text.isEmpty())
        return false; // navigation keys
    QChar admitted;
    if (text.size() == 1 && !isEditing(text.at(0))) {
        admitted = admit(box, text.at(0));
        if (admitted.isNull()) {
            refused(box);
            return true;
        }
    }
    if (beforeKey(box))
        return true;
    if (std::all_of(text.begin(), text.end(), isEditing))
        return false; // Enter, Esc, Tab, Backspace and the like do their own work
    if (text.size() > 1) {
        enter(box, text);
        return true;
    }
    if (admitted == text.at(0))
        return false;
    box.insert(QString(admitted));
    return true;
}
