#include "symbology/SymbologyDefaults.h"

#include "symbology/SymbologyControls.h"
#include "symbology/SymbologyMap.h"

namespace {

using Action = SymbologyDefaults::Action;
using Step = SymbologyDefaults::Step;

// "+box" checks, "-box" unchecks, "*option" selects, "^control" enables,
// "_control" disables and "box=text" sets a text.
std::vector<Step> parse(std::initializer_list<const char *> list)
{
    std::vector<Step> steps;
    for (const char *item : list) {
        const QString s = QString::fromLatin1(item);
        const int eq = s.indexOf(QLatin1Char('='));
        if (eq > 0) {
            steps.push_back({Action::SetText, s.left(eq), s.mid(eq + 1)});
            continue;
        }
        const char c = item[0];
        const Action a = c == '+' ? Action::Check
                         : c == '-' ? Action::Uncheck
                         : c == '*' ? Action::Select
                         : c == '^' ? Action::Enable
                                    : Action::Disable;
        steps.push_back({a, s.mid(1), {}});
    }
    return steps;
}

} // namespace

const std::vector<Step> &SymbologyDefaults::steps(int tab)
{
    static const std::vector<std::vector<Step>> tabs = [] {
        std::vector<std::vector<Step>> t = {
            parse({"+Check1(0)", "-Check1(1)", "-Check1(2)", "+Check1(3)", "-Check1(4)", "-Check1(5)", "-Check1(6)",
                   "_Check1(6)"}),
            parse({"-Check2(0)", "+Check2(1)", "-Check2(2)", "*Option6(0)", "Text1(0)=0430", "Text1(1)=043000",
                   "^Text1(0)", "_Text1(1)", "_Frame11(0)", "_Check2(1)", "_Check2(2)"}),
            parse({"-Check2(5)", "+Check2(4)", "-Check2(3)", "-Check2(6)", "*Option6(3)", "Text1(2)=0218",
                   "Text1(3)=021800", "^Text1(2)", "_Text1(3)", "_Check2(3)", "_Check2(4)", "_Check2(6)",
                   "_Frame11(1)"}),
            parse({"-Check2(9)", "+Check2(8)", "-Check2(7)", "*Option6(5)", "Text1(4)=0228", "Text1(5)=022800",
                   "^Text1(4)", "_Text1(5)", "_Frame11(2)", "_Check2(7)", "_Check2(8)"}),
            parse({"-Check2(12)", "+Check2(11)", "-Check2(10)", "*Option6(7)", "Text1(6)=0228", "Text1(7)=022800",
                   "^Text1(6)", "_Text1(7)", "_Frame11(3)", "_Check2(10)", "_Check2(11)"}),
            parse({"+Check2(15)", "+Check2(14)", "-Check2(13)", "^Check2(13)", "^Check2(14)"}),
            parse({"+Check2(16)", "*Option1(1)", "-Check2(17)", "+Check2(18)"}),
            parse({"-Check2(20)", "+Check2(19)"}),
            parse({"+Check2(21)", "-Check2(22)", "*Option2(1)", "*Option2(4)", "^Check2(21)", "^Check2(22)",
                   "^Frame4", "^Frame5"}),
            parse({"+Check2(23)", "-Check2(24)", "*Option3(1)", "^Check2(23)"}),
            parse({"+Check2(25)", "^Check2(25)"}),
            parse({"+Check2(26)", "-Check2(27)", "+Check2(28)", "-Check2(29)", "-Check2(30)", "+Check2(31)",
                   "^Check2(26)", "^Check2(27)", "^Check2(28)", "^Check2(29)", "^Check2(30)", "^Check2(31)"}),
            parse({"+Check2(32)", "-Check2(33)", "+Check2(34)", "-Check2(35)", "-Check2(36)", "^Check2(32)"}),
            parse({"+Check2(37)", "-Check2(38)", "+Check2(39)", "-Check2(40)", "^Check2(37)", "*Option4(2)"}),
            parse({"+Check2(44)", "-Check2(43)", "+Check2(42)", "-Check2(41)", "-Check2(45)", "^Check2(44)"}),
            parse({"-Check2(46)"}),
            {},
            parse({"*Option5(1)", "*Option5(2)", "*Option5(6)"}),
        };
        for (const auto &row : SymbologyMap::codeIds()) {
            t[SymbologyMap::CodeIdTab].push_back({Action::SetText, row.text, {}});
            t[SymbologyMap::CodeIdTab].push_back({Action::Uncheck, row.box, {}});
        }
        return t;
    }();
    static const std::vector<Step> none;
    return tab >= 0 && tab < SymbologyMap::TabCount ? tabs[size_t(tab)] : none;
}

void SymbologyDefaults::apply(int tab, SymbologyControls &controls)
{
    for (const Step &s : steps(tab)) {
        switch (s.action) {
        case Action::Check:
        case Action::Uncheck: {
            const bool on = s.action == Action::Check;
            if (controls.isChecked(s.control) != on) {
                controls.setChecked(s.control, on);
                controls.click(s.control);
            }
            break;
        }
        case Action::Select:
            controls.setSelected(s.control, true);
            controls.click(s.control);
            break;
        case Action::SetText:
            controls.setText(s.control, s.text);
            break;
        case Action::Enable:
        case Action::Disable:
            controls.setEnabled(s.control, s.action == Action::Enable);
            break;
        }
    }
}
