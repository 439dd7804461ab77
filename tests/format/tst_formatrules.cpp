#include "format/AmbleStrings.h"
#include "format/ByteText.h"
#include "format/GeneralParameters.h"

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

QList<int> differences(const Image &a, const Image &b)
{
    QList<int> diff;
    for (int i = 0; i < 128; ++i)
        if (a[size_t(i)] != b[size_t(i)])
            diff << i;
    return diff;
}

std::optional<int> option(int i)
{
    return i < 0 ? std::nullopt : std::optional<int>(i);
}
} // namespace

class TestFormatRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void byteTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("decimal"); // as a buzzer box reads it; -1: refused
        QTest::addColumn<int>("code");    // as a cell's code text reads it
        QTest::newRow("0") << QStringLiteral("0") << 0 << 0;
        QTest::newRow("255") << QStringLiteral("255") << 255 << 255;
        QTest::newRow("blanks, leading zeros") << QStringLiteral(" 007 ") << 7 << 7;
        QTest::newRow("256") << QStringLiteral("256") << -1 << -1;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999") << -1 << -1;
        QTest::newRow("negative") << QStringLiteral("-1") << -1 << -1;
        QTest::newRow("plus sign") << QStringLiteral("+5") << -1 << -1;
        QTest::newRow("fraction") << QStringLiteral("1.5") << -1 << -1;
        QTest::newRow("whole fraction") << QStringLiteral("12.0") << -1 << -1;
        QTest::newRow("exponent") << QStringLiteral("1e2") << -1 << -1;
        QTest::newRow("letters") << QStringLiteral("abc") << -1 << -1;
        QTest::newRow("two numbers") << QStringLiteral("1 2") << -1 << -1;
        QTest::newRow("other digits") << QStringLiteral("\u0661\u0662") << -1 << -1;
        QTest::newRow("empty") << QString() << -1 << 0;
        QTest::newRow("&H0") << QStringLiteral("&H0") << -1 << 0;
        QTest::newRow("&H7F") << QStringLiteral("&H7F") << -1 << 127;
        QTest::newRow("&hff") << QStringLiteral("&hff") << -1 << 255;
        QTest::newRow("&H100") << QStringLiteral("&H100") << -1 << -1;
        QTest::newRow("&H-1") << QStringLiteral("&H-1") << -1 << -1;
        QTest::newRow("&H alone") << QStringLiteral("&H") << -1 << -1;
        QTest::newRow("hex without prefix") << QStringLiteral("1F") << -1 << -1;
    }
    void byteTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, decimal);
        QFETCH(int, code);
        const auto asInt = [](std::optional<quint8> v) { return v ? int(*v) : -1; };
        QCOMPARE(asInt(ByteText::decimal(text)), decimal);
        QCOMPARE(asInt(ByteText::code(text)), code);
    }

    void hexTextReadsBack()
    {
        QCOMPARE(ByteText::hexText(13), QStringLiteral("&HD"));
        for (int c = 0; c < 256; ++c)
            QCOMPARE(ByteText::code(ByteText::hexText(c)), std::optional<quint8>(quint8(c)));
    }

    // --- general parameters

    void unchangedStoreKeepsTheImage_data()
    {
        QTest::addColumn<Image>("image");
        QTest::newRow("zeros") << filled(0x00);
        QTest::newRow("ones") << filled(0xFF);
        Image shared = patterned(0x11);
        shared[29] = 0x63; // the symbology window's bits 5 and 6 beside both of ours
        shared[52] = 0xA8;
        QTest::newRow("byte 29 = 0x63") << shared;
        shared[52] = 0x34;
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
        QTest::addColumn<bool>("checks"); // beeper, prefix and delay together
        QTest::addColumn<QList<int>>("expected"); // bytes 57, 58, 52, 35, 29
        QTest::newRow("all off over ones") << quint8(0xFF) << QStringLiteral("5") << QString() << 1 << false
                                           << QList<int>{5, 0, 0xF0, 0xFB, 0xFC};
        QTest::newRow("all on over zeros") << quint8(0x00) << QStringLiteral("255") << QStringLiteral("0") << 2 << true
                                           << QList<int>{255, 0, 0x08, 0x04, 0x03};
        QTest::newRow("upper over 0x5A") << quint8(0x5A) << QStringLiteral("22") << QStringLiteral("4") << 0 << true
                                         << QList<int>{22, 4, 0x52, 0x5E, 0x5B};
        QTest::newRow("no option") << quint8(0x37) << QStringLiteral("9") << QStringLiteral("9") << -1 << false
                                   << QList<int>{9, 9, 0x37, 0x33, 0x34};
        QTest::newRow("ALT mode") << quint8(0x37) << QStringLiteral("9") << QStringLiteral("9") << 3 << true
                                  << QList<int>{9, 9, 0x37, 0x37, 0x37};
    }
    void storeWritesOnlyItsBits()
    {
        QFETCH(quint8, fill);
        QFETCH(QString, pitch);
        QFETCH(QString, duration);
        QFETCH(int, option);
        QFETCH(bool, checks);
        QFETCH(QList<int>, expected);
        Image image = filled(fill);
        QCOMPARE(GP::store(GP::Controls{pitch, duration, ::option(option), checks, checks, checks}, image.data()),
                 GP::Failure::None);
        QCOMPARE((QList<int>{image[57], image[58], image[52], image[35], image[29]}), expected);
        for (int i : differences(image, filled(fill)))
            QVERIFY(QList<int>({57, 58, 52, 35, 29}).contains(i));
    }

    void failedStoreWritesNothing_data()
    {
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<GP::Failure>("failure");
        QTest::newRow("256 in duration") << QStringLiteral("10") << QStringLiteral("256") << GP::Failure::Duration;
        QTest::newRow("both wrong: pitch first") << QStringLiteral("x") << QStringLiteral("-1") << GP::Failure::Pitch;
        QTest::newRow("fractional duration") << QString() << QStringLiteral("2.5") << GP::Failure::Duration;
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

    // --- preamble and postamble

    void ambleStore_data()
    {
        QTest::addColumn<QStringList>("texts"); // cells 0-15 in image order; missing ones are "&H0"
        QTest::addColumn<int>("failure");       // AmbleStrings::Failure::Kind
        QTest::addColumn<int>("cell");
        QTest::addColumn<QList<int>>("bytes");  // 80-95 after a success
        const auto cells = [](const char *spaced) { return QString::fromLatin1(spaced).split(QLatin1Char(' ')); };
        const int ok = AmbleStrings::Failure::None;
        QTest::newRow("STX, A, six cleared") << cells("&H2 &H41 0 0 0 0 0 0") << ok << -1
                                             << QList<int>{2, 65, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("both full, decimal too")
            << cells("&H41 &H42 &H43 &H44 &H45 &H46 &H47 &H48 38 &H31 &H32 &H33 &H34 &H35 &H36 &HFF") << ok << -1
            << QList<int>{65, 66, 67, 68, 69, 70, 71, 72, 38, 49, 50, 51, 52, 53, 54, 255};
        QTest::newRow("postamble after an empty preamble") << cells("0 0 0 0 0 0 0 0 &HD &HA") << ok << -1
                                                           << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 13, 10, 0, 0, 0, 0, 0, 0};
        QTest::newRow("preamble gap") << cells("0 &H41") << int(AmbleStrings::Failure::PreambleGap) << 1 << QList<int>();
        QTest::newRow("late preamble gap") << cells("&H41 &H42 &H43 &H44 &H45 &H46 0 &H48")
                                           << int(AmbleStrings::Failure::PreambleGap) << 7 << QList<int>();
        QTest::newRow("gap only in the postamble") << cells("&H41 &H42 0 0 0 0 0 0 &H0 &H3")
                                                   << int(AmbleStrings::Failure::PostambleGap) << 9 << QList<int>();
        QTest::newRow("out of range") << cells("&H41 &H100") << int(AmbleStrings::Failure::Range) << 1 << QList<int>();
        QTest::newRow("negative") << cells("-1") << int(AmbleStrings::Failure::Range) << 0 << QList<int>();
        QTest::newRow("fraction in the postamble") << cells("&H41 0 0 0 0 0 0 0 2.5")
                                                   << int(AmbleStrings::Failure::Range) << 8 << QList<int>();
        QTest::newRow("the earlier fault is reported") << cells("0 &H41 999")
                                                       << int(AmbleStrings::Failure::PreambleGap) << 1 << QList<int>();
    }
    void ambleStore()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, failure);
        QFETCH(int, cell);
        QFETCH(QList<int>, bytes);
        std::array<QString, 16> cells;
        cells.fill(QStringLiteral("&H0"));
        std::copy(texts.begin(), texts.end(), cells.begin());
        Image image = patterned(0x77);
        const Image before = image;
        const AmbleStrings::Failure f = AmbleStrings::store(cells, image.data());
        QCOMPARE(int(f.kind), failure);
        QCOMPARE(f.cell, cell);
        QList<int> stored;
        for (int b = 80; b < 96; ++b)
            stored << image[size_t(b)];
        if (failure == AmbleStrings::Failure::None)
            QCOMPARE(stored, bytes);
        for (int i : differences(image, before))
            QVERIFY(failure == AmbleStrings::Failure::None && i >= 80 && i < 96);
    }
};

QTEST_APPLESS_MAIN(TestFormatRules)
#include "tst_formatrules.moc"
