#include "format/AmbleStrings.h"
#include "format/ByteText.h"
#include "format/GeneralParameters.h"
#include "format/Terminators.h"

#include <QTest>
#include <array>

namespace GP = GeneralParameters;

using Image = std::array<quint8, 128>;
Q_DECLARE_METATYPE(Image)

namespace {
Image filled(quint8 value)
{
    Image image;
    image.fill(value);
    return image;
}

// A different value in every byte, so a write to the wrong byte shows.
Image patterned(quint8 seed)
{
    Image image;
    for (int i = 0; i < 128; ++i)
        image[size_t(i)] = quint8(seed ^ (i * 7));
    return image;
}

// Byte indices where two images differ.
QList<int> differences(const Image &a, const Image &b)
{
    QList<int> diff;
    for (int i = 0; i < 128; ++i)
        if (a[size_t(i)] != b[size_t(i)])
            diff << i;
    return diff;
}
} // namespace

class TestFormatRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- byte texts

    void decimalText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -1: no byte
        QTest::newRow("zero") << QStringLiteral("0") << 0;
        QTest::newRow("top") << QStringLiteral("255") << 255;
        QTest::newRow("blanks around") << QStringLiteral(" 17 ") << 17;
        QTest::newRow("leading zeros") << QStringLiteral("0000007") << 7;
        QTest::newRow("one above") << QStringLiteral("256") << -1;
        QTest::newRow("far above") << QStringLiteral("99999999999999999999") << -1;
        QTest::newRow("negative") << QStringLiteral("-1") << -1;
        QTest::newRow("negative zero") << QStringLiteral("-0") << -1;
        QTest::newRow("plus sign") << QStringLiteral("+5") << -1;
        QTest::newRow("fraction") << QStringLiteral("1.5") << -1;
        QTest::newRow("whole fraction") << QStringLiteral("12.0") << -1;
        QTest::newRow("exponent") << QStringLiteral("1e2") << -1;
        QTest::newRow("hexadecimal") << QStringLiteral("&H10") << -1;
        QTest::newRow("letters") << QStringLiteral("abc") << -1;
        QTest::newRow("two numbers") << QStringLiteral("1 2") << -1;
        QTest::newRow("other digits") << QStringLiteral("\u0661\u0662") << -1;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("blank") << QStringLiteral("  ") << -1;
    }
    void decimalText()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        const std::optional<quint8> v = ByteText::decimal(text);
        QCOMPARE(v.has_value(), value >= 0);
        if (v)
            QCOMPARE(int(*v), value);
    }

    void cellCodeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -1: no byte
        QTest::newRow("empty is 0") << QString() << 0;
        QTest::newRow("cleared cell") << QStringLiteral("0") << 0;
        QTest::newRow("&H0") << QStringLiteral("&H0") << 0;
        QTest::newRow("&H00") << QStringLiteral("&H00") << 0;
        QTest::newRow("&HD") << QStringLiteral("&HD") << 13;
        QTest::newRow("&H7F") << QStringLiteral("&H7F") << 127;
        QTest::newRow("lower case") << QStringLiteral("&h7f") << 127;
        QTest::newRow("&HFF") << QStringLiteral("&HFF") << 255;
        QTest::newRow("decimal") << QStringLiteral("38") << 38;
        QTest::newRow("&H100") << QStringLiteral("&H100") << -1;
        QTest::newRow("256") << QStringLiteral("256") << -1;
        QTest::newRow("negative") << QStringLiteral("-1") << -1;
        QTest::newRow("negative hex") << QStringLiteral("&H-1") << -1;
        QTest::newRow("fraction") << QStringLiteral("2.5") << -1;
        QTest::newRow("prefix alone") << QStringLiteral("&H") << -1;
        QTest::newRow("not hex") << QStringLiteral("&HG") << -1;
        QTest::newRow("hex digits without prefix") << QStringLiteral("1F") << -1;
    }
    void cellCodeText()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        const std::optional<quint8> v = ByteText::code(text);
        QCOMPARE(v.has_value(), value >= 0);
        if (v)
            QCOMPARE(int(*v), value);
    }

    void hexTextReadsBack()
    {
        QCOMPARE(ByteText::hexText(0), QStringLiteral("&H0"));
        QCOMPARE(ByteText::hexText(13), QStringLiteral("&HD"));
        QCOMPARE(ByteText::hexText(127), QStringLiteral("&H7F"));
        for (int c = 0; c < 256; ++c)
            QCOMPARE(ByteText::code(ByteText::hexText(c)), std::optional<quint8>(quint8(c)));
    }

    // --- general parameters

    void caseOptionFromTheLowNibble_data()
    {
        QTest::addColumn<int>("byte52");
        QTest::addColumn<int>("option"); // -1: none
        QTest::newRow("2 upper") << 0x02 << 0;
        QTest::newRow("0 lower") << 0x00 << 1;
        QTest::newRow("8 universal") << 0x08 << 2;
        QTest::newRow("high nibble ignored") << 0xF2 << 0;
        QTest::newRow("high nibble, lower") << 0x50 << 1;
        QTest::newRow("4 none") << 0x04 << -1;
        QTest::newRow("A none") << 0x0A << -1;
        QTest::newRow("F none") << 0xFF << -1;
    }
    void caseOptionFromTheLowNibble()
    {
        QFETCH(int, byte52);
        QFETCH(int, option);
        Image image = patterned(0x33);
        image[GP::CaseByte] = quint8(byte52);
        QCOMPARE(GP::load(image.data()).caseOption, option < 0 ? std::nullopt : std::optional<int>(option));
    }

    void loadShowsTheBytes()
    {
        Image image = filled(0);
        image[57] = 200;
        image[58] = 7;
        image[35] = 0x04;
        image[29] = 0x63;
        GP::Controls c = GP::load(image.data());
        QCOMPARE(c.pitch, QStringLiteral("200"));
        QCOMPARE(c.duration, QStringLiteral("7"));
        QVERIFY(c.beeper && c.prefixMachineId && c.scanDelay);
        image[35] = 0xFB;
        image[29] = 0xFC;
        c = GP::load(image.data());
        QVERIFY(!c.beeper && !c.prefixMachineId && !c.scanDelay);
        image[29] = 0x02;
        c = GP::load(image.data());
        QVERIFY(!c.prefixMachineId && c.scanDelay);
    }

    void unchangedStoreKeepsTheImage_data()
    {
        QTest::addColumn<Image>("image");
        QTest::newRow("zeros") << filled(0x00);
        QTest::newRow("ones") << filled(0xFF);
        QTest::newRow("pattern") << patterned(0x5A);
        Image shared = patterned(0x11);
        shared[29] = 0x63; // the symbology window's bits 5 and 6 with both of ours
        shared[35] = 0xC4;
        shared[52] = 0xA8;
        QTest::newRow("byte 29 = 0x63") << shared;
        shared[52] = 0x34; // low nibble 4: no case option
        QTest::newRow("case code without option") << shared;
    }
    void unchangedStoreKeepsTheImage()
    {
        QFETCH(Image, image);
        const Image before = image;
        QCOMPARE(GP::store(GP::load(image.data()), image.data()), GP::Failure::None);
        QCOMPARE(differences(image, before), QList<int>());
    }

    void storeWritesOnlyItsBits_data()
    {
        QTest::addColumn<quint8>("fill");
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("beeper");
        QTest::addColumn<bool>("prefix");
        QTest::addColumn<bool>("delay");
        QTest::addColumn<QList<int>>("expected"); // bytes 57, 58, 52, 35, 29
        QTest::newRow("all off over ones") << quint8(0xFF) << QStringLiteral("5") << QString() << 1 << false << false
                                           << false << QList<int>{5, 0, 0xF0, 0xFB, 0xFC};
        QTest::newRow("all on over zeros") << quint8(0x00) << QStringLiteral("255") << QStringLiteral("0") << 2
                                           << true << true << true << QList<int>{255, 0, 0x08, 0x04, 0x03};
        QTest::newRow("upper over ones") << quint8(0xFF) << QStringLiteral("22") << QStringLiteral("4") << 0 << true
                                         << true << false << QList<int>{22, 4, 0xF2, 0xFF, 0xFD};
        QTest::newRow("only delay over 0x5A") << quint8(0x5A) << QStringLiteral("1") << QStringLiteral("2") << 1
                                              << false << false << true << QList<int>{1, 2, 0x50, 0x5A, 0x5A};
        QTest::newRow("no option keeps byte 52") << quint8(0x37) << QStringLiteral("9") << QStringLiteral("9") << -1
                                                 << true << true << true << QList<int>{9, 9, 0x37, 0x37, 0x37};
        QTest::newRow("ALT mode keeps byte 52") << quint8(0x37) << QStringLiteral("9") << QStringLiteral("9") << 3
                                                << false << false << false << QList<int>{9, 9, 0x37, 0x33, 0x34};
    }
    void storeWritesOnlyItsBits()
    {
        QFETCH(quint8, fill);
        QFETCH(QString, pitch);
        QFETCH(QString, duration);
        QFETCH(int, option);
        QFETCH(bool, beeper);
        QFETCH(bool, prefix);
        QFETCH(bool, delay);
        QFETCH(QList<int>, expected);
        Image image = filled(fill);
        GP::Controls c{pitch, duration, option < 0 ? std::nullopt : std::optional<int>(option), beeper, prefix, delay};
        QCOMPARE(GP::store(c, image.data()), GP::Failure::None);
        QCOMPARE((QList<int>{image[57], image[58], image[52], image[35], image[29]}), expected);
        for (int i : differences(image, filled(fill)))
            QVERIFY2(QList<int>({57, 58, 52, 35, 29}).contains(i), qPrintable(QString::number(i)));
    }

    void failedStoreWritesNothing_data()
    {
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<GP::Failure>("failure");
        QTest::newRow("256 in duration") << QStringLiteral("10") << QStringLiteral("256") << GP::Failure::Duration;
        QTest::newRow("256 in pitch") << QStringLiteral("256") << QStringLiteral("10") << GP::Failure::Pitch;
        QTest::newRow("both wrong: pitch first") << QStringLiteral("x") << QStringLiteral("y") << GP::Failure::Pitch;
        QTest::newRow("negative pitch") << QStringLiteral("-3") << QStringLiteral("1") << GP::Failure::Pitch;
        QTest::newRow("fractional duration") << QStringLiteral("1") << QStringLiteral("2.5") << GP::Failure::Duration;
        QTest::newRow("text in duration") << QString() << QStringLiteral("loud") << GP::Failure::Duration;
    }
    void failedStoreWritesNothing()
    {
        QFETCH(QString, pitch);
        QFETCH(QString, duration);
        QFETCH(GP::Failure, failure);
        Image image = patterned(0x21);
        const Image before = image;
        QCOMPARE(GP::store(GP::Controls{pitch, duration, 0, true, true, true}, image.data()), failure);
        QCOMPARE(differences(image, before), QList<int>());
    }

    void defaults_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("29 0xE0") << 29 << 0xE0 << 0x01;
        QTest::newRow("29 0x62") << 29 << 0x62 << 0x01;
        QTest::newRow("52 0xFF") << 52 << 0xFF << 0x50;
        QTest::newRow("52 0xA8") << 52 << 0xA8 << 0x00;
        QTest::newRow("35 0x00") << 35 << 0x00 << 0x04;
        QTest::newRow("35 0xC1") << 35 << 0xC1 << 0xC5;
        QTest::newRow("57") << 57 << 0xFF << 22;
        QTest::newRow("58") << 58 << 0x00 << 4;
    }
    void defaults()
    {
        QFETCH(int, byte);
        QFETCH(int, before);
        QFETCH(int, after);
        Image image = patterned(0x6C);
        image[size_t(byte)] = quint8(before);
        const Image start = image;
        GP::setDefaults(image.data());
        QCOMPARE(int(image[size_t(byte)]), after);
        for (int i : differences(image, start))
            QVERIFY(QList<int>({57, 58, 52, 35, 29}).contains(i));
    }

    // --- terminators

    void terminatorOptionsForCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("keyboard"); // -1: no option
        QTest::addColumn<int>("rs232");
        QTest::newRow("0") << 0 << 0 << 0;
        QTest::newRow("1") << 1 << 1 << 1;
        QTest::newRow("2") << 2 << -1 << 2;
        QTest::newRow("3") << 3 << -1 << 3;
        QTest::newRow("4") << 4 << 2 << 4;
        QTest::newRow("5") << 5 << 3 << 5;
        QTest::newRow("6") << 6 << 4 << 6;
        QTest::newRow("7") << 7 << 5 << 7;
        QTest::newRow("8") << 8 << 6 << 8;
        QTest::newRow("9") << 9 << -1 << 9;
        QTest::newRow("10") << 10 << -1 << 10;
        QTest::newRow("11") << 11 << -1 << -1;
        QTest::newRow("12") << 12 << -1 << -1;
        QTest::newRow("255") << 255 << -1 << -1;
    }
    void terminatorOptionsForCodes()
    {
        QFETCH(int, code);
        QFETCH(int, keyboard);
        QFETCH(int, rs232);
        const auto option = [](int i) { return i < 0 ? std::nullopt : std::optional<int>(i); };
        QCOMPARE(Terminators::keyboardOptionFor(quint8(code)), option(keyboard));
        QCOMPARE(Terminators::rs232OptionFor(quint8(code)), option(rs232));
        if (keyboard >= 0)
            QCOMPARE(int(Terminators::keyboardCode(keyboard)), code);
    }

    void terminatorStore_data()
    {
        QTest::addColumn<int>("keyboard"); // -1: none selected
        QTest::addColumn<int>("rs232");
        QTest::addColumn<int>("byte50");
        QTest::addColumn<int>("byte39");
        QTest::addColumn<int>("stored50");
        QTest::addColumn<int>("stored39");
        QTest::newRow("nothing selected") << -1 << -1 << 2 << 12 << 2 << 11;
        QTest::newRow("EXEC and EOT") << 6 << 10 << 0 << 0 << 8 << 10;
        QTest::newRow("NONE and NONE") << 0 << 0 << 9 << 9 << 0 << 0;
        QTest::newRow("only RS-232") << -1 << 3 << 0x55 << 0 << 0x55 << 3;
        QTest::newRow("only keyboard") << 2 << -1 << 1 << 1 << 4 << 11;
    }
    void terminatorStore()
    {
        QFETCH(int, keyboard);
        QFETCH(int, rs232);
        QFETCH(int, byte50);
        QFETCH(int, byte39);
        QFETCH(int, stored50);
        QFETCH(int, stored39);
        Image image = patterned(0x42);
        image[50] = quint8(byte50);
        image[39] = quint8(byte39);
        const Image before = image;
        Terminators::store(keyboard < 0 ? std::nullopt : std::optional<int>(keyboard),
                           rs232 < 0 ? std::nullopt : std::optional<int>(rs232), image.data());
        QCOMPARE(int(image[50]), stored50);
        QCOMPARE(int(image[39]), stored39);
        for (int i : differences(image, before))
            QVERIFY(i == 50 || i == 39);
    }

    // --- preamble and postamble

    void cellCaptions_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("rs232");
        QTest::addColumn<QString>("caption");
        QTest::newRow("13 as a key") << 13 << false << QStringLiteral("Enter");
        QTest::newRow("0 as a key") << 0 << false << QStringLiteral(" ");
        QTest::newRow("13 as RS-232") << 13 << true << QStringLiteral("CR");
        QTest::newRow("0 as RS-232") << 0 << true << QStringLiteral("NUL");
        QTest::newRow("ampersand as RS-232") << 38 << true << QStringLiteral("&&");
        QTest::newRow("ampersand as a key") << 38 << false << QStringLiteral("&&");
        QTest::newRow("letter") << 65 << false << QStringLiteral("A");
        QTest::newRow("upper half as RS-232") << 200 << true << QString();
        QTest::newRow("F 3") << 3 << false << QStringLiteral("F 3");
    }
    void cellCaptions()
    {
        QFETCH(int, code);
        QFETCH(bool, rs232);
        QFETCH(QString, caption);
        QCOMPARE(AmbleStrings::caption(code, rs232), caption);
    }

    void ambleStore_data()
    {
        QTest::addColumn<QStringList>("texts"); // 16 cells; missing ones are "&H0"
        QTest::addColumn<int>("failure");       // AmbleStrings::Failure::Kind
        QTest::addColumn<int>("cell");
        QTest::addColumn<QList<int>>("bytes");  // 80-95 after a success
        const QStringList cleared(6, QStringLiteral("0"));
        QTest::newRow("STX, A, six cleared") << (QStringList{QStringLiteral("&H2"), QStringLiteral("&H41")} + cleared)
                                             << int(AmbleStrings::Failure::None) << -1
                                             << QList<int>{2, 65, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        QStringList full;
        for (int i = 0; i < 16; ++i)
            full << ByteText::hexText(0x30 + i);
        QList<int> fullBytes;
        for (int i = 0; i < 16; ++i)
            fullBytes << 0x30 + i;
        QTest::newRow("both strings full") << full << int(AmbleStrings::Failure::None) << -1 << fullBytes;
        QTest::newRow("empty texts and decimal")
            << QStringList{QStringLiteral("38"), QString(), QString(), QString(), QString(), QString(), QString(),
                           QString(), QStringLiteral("&HFF")}
            << int(AmbleStrings::Failure::None) << -1 << QList<int>{38, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("preamble gap") << QStringList{QStringLiteral("0"), QStringLiteral("&H41")}
                                      << int(AmbleStrings::Failure::PreambleGap) << 1 << QList<int>();
        QTest::newRow("late preamble gap")
            << QStringList{QStringLiteral("&H41"), QStringLiteral("&H42"), QStringLiteral("&H43"), QStringLiteral("&H44"),
                           QStringLiteral("&H45"), QStringLiteral("&H46"), QStringLiteral("0"), QStringLiteral("&H48")}
            << int(AmbleStrings::Failure::PreambleGap) << 7 << QList<int>();
        QTest::newRow("gap only in the postamble")
            << QStringList{QStringLiteral("&H41"), QStringLiteral("&H42"), QStringLiteral("0"), QStringLiteral("0"),
                           QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                           QStringLiteral("&H0"), QStringLiteral("&H3")}
            << int(AmbleStrings::Failure::PostambleGap) << 9 << QList<int>();
        QTest::newRow("postamble may start although the preamble is empty")
            << QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                           QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                           QStringLiteral("&HD"), QStringLiteral("&HA")}
            << int(AmbleStrings::Failure::None) << -1 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 13, 10, 0, 0, 0, 0, 0, 0};
        QTest::newRow("out of range") << QStringList{QStringLiteral("&H41"), QStringLiteral("&H100")}
                                      << int(AmbleStrings::Failure::Range) << 1 << QList<int>();
        QTest::newRow("negative") << QStringList{QStringLiteral("-1")} << int(AmbleStrings::Failure::Range) << 0
                                  << QList<int>();
        QTest::newRow("fraction in the postamble")
            << QStringList{QStringLiteral("&H41"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                           QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                           QStringLiteral("2.5")}
            << int(AmbleStrings::Failure::Range) << 8 << QList<int>();
        QTest::newRow("the earlier fault is the one reported")
            << QStringList{QStringLiteral("0"), QStringLiteral("&H41"), QStringLiteral("999")}
            << int(AmbleStrings::Failure::PreambleGap) << 1 << QList<int>();
        QTest::newRow("range before gap in the same cell")
            << QStringList{QStringLiteral("0"), QStringLiteral("&H1FF")} << int(AmbleStrings::Failure::Range) << 1
            << QList<int>();
    }
    void ambleStore()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, failure);
        QFETCH(int, cell);
        QFETCH(QList<int>, bytes);
        std::array<QString, 16> cells;
        cells.fill(QStringLiteral("&H0"));
        for (int i = 0; i < texts.size(); ++i)
            cells[size_t(i)] = texts[i];
        Image image = patterned(0x77);
        const Image before = image;
        const AmbleStrings::Failure f = AmbleStrings::store(cells, image.data());
        QCOMPARE(int(f.kind), failure);
        QCOMPARE(f.cell, cell);
        if (failure != AmbleStrings::Failure::None) {
            QCOMPARE(differences(image, before), QList<int>());
            return;
        }
        QList<int> stored;
        for (int b = 80; b < 96; ++b)
            stored << image[size_t(b)];
        QCOMPARE(stored, bytes);
        for (int i : differences(image, before))
            QVERIFY(i >= 80 && i < 96);
    }

    void ambleClear()
    {
        Image image = filled(0xEE);
        AmbleStrings::clear(image.data());
        for (int i = 0; i < 128; ++i)
            QCOMPARE(int(image[size_t(i)]), i >= 80 && i < 96 ? 0 : 0xEE);
    }
};

QTEST_APPLESS_MAIN(TestFormatRules)
#include "tst_formatrules.moc"
