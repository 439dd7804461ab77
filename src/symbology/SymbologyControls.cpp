#include "symbology/SymbologyControls.h"

#include "symbology/SymbologyMap.h"

#include <QHash>

namespace {

struct Layout
{
    QHash<QString, QString> frameOf;
    QHash<QString, int> maxLength;
};

// Which frame holds which control and how long the boxes are, from the map's tables.
const Layout &layout()
{
    static const Layout l = [] {
        Layout out;
        for (const auto &g : SymbologyMap::optionGroups())
            for (const auto &opt : g.options)
                out.frameOf.insert(opt.option, g.frame);
        for (const auto &f : SymbologyMap::lengthFields()) {
            for (const QString &c : {f.fixedOption, f.fixedBox, f.fixedButton, f.userOption, f.userBox, f.userButton})
                out.frameOf.insert(c, f.frame);
            out.maxLength.insert(f.fixedBox, 4);
            out.maxLength.insert(f.userBox, 6);
        }
        for (const auto &row : SymbologyMap::codeIds())
            out.maxLength.insert(row.text, 2);
        return out;
    }();
    return l;
}

} // namespace

bool SymbologyControls::isChecked(const QString &box) const
{
    return m_checked.value(box, false);
}

void SymbologyControls::setChecked(const QString &box, bool checked)
{
    m_checked.insert(box, checked);
}

bool SymbologyControls::isSelected(const QString &option) const
{
    const auto it = m_selected.constFind(frameOf(option));
    return it != m_selected.cend() && *it == option;
}

void SymbologyControls::setSelected(const QString &option, bool selected)
{
    const QString frame = frameOf(option);
    Q_ASSERT_X(!frame.isEmpty(), "SymbologyControls::setSelected", "not an option of the window");
    if (selected)
        m_selected.insert(frame, option);
    else if (isSelected(option))
        m_selected.remove(frame);
}

QString SymbologyControls::selectedOption(const QString &frame) const
{
    return m_selected.value(frame);
}

void SymbologyControls::clearSelection(const QString &frame)
{
    m_selected.remove(frame);
}

QString SymbologyControls::text(const QString &box) const
{
    return m_text.value(box);
}

void SymbologyControls::setText(const QString &box, const QString &text)
{
    const int max = maxLength(box);
    m_text.insert(box, max < 0 ? text : text.left(max));
}

bool SymbologyControls::isEnabled(const QString &control) const
{
    return m_enabled.value(control, true);
}

void SymbologyControls::setEnabled(const QString &control, bool enabled)
{
    m_enabled.insert(control, enabled);
}

bool SymbologyControls::isAvailable(const QString &control) const
{
    const QString frame = frameOf(control);
    return isEnabled(control) && (frame.isEmpty() || isEnabled(frame));
}

void SymbologyControls::setLengthPair(int tab, bool symbologyEnabled)
{
    const auto *f = SymbologyMap::lengthField(tab);
    if (!f)
        return;
    const bool fixed = symbologyEnabled && isSelected(f->fixedOption);
    const bool user = symbologyEnabled && isSelected(f->userOption);
    setEnabled(f->fixedBox, fixed);
    setEnabled(f->fixedButton, fixed);
    setEnabled(f->userBox, user);
    setEnabled(f->userButton, user);
}

void SymbologyControls::applyRule(const SymbologyMap::EnableRule &rule)
{
    const bool on = isChecked(rule.box);
    for (const QString &d : rule.dependents)
        setEnabled(d, on);
    if (rule.lengthPair)
        setLengthPair(rule.tab, on);
}

void SymbologyControls::applyRow(const SymbologyMap::CodeIdRow &row)
{
    const bool on = isChecked(row.box);
    setEnabled(row.text, on);
    setEnabled(row.button, on);
}

void SymbologyControls::click(const QString &control)
{
    for (const auto &rule : SymbologyMap::enableRules())
        if (rule.box == control)
            return applyRule(rule);
    for (const auto &row : SymbologyMap::codeIds()) {
        if (row.box == control) {
            applyRow(row);
            if (!isChecked(control))
                setText(row.text, {});
            return;
        }
    }
    for (const auto &f : SymbologyMap::lengthFields()) {
        const bool fixed = control == f.fixedOption;
        if ((fixed || control == f.userOption) && isSelected(control)) {
            setEnabled(f.fixedBox, fixed);
            setEnabled(f.fixedButton, fixed);
            setEnabled(f.userBox, !fixed);
            setEnabled(f.userButton, !fixed);
            return;
        }
    }
}

void SymbologyControls::applyEnablingRules(int tab)
{
    for (const auto &rule : SymbologyMap::enableRules())
        if (rule.tab == tab)
            applyRule(rule);
    if (tab == SymbologyMap::CodeIdTab)
        for (const auto &row : SymbologyMap::codeIds())
            applyRow(row);
}

int SymbologyControls::maxLength(const QString &box)
{
    return layout().maxLength.value(box, -1);
}

QString SymbologyControls::frameOf(const QString &control)
{
    return layout().frameOf.value(control);
}
