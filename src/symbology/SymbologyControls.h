#pragma once

#include "symbology/SymbologyMap.h"

#include <QMap>
#include <QString>

// The state of the symbology window's controls, keyed by the controls'
// objectNames ("Check2(14)", "Option6(3)", "Text1(0)", "TB(5)", "Frame11(0)"),
// so that the map and the enabling rules run without widgets. The window keeps
// one instance, copies its widgets into it before a store and back after a
// load or a Default. A control never set reads as unchecked, not selected,
// empty and enabled.
class SymbologyControls
{
public:
    // Check boxes: true is the check-box value 1; anything else is unchecked.
    bool isChecked(const QString &box) const;
    void setChecked(const QString &box, bool checked);

    // Option buttons are exclusive within their frame; a frame may show none.
    bool isSelected(const QString &option) const;
    void setSelected(const QString &option, bool selected);
    QString selectedOption(const QString &frame) const;
    void clearSelection(const QString &frame);

    // Text boxes hold at most their maximum length; longer text is cut.
    QString text(const QString &box) const;
    void setText(const QString &box, const QString &text);

    // The control's own enabled state, and whether it can be used: a control
    // inside a disabled frame is unavailable whatever its own state.
    bool isEnabled(const QString &control) const;
    void setEnabled(const QString &control, bool enabled);
    bool isAvailable(const QString &control) const;

    // The click handling of a control after its value changed (a check box)
    // or it was selected (an option): Enable boxes switch their dependents,
    // a Code ID box its row (unchecking also empties the Code ID), a length
    // option its own text box and button. Other controls have none.
    void click(const QString &control);

    // Makes every enabling rule of the tab hold for the current values,
    // whatever the enabled states were before.
    void applyEnablingRules(int tab);

    // 2 for the Code ID boxes, 4 and 6 for the length boxes, -1 for no limit.
    static int maxLength(const QString &box);
    // The option frame or length frame holding the control, or empty.
    static QString frameOf(const QString &control);

private:
    void applyRule(const SymbologyMap::EnableRule &rule);
    void applyRow(const SymbologyMap::CodeIdRow &row);
    void setLengthPair(int tab, bool symbologyEnabled);

    QMap<QString, bool> m_checked;
    QMap<QString, QString> m_selected; // frame -> selected option
    QMap<QString, QString> m_text;
    QMap<QString, bool> m_enabled;
};
