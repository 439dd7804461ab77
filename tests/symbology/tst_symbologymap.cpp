#include "core/Session.h"
#include "image/FactoryDefaults.h"
#include "support/TestFiles.h"
#include "symbology/SymbologyControls.h"
#include "symbology/SymbologyDefaults.h"
#include "symbology/SymbologyMap.h"

#include <QRandomGenerator>
#include <QTest>

#include <array>

namespace {

using Image = std::array<quint8, 128>;

// The bit tables written out again, so the map is checked against them and not against itself.
struct Box { const char *name; int tab, byte, mask; bool inverted; };
const Box kBoxes[] = {
    {"Check1(0)", 0, 2, 0x01, 0}, {"Check1(1)", 0, 5, 0x01, 0}, {"Check1(2)", 0, 5, 0x02, 0}, {"Check1(3)", 0, 5, 0x08, 0},
    {"Check1(4)", 0, 5, 0x04, 0}, {"Check1(5)", 0, 5, 0x40, 0}, {"Check1(6)", 0, 5, 0x80, 0}, {"Check2(0)", 1, 2, 0x02, 0},
    {"Check2(1)", 1, 7, 0x02, 0}, {"Check2(2)", 1, 7, 0x01, 0}, {"Check2(5)", 2, 2, 0x04, 0}, {"Check2(4)", 2, 7, 0x10, 0},
    {"Check2(3)", 2, 7, 0x08, 0}, {"Check2(6)", 2, 4, 0x04, 0}, {"Check2(9)", 3, 2, 0x08, 0}, {"Check2(8)", 3, 7, 0x80, 0},
    {"Check2(7)", 3, 7, 0x40, 0}, {"Check2(12)", 4, 3, 0x20, 0}, {"Check2(11)", 4, 8, 0x04, 0}, {"Check2(10)", 4, 8, 0x02, 0},
    {"Check2(15)", 5, 3, 0x02, 0}, {"Check2(14)", 5, 30, 0x10, 1}, {"Check2(13)", 5, 11, 0x01, 0}, {"Check2(16)", 6, 3, 0x08, 0},
    {"Check2(17)", 6, 6, 0x02, 0}, {"Check2(18)", 6, 30, 0x04, 0}, {"Check2(20)", 7, 3, 0x04, 0}, {"Check2(19)", 7, 30, 0x08, 1},
    {"Check2(21)", 8, 3, 0x10, 0}, {"Check2(22)", 8, 30, 0x01, 0}, {"Check2(23)", 9, 2, 0x10, 0}, {"Check2(24)", 9, 10, 0xC0, 0},
    {"Check2(26)", 11, 2, 0x20, 0}, {"Check2(27)", 11, 3, 0x01, 0}, {"Check2(28)", 11, 12, 0x04, 0}, {"Check2(29)", 11, 12, 0x01, 1},
    {"Check2(30)", 11, 12, 0x02, 1}, {"Check2(31)", 11, 30, 0x02, 1}, {"Check2(32)", 12, 2, 0x20, 0}, {"Check2(33)", 12, 3, 0x01, 0},
    {"Check2(34)", 12, 12, 0x20, 0}, {"Check2(35)", 12, 12, 0x10, 1}, {"Check2(36)", 12, 12, 0x08, 0}, {"Check2(37)", 13, 2, 0x40, 0},
    {"Check2(38)", 13, 3, 0x01, 0}, {"Check2(39)", 13, 12, 0x80, 0}, {"Check2(40)", 13, 12, 0x40, 1}, {"Check2(44)", 14, 2, 0x80, 0},
    {"Check2(43)", 14, 3, 0x01, 0}, {"Check2(42)", 14, 13, 0x02, 0}, {"Check2(41)", 14, 13, 0x01, 1}, {"Check2(45)", 14, 13, 0x04, 0},
};

// EAN-8 conversion spans two bytes; mask2 0 means one byte.
struct Opt { const char *option; int tab, byte, mask, code, mask2, code2; };
const Opt kOpts[] = {
    {"Option1(0)", 6, 6, 0x01, 0x01, 0, 0}, {"Option1(1)", 6, 6, 0x01, 0x00, 0, 0}, {"Option2(0)", 8, 29, 0x30, 0x10, 0, 0},
    {"Option2(1)", 8, 29, 0x30, 0x00, 0, 0}, {"Option2(2)", 8, 29, 0x30, 0x20, 0, 0}, {"Option2(4)", 8, 29, 0xC0, 0x00, 0, 0},
    {"Option2(5)", 8, 29, 0xC0, 0x40, 0, 0}, {"Option2(3)", 8, 29, 0xC0, 0xC0, 0, 0}, {"Option3(0)", 9, 10, 0x03, 0, 0, 0},
    {"Option3(1)", 9, 10, 0x03, 1, 0, 0}, {"Option3(2)", 9, 10, 0x03, 2, 0, 0}, {"Option3(3)", 9, 10, 0x03, 3, 0, 0},
    {"Option4(0)", 13, 11, 0x02, 0x02, 0x08, 0x08}, {"Option4(1)", 13, 11, 0x02, 0x00, 0x08, 0x08},
    {"Option4(2)", 13, 11, 0x02, 0x00, 0x08, 0x00}, {"Option5(0)", 17, 35, 0x08, 0x08, 0, 0}, {"Option5(1)", 17, 35, 0x08, 0x00, 0, 0},
    {"Option5(3)", 17, 35, 0xC0, 0x00, 0, 0}, {"Option5(2)", 17, 35, 0xC0, 0x40, 0, 0}, {"Option5(4)", 17, 35, 0xC0, 0x80, 0, 0},
    {"Option5(5)", 17, 35, 0xC0, 0xC0, 0, 0}, {"Option5(6)", 17, 37, 0x03, 0x00, 0, 0}, {"Option5(8)", 17, 37, 0x03, 0x01, 0, 0},
    {"Option5(7)", 17, 37, 0x03, 0x02, 0, 0},
};

struct Len { int tab, first, modeByte, modeMask, enableByte, enableMask; const char *fixedOpt, *fixedBox, *fixedButton, *userOpt, *userBox, *userButton; };
const Len kLens[] = {
    {1, 16, 7, 0x04, 2, 0x02, "Option6(0)", "Text1(0)", "Command3(0)", "Option6(1)", "Text1(1)", "Command3(1)"},
    {2, 19, 7, 0x20, 2, 0x04, "Option6(3)", "Text1(2)", "Command3(2)", "Option6(2)", "Text1(3)", "Command3(3)"},
    {3, 22, 8, 0x01, 2, 0x08, "Option6(5)", "Text1(4)", "Command3(4)", "Option6(4)", "Text1(5)", "Command3(5)"},
    {4, 25, 8, 0x08, 3, 0x20, "Option6(7)", "Text1(6)", "Command3(6)", "Option6(6)", "Text1(7)", "Command3(7)"},
};

const int kCodeIdBytes[15] = {67, 70, 76, 73, 75, 64, 66, -1, 71, 69, 72, 74, 68, 65, 15}; // -1: Code 4

QString s(const char *name) { return QString::fromLatin1(name); }
Image filled(int v) { Image i; i.fill(quint8(v)); return i; }
void put(Image &img, int byte, int mask, int bits) { img[byte] = quint8((img[byte] & ~mask) | bits); }

SymbologyControls loaded(int tab, const Image &img)
{
    SymbologyControls c;
    SymbologyMap::load(tab, img, c);
    return c;
}

Image stored(int tab, const SymbologyControls &c, Image img)
{
    if (!SymbologyMap().store(tab, c, img))
        qWarning("store of tab %d refused", tab);
    return img;
}

// The bits one tab may write, from the tables above.
Image tabBits(int tab)
{
    Image m{};
    for (const Box &b : kBoxes)
        m[b.byte] |= b.tab == tab ? b.mask : 0;
    for (const Opt &o : kOpts)
        if (o.tab == tab)
            m[o.byte] |= o.mask, m[13] |= o.mask2;
    for (const Len &l : kLens)
        if (l.tab == tab)
            m[l.first] = m[l.first + 1] = m[l.first + 2] = 0xFF, m[l.modeByte] |= l.modeMask;
    m[14] |= tab == 15 ? 0xFF : 0;
    for (int b : kCodeIdBytes)
        if (tab == 16 && b >= 0)
            m[b] = 0xFF;
    return m;
}

// Lists every change outside the allowed bits.
QByteArray strays(const Image &before, const Image &after, const Image &allowed)
{
    QByteArray out;
    for (int i = 0; i < 128; ++i)
        if ((before[i] ^ after[i]) & ~allowed[i])
            out += "byte " + QByteArray::number(i) + ": " + QByteArray::number(before[i], 16) + " -> "
                   + QByteArray::number(after[i], 16) + "; ";
    return out;
}
#define NO_STRAYS(before, after, allowed) QVERIFY2(strays(before, after, allowed).isEmpty(), strays(before, after, allowed))

} // namespace

class TestSymbologyMap : public QObject
{
    Q_OBJECT

    template<typename Row, size_t N>
    static void rowsWithFills(const Row (&table)[N], const char *(*name)(const Row &))
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("fill");
        for (size_t r = 0; r < N; ++r)
            for (int fill : {0x00, 0xFF})
                QTest::addRow("%s, others %02X", name(table[r]), fill) << int(r) << fill;
    }

private Q_SLOTS:
    void checkBoxes_data() { rowsWithFills(kBoxes, +[](const Box &b) { return b.name; }); }
    void checkBoxes()
    {
        QFETCH(int, row);
        QFETCH(int, fill);
        const Box &b = kBoxes[row];
        for (bool set : {true, false}) {
            Image img = filled(fill);
            put(img, b.byte, b.mask, set ? b.mask : 0);
            QCOMPARE(loaded(b.tab, img).isChecked(s(b.name)), set != b.inverted);
        }
        const Image base = filled(fill);
        SymbologyControls c = loaded(b.tab, base);
        Image out[2];
        for (bool on : {false, true}) {
            c.setChecked(s(b.name), on);
            out[on] = stored(b.tab, c, base);
            QCOMPARE(out[on][b.byte] & b.mask, on != b.inverted ? b.mask : 0);
            NO_STRAYS(base, out[on], tabBits(b.tab));
        }
        for (int i = 0; i < 128; ++i) // the box moves its own bits and nothing else
            QCOMPARE(out[0][i] ^ out[1][i], i == b.byte ? b.mask : 0);
    }

    void options_data() { rowsWithFills(kOpts, +[](const Opt &o) { return o.option; }); }
    void options()
    {
        QFETCH(int, row);
        QFETCH(int, fill);
        const Opt &o = kOpts[row];
        const QString option = s(o.option), frame = SymbologyControls::frameOf(option);
        Image coded = filled(fill);
        put(coded, o.byte, o.mask, o.code);
        put(coded, 13, o.mask2, o.code2);
        QCOMPARE(loaded(o.tab, coded).selectedOption(frame), option);

        const Image base = filled(fill);
        SymbologyControls c = loaded(o.tab, base);
        c.clearSelection(frame);
        const Image none = stored(o.tab, c, base);
        c.setSelected(option, true);
        const Image out = stored(o.tab, c, base);
        QCOMPARE(out[o.byte] & o.mask, o.code);
        QCOMPARE(out[13] & o.mask2, o.code2);
        NO_STRAYS(base, out, tabBits(o.tab));
        Image group{};
        put(group, o.byte, 0, o.mask);
        put(group, 13, 0, o.mask2);
        NO_STRAYS(none, out, group);
    }

    // A code without an option shows none, whatever the frame showed before; Accept keeps it.
    void codesWithoutOption()
    {
        struct Case { int tab; const char *before; int byte, mask, code, written; };
        for (const Case k : {Case{8, "Option2(0)", 29, 0x30, 0x30, 0x30}, Case{8, "Option2(4)", 29, 0xC0, 0x80, 0x80},
                             Case{17, "Option5(6)", 37, 0x03, 0x03, 0x03}}) {
            SymbologyControls c;
            c.setSelected(s(k.before), true);
            Image img = filled(0);
            img[k.byte] = quint8(k.code);
            SymbologyMap::load(k.tab, img, c);
            QCOMPARE(c.selectedOption(SymbologyControls::frameOf(s(k.before))), QString());
            QCOMPARE(stored(k.tab, c, img)[k.byte] & k.mask, k.written);
        }
        Image img = filled(0);
        img[11] = 0x02; // byte 11 alone picks "Enable 1", which then sets byte 13 too
        QVERIFY(loaded(13, img).isSelected(s("Option4(0)")));
        QCOMPARE(stored(13, loaded(13, img), img)[13], 0x08);
    }

    void lengthFields_data() { rowsWithFills(kLens, +[](const Len &l) { return l.fixedBox; }); }
    void lengthFields()
    {
        QFETCH(int, row);
        QFETCH(int, fill);
        const Len &l = kLens[row];
        for (bool user : {false, true}) {
            Image img = filled(fill);
            img[l.first] = 0x0A, img[l.first + 1] = 0xB1, img[l.first + 2] = 0x2C;
            put(img, l.modeByte, l.modeMask, user ? l.modeMask : 0);
            const SymbologyControls c = loaded(l.tab, img);
            QCOMPARE(c.text(s(l.fixedBox)) + c.text(s(l.userBox)), s("0AB10AB12C"));
            QVERIFY(c.isSelected(s(user ? l.userOpt : l.fixedOpt)));
        }
        const Image base = filled(fill);
        for (int pick : {0, 1, 2}) { // fixed, user-defined, neither
            SymbologyControls c = loaded(l.tab, base);
            c.setText(s(l.fixedBox), s("12AB"));
            c.setText(s(l.userBox), s("34CD56"));
            c.setSelected(s(l.fixedOpt), pick == 0);
            c.setSelected(s(l.userOpt), pick == 1);
            const Image out = stored(l.tab, c, base);
            NO_STRAYS(base, out, tabBits(l.tab)); // tab 1 leaves bytes 19-27 alone, and so on
            if (pick == 2 && l.tab == 1) { // nothing chosen on tab 1 keeps the field
                QCOMPARE(out, base);
                continue;
            }
            const bool user = pick != 0;
            const int want[4] = {user ? 0x34 : 0x12, user ? 0xCD : 0xAB, user ? 0x56 : 0, user ? l.modeMask : 0};
            QCOMPARE((std::array{int(out[l.first]), int(out[l.first + 1]), int(out[l.first + 2]), out[l.modeByte] & l.modeMask}),
                     (std::array{want[0], want[1], want[2], want[3]}));
        }
    }

    void lengthPairsReadLeadingHexDigits()
    {
        struct Case { const char *text; int first, second; };
        for (const Case k : {Case{"0 30", 0x00, 0x30}, Case{"a1f0", 0xA1, 0xF0}, Case{"1-2 ", 0x01, 0x02}, Case{"-1 2", 0, 0}}) {
            SymbologyControls c = loaded(1, filled(0xFF));
            c.setSelected(s("Option6(0)"), true);
            c.setText(s("Text1(0)"), s(k.text));
            const Image out = stored(1, c, filled(0xFF));
            QCOMPARE(out[16] * 256 + out[17], k.first * 256 + k.second);
        }
    }

    void codeIds_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < 15; ++i)
            QTest::addRow("TB(%d)", i) << i;
    }
    void codeIds()
    {
        QFETCH(int, row);
        const QString box = QStringLiteral("Check2(%1)").arg(47 + row), tb = QStringLiteral("TB(%1)").arg(row);
        const int byte = kCodeIdBytes[row];
        if (byte < 0) { // Code 4: emptied on every load, never stored
            SymbologyControls c;
            c.setChecked(box, true);
            c.setText(tb, s("41"));
            SymbologyMap::load(16, filled(0x41), c);
            QVERIFY(!c.isChecked(box) && c.text(tb).isEmpty());
            c.setChecked(box, true);
            c.setText(tb, s("5A"));
            QCOMPARE(stored(16, c, filled(0x41)), filled(0x41));
            return;
        }
        for (auto [value, text] : {std::pair{0x41, "41"}, std::pair{0x0A, "A"}, std::pair{0xFF, "FF"}, std::pair{0, ""}}) {
            Image img = filled(0x5A);
            img[byte] = quint8(value);
            const SymbologyControls c = loaded(16, img);
            QCOMPARE(c.text(tb), s(text));
            QCOMPARE(c.isChecked(box), value != 0);
            QCOMPARE(c.isAvailable(tb), value != 0);
        }
        struct Case { bool checked; const char *text; int value; };
        for (const Image &base : {filled(0x00), filled(0xFF)})
            for (const Case k : {Case{true, "5A", 0x5A}, Case{true, "A", 0x0A}, Case{true, "", 0}, Case{false, "5A", 0}}) {
                SymbologyControls c = loaded(16, base);
                c.setChecked(box, k.checked);
                c.setText(tb, s(k.text));
                Image want = base;
                want[byte] = quint8(k.value);
                QCOMPARE(stored(16, c, base), want);
            }
    }

    // EAN-13 and UPC-A share one enable bit, the four EAN/UPC tabs one add-on bit.
    void sharedBitsShowOnEveryTab()
    {
        using Boxes = std::vector<std::pair<const char *, int>>;
        for (const Boxes &shared : {Boxes{{"Check2(26)", 11}, {"Check2(32)", 12}},
                                    Boxes{{"Check2(27)", 11}, {"Check2(33)", 12}, {"Check2(38)", 13}, {"Check2(43)", 14}}})
            for (const auto &[from, fromTab] : shared)
                for (bool on : {true, false}) {
                    SymbologyControls c = loaded(fromTab, filled(on ? 0x00 : 0xFF));
                    c.setChecked(s(from), on);
                    const Image img = stored(fromTab, c, filled(on ? 0x00 : 0xFF));
                    for (const auto &[to, toTab] : shared)
                        QVERIFY2(loaded(toTab, img).isChecked(s(to)) == on, to);
                }
    }

    void unshownValuesAreStoredAsShown()
    {
        for (int v : {0x40, 0x80, 0x6D, 0xB2}) { // one start/end bit: unchecked, and Accept clears both
            Image img = filled(0);
            img[10] = quint8(v);
            QVERIFY(!loaded(9, img).isChecked(s("Check2(24)")));
            QCOMPARE(stored(9, loaded(9, img), img)[10], v & 0x3F);
        }
        for (int v : {0x66, 0x00, 0x65, 0x67, 0xE6, 0xFF}) { // ISBN/ISSN is on for 0x66 only
            QCOMPARE(loaded(15, filled(v)).isChecked(s("Check2(46)")), v == 0x66);
            QCOMPARE(stored(15, loaded(15, filled(v)), filled(0x5A))[14], v == 0x66 ? 0x66 : 0x00);
        }
    }

    void failedLengthCheckWritesNothing_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("fixed");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("userSelected");
        QTest::addColumn<QString>("refused");
        QTest::newRow("fixed box of three") << 0 << "043" << "043000" << false << "Text1(0)";
        QTest::newRow("empty fixed box, user-defined selected") << 1 << "" << "021800" << true << "Text1(2)";
        QTest::newRow("user box of five, fixed selected") << 2 << "0228" << "02280" << false << "Text1(5)";
        QTest::newRow("both short: fixed first") << 3 << "02" << "02" << true << "Text1(6)";
    }
    void failedLengthCheckWritesNothing()
    {
        QFETCH(int, row);
        QFETCH(QString, fixed);
        QFETCH(QString, user);
        QFETCH(bool, userSelected);
        QFETCH(QString, refused);
        const Len &l = kLens[row];
        const Image base = filled(0x00);
        SymbologyControls c = loaded(l.tab, base);
        for (const Box &b : kBoxes) // every box of the tab would change the image
            if (b.tab == l.tab)
                c.setChecked(s(b.name), !c.isChecked(s(b.name)));
        c.setSelected(s(userSelected ? l.userOpt : l.fixedOpt), true);
        c.setText(s(l.fixedBox), fixed);
        c.setText(s(l.userBox), user);
        Image img = base;
        const auto result = SymbologyMap().store(l.tab, c, img);
        QVERIFY(!result);
        QCOMPARE(result.refusedBox, refused);
        QCOMPARE(img, base);
        c.setText(s(l.fixedBox), s("0102"));
        c.setText(s(l.userBox), s("010203"));
        QVERIFY(SymbologyMap().store(l.tab, c, img) && img != base);
    }

    void lengthCheckHook()
    {
        SymbologyMap map;
        QList<int> asked;
        map.setLengthCheck([&asked](const SymbologyControls &c, const SymbologyMap::LengthField &f) {
            asked << f.tab;
            return c.text(f.userBox) == QLatin1String("BAD") ? f.userBox : QString();
        });
        Image img = filled(0);
        for (int tab = 0; tab < SymbologyMap::TabCount; ++tab)
            QVERIFY(map.store(tab, loaded(tab, img), img));
        QCOMPARE(asked, QList<int>({1, 2, 3, 4}));
        SymbologyControls c = loaded(1, img);
        c.setText(s("Text1(0)"), s("12")); // the hook alone decides
        QVERIFY(map.store(1, c, img));
        QCOMPARE(img[16] * 256 + img[17], 0x1200);
        c.setText(s("Text1(1)"), s("BAD"));
        QCOMPARE(map.store(1, c, img).refusedBox, s("Text1(1)"));
        map.setLengthCheck({});
        c.setText(s("Text1(1)"), s("043000"));
        QCOMPARE(map.store(1, c, img).refusedBox, s("Text1(0)"));
    }

    // Load then Store of each tab keeps what the controls can show, changes only the tab's
    // bits, and brings back the few values they cannot show as the store rules write them.
    void loadThenStoreKeepsTheImage()
    {
        QRandomGenerator rng(5172);
        for (int n = 0; n < 200; ++n) {
            Image img;
            for (quint8 &v : img)
                v = quint8(rng.bounded(256));
            Image want = img;
            want[10] &= (want[10] & 0xC0) == 0xC0 ? 0xFF : 0x3F;
            want[14] = want[14] == 0x66 ? 0x66 : 0;
            want[13] |= want[11] & 0x02 ? 0x08 : 0;
            for (const Len &l : kLens)
                want[l.first + 2] = want[l.modeByte] & l.modeMask ? want[l.first + 2] : 0;
            for (int pass = 0; pass < 2; ++pass) {
                for (int tab = 0; tab < SymbologyMap::TabCount; ++tab) {
                    const Image before = img;
                    img = stored(tab, loaded(tab, img), img);
                    NO_STRAYS(before, img, tabBits(tab));
                }
                NO_STRAYS(want, img, Image{});
            }
        }
        // The tabs' bits above add up to exactly the bits the window owns.
        Image all{}, owned{};
        for (int tab = 0; tab < SymbologyMap::TabCount; ++tab)
            for (int i = 0; i < 128; ++i)
                all[i] |= tabBits(tab)[i];
        const std::pair<int, int> ownedBits[] = {{2, 0xFF}, {3, 0x3F}, {4, 0x04}, {5, 0xCF}, {6, 0x03}, {7, 0xFF},
                                                 {8, 0x0F}, {10, 0xC3}, {11, 0x03}, {12, 0xFF}, {13, 0x0F}, {14, 0xFF},
                                                 {15, 0xFF}, {29, 0xF0}, {30, 0x1F}, {35, 0xC8}, {37, 0x03}};
        for (auto [byte, mask] : ownedBits)
            owned[byte] = quint8(mask);
        std::fill(owned.begin() + 16, owned.begin() + 28, 0xFF);
        std::fill(owned.begin() + 64, owned.begin() + 77, 0xFF);
        QCOMPARE(all, owned);
    }

    void lengthPairFollowsEnableAndMode_data() { rowsWithFills(kLens, +[](const Len &l) { return l.fixedBox; }); }
    void lengthPairFollowsEnableAndMode()
    {
        QFETCH(int, row);
        QFETCH(int, fill);
        const Len &l = kLens[row];
        SymbologyControls c; // a fresh window first, then one that showed other values
        for (int k = 0; k < 4; ++k) {
            const bool on = k & 1, user = k & 2;
            Image img = filled(fill);
            put(img, l.enableByte, l.enableMask, on ? l.enableMask : 0);
            put(img, l.modeByte, l.modeMask, user ? l.modeMask : 0);
            SymbologyMap::load(l.tab, img, c);
            const bool shown[] = {on && !user, on && !user, on && user, on && user, on};
            const char *names[] = {l.fixedBox, l.fixedButton, l.userBox, l.userButton, l.fixedOpt};
            for (int i = 0; i < 5; ++i)
                QVERIFY2(c.isAvailable(s(names[i])) == shown[i], names[i]);
        }
    }

    void defaultsAgreeWithTheFactoryFile()
    {
        Session session;
        QVERIFY(LoadFactoryDefaults(session, TestFiles::sourceDir()));
        const auto factory = session.ParamImage;
        for (int shownFill : {0x00, 0xFF}) { // whatever the controls showed before
            for (int tab = 0; tab < SymbologyMap::TabCount; ++tab) {
                SymbologyControls c = loaded(tab, filled(shownFill));
                SymbologyDefaults::apply(tab, c);
                QVERIFY(SymbologyMap().store(tab, c, session));
            }
            Image before, after;
            std::copy_n(factory.begin(), 128, before.begin());
            std::copy_n(session.ParamImage.begin(), 128, after.begin());
            NO_STRAYS(before, after, Image{});
            QVERIFY(!session.SettingsChanged);
        }
    }

    void defaultsSetEnabledStates()
    {
        SymbologyControls c = loaded(0, filled(0xFF));
        SymbologyDefaults::apply(0, c);
        QVERIFY(!c.isAvailable(s("Check1(6)")));
        c.setChecked(s("Check1(5)"), true);
        c.click(s("Check1(5)"));
        QVERIFY(c.isAvailable(s("Check1(6)")));
        for (const Len &l : kLens) { // symbology off, its length frame unavailable
            c = loaded(l.tab, filled(0xFF));
            SymbologyDefaults::apply(l.tab, c);
            QVERIFY(c.isSelected(s(l.fixedOpt)));
            for (const char *name : {l.fixedOpt, l.fixedBox, l.fixedButton, l.userOpt, l.userBox, l.userButton})
                QVERIFY2(!c.isAvailable(s(name)), name);
        }
        c = loaded(16, filled(0x41));
        c.setChecked(s("Check2(47)"), false);
        c.click(s("Check2(47)")); // unchecking a Code ID row empties it
        QVERIFY(c.text(s("TB(0)")).isEmpty() && !c.isAvailable(s("TB(0)")));
        SymbologyDefaults::apply(16, c);
        for (int i = 0; i < 15; ++i)
            QVERIFY(c.text(QStringLiteral("TB(%1)").arg(i)).isEmpty() && !c.isAvailable(QStringLiteral("CB4(%1)").arg(i)));
    }
};

QTEST_GUILESS_MAIN(TestSymbologyMap)
#include "tst_symbologymap.moc"
