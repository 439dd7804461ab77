#include "link/Frames.h"

#include <QTest>

class TestFrames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checkCharacter()
    {
        QCOMPARE(int(CheckChar("abc")), 0x33);
        QCOMPARE(int(CheckChar(QByteArray("\x06", 1))), 0x33); // AckFrame's own check
        QCOMPARE(int(CheckChar(QByteArray("\x15", 1))), 0x22); // NakFrame's
        QCOMPARE(int(CheckChar(QByteArray())), 0x2D);
        QCOMPARE(int(CheckChar(QByteArray(300, '\x7f'))) & 0x20, 0x20);
        QCOMPARE(Link::AckFrame, QByteArray::fromHex("0206 0D33 03"));
        QCOMPARE(Link::NakFrame, QByteArray::fromHex("0215 0D22 03"));
    }

    void padPassword_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<int>("sum");
        QTest::newRow("empty") << QString() << QStringLiteral("        ") << 256;
        QTest::newRow("8 spaces") << QStringLiteral("        ") << QStringLiteral("        ") << 0;
        // 'a'+'b'+'c' = 294 -> 38, then five spaces of 32: 198 -> 70
        QTest::newRow("3 characters") << QStringLiteral("abc") << QStringLiteral("abc     ") << 70;
        QTest::newRow("8 characters") << QStringLiteral("ABCDEFGH") << QStringLiteral("ABCDEFGH")
                                      << (65 + 66 + 67 + 68 + 69 + 70 + 71 + 72) % 128;
        QTest::newRow("longer kept") << QStringLiteral("123456789") << QStringLiteral("123456789")
                                     << (49 + 50 + 51 + 52 + 53 + 54 + 55 + 56 + 57) % 128;
    }
    void padPassword()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(int, sum);
        int s = -1;
        PadPassword(in, s);
        QCOMPARE(in, out);
        QCOMPARE(s, sum);
    }

    void loginFrames()
    {
        // STX "P" "1234    " CR check ETX; check = ('P' + '1'+'2'+'3'+'4' + 4*32 + CR) mod 128 | 0x20
        const int check = ((0x50 + 0x31 + 0x32 + 0x33 + 0x34 + 4 * 32 + 0x0D) % 128) | 0x20;
        QCOMPARE(Link::loginFrame(QStringLiteral("1234")),
                 QByteArray("\x02P1234    \r", 11) + char(check) + '\x03');
        QCOMPARE(Link::loginFrame(QStringLiteral("1234")).size(), 13);
        // An empty box sends eight spaces with the same check as eight typed ones.
        QCOMPARE(Link::loginFrame(QString()), Link::loginFrame(QStringLiteral("        ")));
        QCOMPARE(Link::loginFrame(QString()), QByteArray("\x02P        \r", 11) + char(((0x50 + 0x0D) % 128) | 0x20) + '\x03');
    }

    void passwordFirstFrames_data()
    {
        QTest::addColumn<char>("letter");
        QTest::newRow("password check") << 'P';
        QTest::newRow("download") << 'D';
        QTest::newRow("erase") << 'E';
    }
    void passwordFirstFrames()
    {
        QFETCH(char, letter);
        const QByteArray frame = Link::commandFrame(QStringLiteral("ab"), letter);
        const int check = (('a' + 'b' + 6 * 32 + letter + 0x0D) % 128) | 0x20;
        QCOMPARE(frame, QByteArray("\x02" "ab      ") + letter + '\r' + char(check) + '\x03');
    }

    void clockFrames()
    {
        const QDateTime t(QDate(2008, 2, 5), QTime(23, 59, 7));
        const QByteArray bytes = QByteArray::fromHex("181215274B17"); // 8,2,5,23,59,7 each + 16
        QCOMPARE(Link::clockBytes(t), bytes);
        const QByteArray body = QByteArray("1234    T") + bytes;
        QCOMPARE(Link::setClockFrame(QStringLiteral("1234    "), t), '\x02' + body + '\r' + char(CheckChar(body)) + '\x03');
        QByteArray read = Link::readClockFrame(QStringLiteral("1234    "), t);
        QCOMPARE(read.size(), 19);
        QCOMPARE(read.at(9), 'R');
        QCOMPARE(read.mid(10, 6), bytes);
    }

    void changePasswordFrame()
    {
        // 3-character current, 6-character new: 21 bytes.
        const QByteArray frame = Link::changePasswordFrame(QStringLiteral("abc"), QStringLiteral("NEW123"));
        const QByteArray body("abc     CNEW123  ");
        const int check = ((3 * 0 + 'a' + 'b' + 'c' + 5 * 32 + 'C' + 'N' + 'E' + 'W' + '1' + '2' + '3' + 2 * 32 + 0x0D) % 128) | 0x20;
        QCOMPARE(frame, '\x02' + body + '\r' + char(check) + '\x03');
        QCOMPARE(frame.size(), 21);
        QCOMPARE(Link::changePasswordFrame(QStringLiteral("abc"), QString()).mid(10, 8), QByteArray(8, ' '));
    }

    void transmitFrame()
    {
        quint8 zeros[128] = {};
        // Eight spaces, "Z", no image: ((8*32 + 0x5A) mod 128) | 0x20 = 0x7A, sent as "7" ":".
        QCOMPARE(int(Link::transmitCheckValue(QStringLiteral("        "), zeros)), 0x7A);
        QByteArray expected = "\x02        Z" + QByteArray(256, '0') + "7:\x03";
        QCOMPARE(Link::transmitFrame(QStringLiteral("        "), zeros), expected);
        QCOMPARE(expected.size(), Link::TransmitFrameSize);

        quint8 image[128] = {};
        image[0] = 0xFF;
        image[1] = 0x0A;
        image[127] = 0x3C;
        // The login password is trimmed before padding: " 12 " goes out as "12      ".
        const QByteArray frame = Link::transmitFrame(QStringLiteral(" 12     "), image);
        QCOMPARE(frame.size(), 269);
        QCOMPARE(frame.mid(1, 9), QByteArray("12      Z"));
        QCOMPARE(frame.mid(10, 4), QByteArray("??0:"));
        QCOMPARE(frame.mid(264, 2), QByteArray("3<"));
        const int check = (('1' + '2' + 6 * 32 + 'Z' + 0xFF + 0x0A + 0x3C) % 128) | 0x20;
        QCOMPARE(frame.mid(266, 2), QByteArray(1, char((check >> 4) + 0x30)) + char((check & 15) + 0x30));
        QCOMPARE(frame.back(), '\x03');
        for (int i = 1; i < 268; ++i)
            QVERIFY(frame[i] != '\x03' && frame[i] != '\x02');
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
