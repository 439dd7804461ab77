#include "image/ImageText.h"
#include "support/TestFiles.h"

#include <QTest>

using namespace ImageText;

class TestImageText : public QObject
{
    Q_OBJECT

    static QByteArray rowsOf(const char *r0)
    {
        QByteArray text = TestFiles::row(r0);
        for (int r = 1; r < 8; ++r)
            text += TestFiles::row("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        return text;
    }

private Q_SLOTS:
    void hexPairs_data()
    {
        QTest::addColumn<QByteArray>("pair");
        QTest::addColumn<int>("value");
        QTest::newRow("upper") << QByteArray("FF") << 255;
        QTest::newRow("lower") << QByteArray("a5") << 0xA5;
        QTest::newRow("mixed") << QByteArray("bC") << 0xBC;
        QTest::newRow("leading zero") << QByteArray("0F") << 15;
        QTest::newRow("second not hex gives first digit") << QByteArray("1G") << 1;
        QTest::newRow("second blank") << QByteArray("A ") << 10;
        QTest::newRow("first not hex gives 0") << QByteArray("G1") << 0;
        QTest::newRow("first blank gives 0") << QByteArray(" 1") << 0;
        QTest::newRow("sign is not a digit") << QByteArray("-1") << 0;
        QTest::newRow("high bytes") << QByteArray("\xff\x80") << 0;
    }
    void hexPairs()
    {
        QFETCH(QByteArray, pair);
        QFETCH(int, value);
        QCOMPARE(int(hexPairValue(pair[0], pair[1])), value);
    }

    void encodeIsTheFileLayout()
    {
        quint8 image[128];
        for (int i = 0; i < 128; ++i)
            image[i] = quint8(i * 2 + 1);
        const QByteArray text = encode(image);
        QCOMPARE(text.size(), 408);
        QCOMPARE(text.left(51), TestFiles::row("01 03 05 07 09 0B 0D 0F 11 13 15 17 19 1B 1D 1F"));
        QCOMPARE(text.mid(7 * 51), TestFiles::row("E1 E3 E5 E7 E9 EB ED EF F1 F3 F5 F7 F9 FB FD FF"));
        const Image back = decode(text);
        QVERIFY(std::equal(back.begin(), back.end(), image));
    }

    void decodeIgnoresSeparatorsAndCase()
    {
        const QByteArray upper = rowsOf("AB CD EF 01 23 45 67 89 FA 0B 0C 0D 0E 0F 10 7F");
        QByteArray other = upper.toLower();
        for (int i = 0; i < other.size(); i += 3)
            other[i] = ' '; // every cell's first character
        other.replace("\r\n", "xy");
        QCOMPARE(decode(other), decode(upper));
        QCOMPARE(int(decode(upper)[0]), 0xAB);
        QCOMPARE(int(decode(upper)[15]), 0x7F);
    }

    void flagCharacters()
    {
        QCOMPARE(int(flagChar(false, false)), 30);
        QCOMPARE(int(flagChar(true, false)), 31);
        QCOMPARE(int(flagChar(false, true)), 32);
        QCOMPARE(int(flagChar(true, true)), 33);
        for (int code : {0, 29, 34, 0x7F, 0xFF}) {
            QVERIFY2(!decodeFlagChar(char(code)), qPrintable(QString::number(code)));
        }
        QCOMPARE(decodeFlagChar(' ')->mid, true);
        QCOMPARE(decodeFlagChar(' ')->rtc, false);
    }

    void settingsTextLengths()
    {
        const QByteArray image = rowsOf("12 00 00 00 00 00 00 00 00 00 00 00 00 00 00 34");
        QString reason;
        auto only = parseSettingsText(image);
        QVERIFY(only);
        QVERIFY(!only->flags);
        QCOMPARE(int(only->image[15]), 0x34);

        auto withFlags = parseSettingsText(image + '!');
        QVERIFY(withFlags && withFlags->flags);
        QVERIFY(withFlags->flags->rtc && withFlags->flags->mid);

        QVERIFY(!parseSettingsText(image + "!\n", &reason));
        QVERIFY(reason.contains(QLatin1String("410")));
        QVERIFY(!parseSettingsText(image.left(407)));
        QVERIFY(!parseSettingsText(QByteArray()));
        QVERIFY(!parseSettingsText(image + 'A', &reason));
        QVERIFY(reason.contains(QLatin1String("65")));
    }
};

QTEST_APPLESS_MAIN(TestImageText)
#include "tst_imagetext.moc"
