#pragma once

#include <QObject>

class QKeyEvent;
class QLineEdit;

// Holds a line edit to its key rule whatever way text comes in: typed keys,
// pasting (the paste keys and X11's middle click), drops and input-method
// commits. Text that comes in at once enters character by character, as if
// typed, and one refusal is said for all of it. A box takes no context menu,
// whose Paste would go round the rule.
class KeyRuleFilter : public QObject
{
public:
    explicit KeyRuleFilter(QObject *parent = nullptr);
    void attach(QLineEdit *box);

protected:
    // What enters box when c is typed there, or a null QChar when the rule refuses c.
    virtual QChar admit(const QLineEdit &box, QChar c) const = 0;
    // Says that a key, or some of a text, was refused.
    virtual void refused(QLineEdit &box) = 0;
    // Runs on a typed key that the rule did not refuse, before it enters; true swallows it.
    virtual bool beforeKey(QLineEdit &) { return false; }
    // Runs after pasted, dropped or composed text went through the rule.
    virtual void afterText(QLineEdit &) {}

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPress(QLineEdit &box, const QKeyEvent &key);
    void enter(QLineEdit &box, const QString &text);
};
