#include "format/sfrmPad.h"

#include "core/Session.h"
#include "platform/Twips.h"

#include <algorithm>

#include <QGridLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace {
constexpr int kKeySide = 600; // twips
}

QIcon sfrmPad::backspaceIcon()
{
    QPixmap pm(24, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    QPainterPath key;
    key.moveTo(1, 8);
    key.lineTo(8, 1.5);
    key.lineTo(22.5, 1.5);
    key.lineTo(22.5, 14.5);
    key.lineTo(8, 14.5);
    key.closeSubpath();
    p.drawPath(key);
    p.drawLine(QPointF(11, 5), QPointF(18, 11));
    p.drawLine(QPointF(18, 5), QPointF(11, 11));
    return QIcon(pm);
}

sfrmPad::sfrmPad(Session &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("sfrmPad"));
    setModal(true);

    auto *grid = new QGridLayout(this);
    grid->setSpacing(4);
    for (int i = 0; i < Keys; ++i) {
        QString caption;
        if (i < 10)
            caption = QString::number(i);
        else if (i < BackKey)
            caption = QString(QChar('A' + i - 10));
        else if (i == ClearKey)
            caption = QStringLiteral("CLR");
        else if (i == EnterKey)
            caption = QStringLiteral("Enter");
        auto *key = new QPushButton(caption, this);
        key->setObjectName(QStringLiteral("CB(%1)").arg(i));
        key->setAutoDefault(true); // Enter presses the focused key
        key->installEventFilter(this);
        key->setFixedSize(twips(kKeySide), twips(kKeySide) * 3 / 4);
        m_keys[size_t(i)] = key;
        connect(key, &QPushButton::clicked, this, [this, i]() { CB_Click(i); });
    }
    m_keys[BackKey]->setIcon(backspaceIcon());
    m_keys[BackKey]->setIconSize(QSize(24, 16));
    m_keys[BackKey]->setToolTip(QStringLiteral("Backspace"));
    m_keys[BackKey]->setAccessibleName(QStringLiteral("Backspace"));
    m_keys[ClearKey]->setAccessibleName(QStringLiteral("Clear"));

    // 0-F in four rows of four, then back, CLR and Enter.
    for (int i = 0; i < 16; ++i)
        grid->addWidget(m_keys[size_t(i)], i / 4, i % 4);
    grid->addWidget(m_keys[BackKey], 4, 0);
    grid->addWidget(m_keys[ClearKey], 4, 1);
    m_keys[EnterKey]->setFixedWidth(2 * twips(kKeySide) + grid->spacing());
    grid->addWidget(m_keys[EnterKey], 4, 2, 1, 2);
    setFixedSize(sizeHint());
}

void sfrmPad::showEntry(const QString &entry)
{
    m_entry = entry;
    // An empty title would make the window system show the application's name.
    setWindowTitle(entry.isEmpty() ? QStringLiteral(" ") : entry);
}

void sfrmPad::showEvent(QShowEvent *event)
{
    showEntry(QString());
    Entered = false;
    QDialog::showEvent(event);
    m_keys[EnterKey]->setFocus();
}

QPushButton *sfrmPad::keyAt(int row, int column) const
{
    if (row < 4)
        return m_keys[size_t(row * 4 + column)];
    return m_keys[size_t(column < 2 ? BackKey + column : EnterKey)];
}

bool sfrmPad::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const int index = int(std::find(m_keys.begin(), m_keys.end(), watched) - m_keys.begin());
    if (index >= Keys)
        return false;
    const QString typed = key->text().toUpper();
    const int digit = typed.size() == 1 ? QStringLiteral("0123456789ABCDEF").indexOf(typed) : -1;
    if (digit >= 0 && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        CB_Click(digit);
        return true;
    }
    if (key->key() == Qt::Key_Backspace) {
        CB_Click(BackKey);
        return true;
    }
    int row = index < 16 ? index / 4 : 4;
    int column = index < 16 ? index % 4 : (index == EnterKey ? 2 : index - BackKey);
    switch (key->key()) {
    case Qt::Key_Up: row = qMax(0, row - 1); break;
    case Qt::Key_Down: row = qMin(4, row + 1); break;
    case Qt::Key_Left: column = qMax(0, column - 1); break;
    case Qt::Key_Right: column = index == EnterKey ? 3 : qMin(3, column + 1); break;
    default: return false;
    }
    keyAt(row, column)->setFocus(Qt::TabFocusReason);
    return true;
}

void sfrmPad::CB_Click(int index)
{
    QString entry = m_entry;
    if (index < BackKey) {
        entry += m_keys[size_t(index)]->text();
    } else if (index == BackKey) {
        entry.chop(1);
    } else if (index == ClearKey) {
        entry.clear();
    } else {
        m_session.PadResult = entry;
        Entered = true;
        accept();
        return;
    }
    showEntry(entry);
}

void sfrmPad::done(int result)
{
    // Any way out but Enter hands back nothing.
    if (!Entered)
        m_session.PadResult.clear();
    QDialog::done(result);
}

#include "moc_sfrmPad.cpp"
