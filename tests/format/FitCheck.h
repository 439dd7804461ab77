#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

// Why a window would not be usable at its size: a control outside it or cut
// by its container, a text that does not fit its control, two controls on top
// of each other. Empty when every visible control shows whole.
inline QStringList fitProblems(QWidget *window)
{
    auto isControl = [](QWidget *w) {
        return qobject_cast<QAbstractButton *>(w) || qobject_cast<QLabel *>(w) || qobject_cast<QLineEdit *>(w)
            || qobject_cast<QSlider *>(w) || qobject_cast<QAbstractItemView *>(w) || qobject_cast<QTabBar *>(w);
    };
    auto insideComposite = [window](QWidget *w) {
        for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
            if (qobject_cast<QAbstractItemView *>(p) || qobject_cast<QTabBar *>(p))
                return true;
        return false;
    };
    auto shown = [](QString text) {
        text.replace(QLatin1String("&&"), QLatin1String("\x01"));
        text.remove(QLatin1Char('&'));
        return text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    };

    QStringList problems;
    QList<QPair<QWidget *, QRect>> controls;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || !isControl(w) || insideComposite(w))
            continue;
        const QString name = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                        : w->objectName();
        const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
        // Every container up to the window shows the whole control.
        for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
            const QRect inP(w->mapTo(p, QPoint(0, 0)), w->size());
            if (!p->rect().contains(inP))
                problems << name + QStringLiteral(" cut by ") + p->objectName();
            if (p == window)
                break;
        }
        const QFontMetrics fm(w->font());
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            const int textWidth = fm.horizontalAdvance(shown(button->text()))
                + (button->icon().isNull() ? 0 : button->iconSize().width());
            if (w->width() < textWidth + 8 || w->height() < fm.height() + 4)
                problems << name + QStringLiteral(" too small for its caption");
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            if (w->width() < fm.horizontalAdvance(edit->text()) + 8 || w->height() < fm.height() + 2)
                problems << name + QStringLiteral(" too small for its text");
        } else if (qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w)) {
            if (w->width() < w->sizeHint().width() || w->height() < w->minimumSizeHint().height())
                problems << name + QStringLiteral(" too small for its caption");
        }
        controls << qMakePair(w, r);
    }
    for (int i = 0; i < controls.size(); ++i)
        for (int j = i + 1; j < controls.size(); ++j) {
            QWidget *a = controls[i].first;
            QWidget *b = controls[j].first;
            if (a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            if (controls[i].second.intersects(controls[j].second))
                problems << a->objectName() + QStringLiteral(" overlaps ") + b->objectName();
        }
    return problems;
}
