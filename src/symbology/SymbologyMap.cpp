#include "symbology/SymbologyMap.h"

#include "core/Session.h"
#include "image/ImageText.h"
#include "symbology/SymbologyControls.h"

#include <algorithm>

namespace {

QString n(const char *name)
{
    return QString::fromLatin1(name);
}

QStringList names(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *name : list)
        out += n(name);
    return out;
}

using Sense = SymbologyMap::Sense;
constexpr Sense D = Sense::Direct;
constexpr Sense I = Sense::Inverted;

// The value of a pair of characters read the way the image files are read:
// its leading hex digits, 0 when there are none.
quint8 hexPair(const QString &text, int pos)
{
    auto latin = [&text](int i) {
        const char16_t c = i < text.size() ? text[i].unicode() : u'\0';
        return c < 128 ? char(c) : '\0';
    };
    return ImageText::hexPairValue(latin(pos), latin(pos + 1));
}

QString hex2(quint8 value)
{
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

void writeBits(std::span<quint8> image, int byte, quint8 mask, quint8 bits)
{
    image[byte] = quint8((image[byte] & ~mask) | (bits & mask));
}

void loadCheck(const SymbologyMap::CheckBoxBits &b, std::span<const quint8> image, SymbologyControls &c)
{
    const quint8 v = image[b.byte];
    switch (b.sense) {
    case Sense::Direct:
        c.setChecked(b.box, (v & b.mask) == b.mask);
        break;
    case Sense::Inverted:
        c.setChecked(b.box, (v & b.mask) != b.mask);
        break;
    case Sense::WholeByte:
        c.setChecked(b.box, v == b.value);
        break;
    }
}

void storeCheck(const SymbologyMap::CheckBoxBits &b, const SymbologyControls &c, std::span<quint8> image)
{
    const bool on = c.isChecked(b.box);
    switch (b.sense) {
    case Sense::Direct:
        writeBits(image, b.byte, b.mask, on ? b.mask : 0);
        break;
    case Sense::Inverted:
        writeBits(image, b.byte, b.mask, on ? 0 : b.mask);
        break;
    case Sense::WholeByte:
        image[b.byte] = on ? b.value : 0;
        break;
    }
}

void loadGroup(const SymbologyMap::OptionGroup &g, std::span<const quint8> image, SymbologyControls &c)
{
    for (const auto &opt : g.options) {
        bool agrees = true;
        for (size_t k = 0; k < g.fields.size(); ++k) {
            const quint8 compared = opt.match[k] & g.fields[k].mask;
            agrees = agrees && (image[g.fields[k].byte] & compared) == (opt.code[k] & compared);
        }
        if (agrees) {
            c.setSelected(opt.option, true);
            return;
        }
    }
    // Showing whatever the frame held before would show another image's value.
    c.clearSelection(g.frame);
}

void storeGroup(const SymbologyMap::OptionGroup &g, const SymbologyControls &c, std::span<quint8> image)
{
    const auto tested = std::find_if(g.storeTests.begin(), g.storeTests.end(),
                                     [&c](const QString &o) { return c.isSelected(o); });
    // None selected shows a stored code that has no option: it stays as it was.
    if (tested == g.storeTests.end() && !c.isSelected(g.storeFallback))
        return;
    const auto *opt = g.find(tested != g.storeTests.end() ? *tested : g.storeFallback);
    Q_ASSERT(opt);
    for (size_t k = 0; k < g.fields.size(); ++k)
        writeBits(image, g.fields[k].byte, g.fields[k].mask, opt->code[k]);
}

void loadLength(const SymbologyMap::LengthField &f, std::span<const quint8> image, SymbologyControls &c)
{
    const bool user = (image[f.mode.byte] & f.mode.mask) != 0;
    c.setSelected(user ? f.userOption : f.fixedOption, true);
    const QString two = hex2(image[f.firstByte]) + hex2(image[f.firstByte + 1]);
    c.setText(f.fixedBox, two);
    c.setText(f.userBox, two + hex2(image[f.firstByte + 2]));
}

void storeLength(const SymbologyMap::LengthField &f, const SymbologyControls &c, std::span<quint8> image)
{
    const bool fixed = c.isSelected(f.fixedOption);
    if (!fixed && !c.isSelected(f.userOption) && f.keepWhenNoneSelected)
        return;
    const QString text = c.text(fixed ? f.fixedBox : f.userBox);
    image[f.firstByte] = hexPair(text, 0);
    image[f.firstByte + 1] = hexPair(text, 2);
    image[f.firstByte + 2] = fixed ? 0 : hexPair(text, 4);
    writeBits(image, f.mode.byte, f.mode.mask, fixed ? 0 : f.mode.mask);
}

void loadCodeIds(std::span<const quint8> image, SymbologyControls &c)
{
    for (const auto &row : SymbologyMap::codeIds()) {
        const int v = row.byte < 0 ? 0 : image[row.byte];
        c.setText(row.text, v == 0 ? QString() : QString::number(v, 16).toUpper());
        c.setChecked(row.box, !c.text(row.text).isEmpty());
    }
}

void storeCodeIds(const SymbologyControls &c, std::span<quint8> image)
{
    for (const auto &row : SymbologyMap::codeIds()) {
        if (row.byte < 0)
            continue;
        // "A" is 0x0A: a lone digit is read as the whole value.
        image[row.byte] = c.isChecked(row.box) ? hexPair(c.text(row.text), 0) : 0;
    }
}

template<typename T>
const T *byName(const std::vector<T> &table, QString T::*field, const QString &name)
{
    const auto it = std::find_if(table.begin(), table.end(), [&](const T &e) { return e.*field == name; });
    return it == table.end() ? nullptr : &*it;
}

} // namespace

const SymbologyMap::OptionCode *SymbologyMap::OptionGroup::find(const QString &option) const
{
    return byName(options, &OptionCode::option, option);
}

const std::vector<SymbologyMap::CheckBoxBits> &SymbologyMap::checkBoxes()
{
    // In load order within each tab.
    static const std::vector<CheckBoxBits> table = {
        {0, n("Check1(0)"), 2, 0x01, D, 0},   // Code 39
        {0, n("Check1(1)"), 5, 0x01, D, 0},   // full ASCII
        {0, n("Check1(2)"), 5, 0x02, D, 0},   // transmit start / end
        {0, n("Check1(3)"), 5, 0x08, D, 0},   // transmit check character
        {0, n("Check1(4)"), 5, 0x04, D, 0},   // verify checksum
        {0, n("Check1(5)"), 5, 0x40, D, 0},   // Code 32
        {0, n("Check1(6)"), 5, 0x80, D, 0},   // Code 32 strict
        {1, n("Check2(0)"), 2, 0x02, D, 0},   // Interleaved 2 of 5
        {1, n("Check2(2)"), 7, 0x01, D, 0},
        {1, n("Check2(1)"), 7, 0x02, D, 0},
        {2, n("Check2(5)"), 2, 0x04, D, 0},   // Industrial 2 of 5
        {2, n("Check2(6)"), 4, 0x04, D, 0},   // IATA
        {2, n("Check2(3)"), 7, 0x08, D, 0},
        {2, n("Check2(4)"), 7, 0x10, D, 0},
        {3, n("Check2(9)"), 2, 0x08, D, 0},   // Matrix 2 of 5
        {3, n("Check2(7)"), 7, 0x40, D, 0},
        {3, n("Check2(8)"), 7, 0x80, D, 0},
        {4, n("Check2(12)"), 3, 0x20, D, 0},  // China Postage
        {4, n("Check2(10)"), 8, 0x02, D, 0},
        {4, n("Check2(11)"), 8, 0x04, D, 0},
        {5, n("Check2(15)"), 3, 0x02, D, 0},  // Code 128
        {5, n("Check2(13)"), 11, 0x01, D, 0}, // UCC/EAN-128
        {5, n("Check2(14)"), 30, 0x10, I, 0},
        {6, n("Check2(16)"), 3, 0x08, D, 0},  // Code 11
        {6, n("Check2(17)"), 6, 0x02, D, 0},
        {6, n("Check2(18)"), 30, 0x04, D, 0},
        {7, n("Check2(20)"), 3, 0x04, D, 0},  // Code 93
        {7, n("Check2(19)"), 30, 0x08, I, 0},
        {8, n("Check2(21)"), 3, 0x10, D, 0},  // MSI/Plessey
        {8, n("Check2(22)"), 30, 0x01, D, 0},
        {9, n("Check2(23)"), 2, 0x10, D, 0},  // Codabar
        {9, n("Check2(24)"), 10, 0xC0, D, 0}, // both bits together
        {11, n("Check2(26)"), 2, 0x20, D, 0}, // EAN-13, one bit with UPC-A
        {11, n("Check2(27)"), 3, 0x01, D, 0}, // add-on, one bit for the four EAN/UPC tabs
        {11, n("Check2(29)"), 12, 0x01, I, 0},
        {11, n("Check2(30)"), 12, 0x02, I, 0},
        {11, n("Check2(28)"), 12, 0x04, D, 0},
        {11, n("Check2(31)"), 30, 0x02, I, 0},
        {12, n("Check2(32)"), 2, 0x20, D, 0}, // UPC-A
        {12, n("Check2(33)"), 3, 0x01, D, 0},
        {12, n("Check2(36)"), 12, 0x08, D, 0},
        {12, n("Check2(35)"), 12, 0x10, I, 0},
        {12, n("Check2(34)"), 12, 0x20, D, 0},
        {13, n("Check2(37)"), 2, 0x40, D, 0}, // EAN-8
        {13, n("Check2(38)"), 3, 0x01, D, 0},
        {13, n("Check2(40)"), 12, 0x40, I, 0},
        {13, n("Check2(39)"), 12, 0x80, D, 0},
        {14, n("Check2(44)"), 2, 0x80, D, 0}, // UPC-E
        {14, n("Check2(43)"), 3, 0x01, D, 0},
        {14, n("Check2(41)"), 13, 0x01, I, 0},
        {14, n("Check2(42)"), 13, 0x02, D, 0},
        {14, n("Check2(45)"), 13, 0x04, D, 0},
        {15, n("Check2(46)"), 14, 0xFF, Sense::WholeByte, 0x66}, // ISBN/ISSN
    };
    return table;
}

const std::vector<SymbologyMap::OptionGroup> &SymbologyMap::optionGroups()
{
    auto one = [](const char *option, quint8 code) { return OptionCode{n(option), {code}, {0xFF}}; };
    static const std::vector<OptionGroup> table = {
        {6, n("Frame3"), {{6, 0x01}}, // number of Code 11 check characters
         {one("Option1(0)", 0x01), one("Option1(1)", 0x00)},
         names({"Option1(0)"}), n("Option1(1)")},
        {8, n("Frame4"), {{29, 0x30}}, // MOD; 0x30 has no option
         {one("Option2(0)", 0x10), one("Option2(1)", 0x00), one("Option2(2)", 0x20)},
         names({"Option2(0)", "Option2(1)"}), n("Option2(2)")},
        {8, n("Frame5"), {{29, 0xC0}}, // check-digit transmission; 0x80 has no option
         {one("Option2(4)", 0x00), one("Option2(5)", 0x40), one("Option2(3)", 0xC0)},
         names({"Option2(5)", "Option2(4)"}), n("Option2(3)")},
        {9, n("Frame6"), {{10, 0x03}}, // Codabar start/end type
         {one("Option3(0)", 0), one("Option3(1)", 1), one("Option3(2)", 2), one("Option3(3)", 3)},
         names({"Option3(0)", "Option3(1)", "Option3(2)"}), n("Option3(3)")},
        {13, n("Frame7"), {{11, 0x02}, {13, 0x08}}, // EAN-8 to EAN-13; byte 11 alone decides "Enable 1"
         {{n("Option4(0)"), {0x02, 0x08}, {0x02, 0x00}},
          {n("Option4(1)"), {0x00, 0x08}, {0xFF, 0xFF}},
          {n("Option4(2)"), {0x00, 0x00}, {0xFF, 0xFF}}},
         names({"Option4(0)", "Option4(2)"}), n("Option4(1)")},
        {17, n("Frame8"), {{35, 0x08}}, // bar polarity
         {one("Option5(0)", 0x08), one("Option5(1)", 0x00)},
         names({"Option5(0)"}), n("Option5(1)")},
        {17, n("Frame9"), {{35, 0xC0}}, // scan speed
         {one("Option5(3)", 0x00), one("Option5(2)", 0x40), one("Option5(4)", 0x80), one("Option5(5)", 0xC0)},
         names({"Option5(2)", "Option5(3)", "Option5(4)"}), n("Option5(5)")},
        {17, n("Frame10"), {{37, 0x03}}, // data format; 3 has no option
         {one("Option5(6)", 0x00), one("Option5(8)", 0x01), one("Option5(7)", 0x02)},
         names({"Option5(6)", "Option5(7)"}), n("Option5(8)")},
    };
    return table;
}

const std::vector<SymbologyMap::LengthField> &SymbologyMap::lengthFields()
{
    static const std::vector<LengthField> table = {
        {1, n("Frame11(0)"), 16, {7, 0x04}, n("Option6(0)"), n("Text1(0)"), n("Command3(0)"),
         n("Option6(1)"), n("Text1(1)"), n("Command3(1)"), true},
        {2, n("Frame11(1)"), 19, {7, 0x20}, n("Option6(3)"), n("Text1(2)"), n("Command3(2)"),
         n("Option6(2)"), n("Text1(3)"), n("Command3(3)"), false},
        {3, n("Frame11(2)"), 22, {8, 0x01}, n("Option6(5)"), n("Text1(4)"), n("Command3(4)"),
         n("Option6(4)"), n("Text1(5)"), n("Command3(5)"), false},
        {4, n("Frame11(3)"), 25, {8, 0x08}, n("Option6(7)"), n("Text1(6)"), n("Command3(6)"),
         n("Option6(6)"), n("Text1(7)"), n("Command3(7)"), false},
    };
    return table;
}

const std::vector<SymbologyMap::CodeIdRow> &SymbologyMap::codeIds()
{
    static const std::vector<CodeIdRow> table = [] {
        // Code 39, Industrial, China Postage, Code 93, MSI, EAN-13, UPC-E,
        // Code 4, Interleaved, Matrix, Code 128, Code 11, Codabar, EAN-8, UPC-A
        const int bytes[15] = {67, 70, 76, 73, 75, 64, 66, -1, 71, 69, 72, 74, 68, 65, 15};
        std::vector<CodeIdRow> rows;
        for (int i = 0; i < 15; ++i)
            rows.push_back({i, QStringLiteral("Check2(%1)").arg(47 + i), QStringLiteral("TB(%1)").arg(i),
                            QStringLiteral("CB4(%1)").arg(i), bytes[i]});
        return rows;
    }();
    return table;
}

const std::vector<SymbologyMap::EnableRule> &SymbologyMap::enableRules()
{
    static const std::vector<EnableRule> table = {
        {0, n("Check1(0)"), names({"Check1(1)", "Check1(2)", "Check1(3)", "Check1(4)"}), false},
        {0, n("Check1(5)"), names({"Check1(6)"}), false},
        {1, n("Check2(0)"), names({"Check2(1)", "Check2(2)", "Frame11(0)"}), true},
        {2, n("Check2(5)"), names({"Check2(3)", "Check2(4)", "Check2(6)", "Frame11(1)"}), true},
        {3, n("Check2(9)"), names({"Check2(7)", "Check2(8)", "Frame11(2)"}), true},
        {4, n("Check2(12)"), names({"Check2(10)", "Check2(11)", "Frame11(3)"}), true},
        {5, n("Check2(15)"), names({"Check2(13)", "Check2(14)"}), false},
        {6, n("Check2(16)"), names({"Check2(17)", "Check2(18)", "Frame3"}), false},
        {7, n("Check2(20)"), names({"Check2(19)"}), false},
        {8, n("Check2(21)"), names({"Check2(22)", "Frame4", "Frame5"}), false},
        {9, n("Check2(23)"), names({"Check2(24)", "Frame6"}), false},
        {11, n("Check2(26)"), names({"Check2(27)", "Check2(28)", "Check2(29)", "Check2(30)", "Check2(31)"}), false},
        {12, n("Check2(32)"), names({"Check2(33)", "Check2(34)", "Check2(35)", "Check2(36)"}), false},
        {13, n("Check2(37)"), names({"Check2(38)", "Check2(39)", "Check2(40)", "Frame7"}), false},
        {14, n("Check2(44)"), names({"Check2(41)", "Check2(42)", "Check2(43)", "Check2(45)"}), false},
    };
    return table;
}

const std::vector<SymbologyMap::Step> &SymbologyMap::storeOrder(int tab)
{
    static const std::vector<std::vector<Step>> orders = [] {
        const std::vector<std::vector<const char *>> text = {
            {"Check1(0)", "Check1(1)", "Check1(2)", "Check1(3)", "Check1(4)", "Check1(5)", "Check1(6)"},
            {"Check2(0)", "Check2(1)", "Check2(2)", "Frame11(0)"},
            {"Check2(5)", "Check2(4)", "Check2(3)", "Check2(6)", "Frame11(1)"},
            {"Check2(9)", "Check2(8)", "Check2(7)", "Frame11(2)"},
            {"Check2(12)", "Check2(11)", "Check2(10)", "Frame11(3)"},
            {"Check2(15)", "Check2(14)", "Check2(13)"},
            {"Check2(16)", "Frame3", "Check2(17)", "Check2(18)"},
            {"Check2(20)", "Check2(19)"},
            {"Check2(21)", "Check2(22)", "Frame4", "Frame5"},
            {"Check2(23)", "Check2(24)", "Frame6"},
            {}, // Code 4 has no bits
            {"Check2(26)", "Check2(27)", "Check2(28)", "Check2(29)", "Check2(30)", "Check2(31)"},
            {"Check2(32)", "Check2(33)", "Check2(34)", "Check2(35)", "Check2(36)"},
            {"Check2(37)", "Check2(38)", "Check2(39)", "Check2(40)", "Frame7"},
            {"Check2(44)", "Check2(43)", "Check2(42)", "Check2(41)", "Check2(45)"},
            {"Check2(46)"},
            {"Code IDs"},
            {"Frame8", "Frame9", "Frame10"},
        };
        std::vector<std::vector<Step>> o;
        for (const auto &tabText : text) {
            std::vector<Step> steps;
            for (const char *name : tabText) {
                const QString s = n(name);
                const StepKind kind = s.startsWith(QLatin1String("Check"))      ? StepKind::Check
                                      : s.startsWith(QLatin1String("Frame11(")) ? StepKind::Length
                                      : s.startsWith(QLatin1String("Frame"))    ? StepKind::Group
                                                                                : StepKind::CodeIds;
                steps.push_back({kind, s});
            }
            o.push_back(steps);
        }
        return o;
    }();
    static const std::vector<Step> none;
    return tab >= 0 && tab < TabCount ? orders[size_t(tab)] : none;
}

const SymbologyMap::OptionGroup *SymbologyMap::group(const QString &frame)
{
    return byName(optionGroups(), &OptionGroup::frame, frame);
}

const SymbologyMap::LengthField *SymbologyMap::lengthField(int tab)
{
    const auto &t = lengthFields();
    const auto it = std::find_if(t.begin(), t.end(), [tab](const LengthField &f) { return f.tab == tab; });
    return it == t.end() ? nullptr : &*it;
}

QString SymbologyMap::defaultLengthCheck(const SymbologyControls &controls, const LengthField &field)
{
    if (controls.text(field.fixedBox).size() != 4)
        return field.fixedBox;
    if (controls.text(field.userBox).size() != 6)
        return field.userBox;
    return {};
}

void SymbologyMap::setLengthCheck(LengthCheck check)
{
    m_lengthCheck = check ? std::move(check) : LengthCheck(&SymbologyMap::defaultLengthCheck);
}

void SymbologyMap::load(int tab, std::span<const quint8> image, SymbologyControls &controls)
{
    Q_ASSERT(image.size() >= size_t(Session::ImageSize));
    for (const auto &b : checkBoxes())
        if (b.tab == tab)
            loadCheck(b, image, controls);
    for (const auto &g : optionGroups())
        if (g.tab == tab)
            loadGroup(g, image, controls);
    if (const LengthField *f = lengthField(tab))
        loadLength(*f, image, controls);
    if (tab == CodeIdTab)
        loadCodeIds(image, controls);
    controls.applyEnablingRules(tab);
}

void SymbologyMap::load(int tab, const Session &session, SymbologyControls &controls)
{
    load(tab, std::span<const quint8>(session.ParamImage), controls);
}

SymbologyMap::StoreResult SymbologyMap::store(int tab, const SymbologyControls &controls,
                                              std::span<quint8> image) const
{
    Q_ASSERT(image.size() >= size_t(Session::ImageSize));
    // Checked before anything is written, so a refused Accept leaves the tab's bytes alone.
    if (const LengthField *f = lengthField(tab)) {
        const QString refused = m_lengthCheck(controls, *f);
        if (!refused.isEmpty())
            return {false, refused};
    }
    for (const Step &step : storeOrder(tab)) {
        switch (step.kind) {
        case StepKind::Check: {
            const auto *b = byName(checkBoxes(), &CheckBoxBits::box, step.name);
            Q_ASSERT(b);
            storeCheck(*b, controls, image);
            break;
        }
        case StepKind::Group:
            storeGroup(*group(step.name), controls, image);
            break;
        case StepKind::Length:
            storeLength(*lengthField(tab), controls, image);
            break;
        case StepKind::CodeIds:
            storeCodeIds(controls, image);
            break;
        }
    }
    return {true, {}};
}

SymbologyMap::StoreResult SymbologyMap::store(int tab, const SymbologyControls &controls, Session &session) const
{
    return store(tab, controls, std::span<quint8>(session.ParamImage));
}
