#include "symbology/HexBoxes.h"

#include "core/Session.h"
#include "format/sfrmPad.h"
#include "platform/KeyRuleFilter.h"
#include "platform/Ui.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QLineEdit>
#include <QWidget>

namespace {
QString indexed(const char *name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}
} // namespace

// Typed, pasted, dropped or composed: letters enter upper-case, and a Code ID
// box that is full runs the duplicate check on a further key.
class HexBoxes::KeyRule : public KeyRuleFilter
{
public:
    explicit KeyRule(HexBoxes &boxes) : KeyRuleFilter(&boxes), m_boxes(boxes) {}

protected:
    QChar admit(const QLineEdit &, QChar c) const override { return refuses(c) ? QChar() : c.toUpper(); }
    void refused(QLineEdit &box) override { m_boxes.refuseKey(box); }
    bool beforeKey(QLineEdit &box) override
    {
        const int row = m_boxes.codeIdRow(&box);
        return row >= 0 && box.text().size() >= 2 && m_boxes.duplicateCheck(row);
    }
    void afterText(QLineEdit &box) override
    {
        const int row = m_boxes.codeIdRow(&box);
        if (row >= 0 && !box.text().isEmpty())
            m_boxes.duplicateCheck(row);
    }

private:
    HexBoxes &m_boxes;
};

HexBoxes::HexBoxes(Session &session, Ui &ui, QObject *parent)
    : QObject(parent), m_session(session), m_ui(ui), m_keyRule(new KeyRule(*this))
{
}

bool HexBoxes::refuses(QChar typed)
{
    const QChar c = typed.toUpper();
    return c.unicode() > 48 && !Allowed.contains(c);
}

int HexBoxes::duplicateOf(const QStringList &codeIds, int row)
{
    if (row < 0 || row >= codeIds.size() || codeIds[row].isEmpty())
        return -1;
    for (int j = 0; j < codeIds.size(); ++j)
        if (j != row && codeIds[j].compare(codeIds[row], Qt::CaseInsensitive) == 0)
            return j;
    return -1;
}

void HexBoxes::attach(QWidget &window)
{
    m_window = &window;
    auto hook = [this, &window](const char *boxName, const char *buttonName, int count, QList<QLineEdit *> &boxes,
                                int maxLength) {
        for (int i = 0; i < count; ++i) {
            auto *box = window.findChild<QLineEdit *>(indexed(boxName, i));
            boxes << box;
            if (!box)
                continue;
            box->setMaxLength(maxLength < 0 ? (i % 2 ? 6 : 4) : maxLength);
            m_keyRule->attach(box);
            box->installEventFilter(this); // leaving a Code ID box
            if (auto *button = window.findChild<QAbstractButton *>(indexed(buttonName, i)))
                connect(button, &QAbstractButton::clicked, this, [this, box, i, &boxes]() {
                    padInto(box, box->maxLength());
                    if (&boxes == &m_codeIds && !box->text().isEmpty())
                        duplicateCheck(i);
                });
        }
    };
    hook("TB", "CB4", CodeIdBoxes, m_codeIds, 2);
    hook("Text1", "Command3", LengthBoxes, m_lengths, -1);
}

int HexBoxes::codeIdRow(const QObject *box) const
{
    for (int i = 0; i < m_codeIds.size(); ++i)
        if (m_codeIds[i] == box)
            return i;
    return -1;
}

bool HexBoxes::duplicateCheck(int row)
{
    if (m_checking)
        return false; // one message at a time
    QStringList texts;
    for (QLineEdit *box : std::as_const(m_codeIds))
        texts << (box ? box->text() : QString());
    if (duplicateOf(texts, row) < 0)
        return false;
    m_checking = true;
    m_ui.messageBox(QStringLiteral("CODE ID may not duplicate !! "), Ui::Buttons::Ok, Ui::Icon::Exclamation);
    m_checking = false;
    m_codeIds[row]->clear();
    m_codeIds[row]->setFocus();
    return true;
}

void HexBoxes::padInto(QLineEdit *box, int maxLength)
{
    m_session.PadResult.clear();
    sfrmPad pad(m_session, m_window);
    m_ui.showModal(pad);
    if (!m_session.PadResult.isEmpty())
        box->setText(m_session.PadResult.left(maxLength));
}

void HexBoxes::reportLengthFailure(const QString &boxName)
{
    QLineEdit *box = m_window ? m_window->findChild<QLineEdit *>(boxName) : nullptr;
    const int index = boxName.mid(6, boxName.size() - 7).toInt(); // "Text1(i)"
    m_ui.messageBox(index % 2 ? QStringLiteral("User define length must six characters. ")
                              : QStringLiteral("Barcode length must four characters. "),
                    Ui::Buttons::Ok, Ui::Icon::Exclamation);
    if (box) {
        box->selectAll();
        box->setFocus();
    }
}

bool HexBoxes::eventFilter(QObject *watched, QEvent *event)
{
    const int row = codeIdRow(watched);
    if (row < 0 || event->type() != QEvent::FocusOut)
        return QObject::eventFilter(watched, event);
    // Only the user leaving the box inside the window: a message box, the
    // pad or another window taking the activation is not leaving it.
    const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
    const bool left = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
                   || reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
    if (left && !m_codeIds[row]->text().isEmpty())
        duplicateCheck(row);
    return false;
}

void HexBoxes::refuseKey(QLineEdit &box)
{
    m_ui.messageBox(QStringLiteral("Use the following characters only:   \r\n\r\n0123456789ABCDEF "), Ui::Buttons::Ok,
                    Ui::Icon::Information, QStringLiteral("Format Error"));
    box.setFocus();
}

#include "moc_HexBoxes.cpp"
