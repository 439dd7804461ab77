#include "format/CharacterNames.h"

#include <QTest>

namespace {
struct Range
{
    const char *what;
    int first;
    int last;
    QStringList names; // one per code; a single entry applies to the whole range
};

QStringList theCharacters(int first, int last)
{
    QStringList names;
    for (int c = first; c <= last; ++c)
        names << QString(QChar(c));
    return names;
}

const QList<Range> &asciiRanges()
{
    static const QList<Range> ranges{
        {"NUL", 0, 0, {QStringLiteral("NUL")}},
        {"control characters", 1, 31,
         QStringLiteral("SOH STX ETX EOT ENQ ACK BEL BS HT LF VT FF CR SO SI DLE DC1 DC2 DC3 DC4 NAK SYN ETB CAN "
                        "EM SUB ESC FS GS RS US")
             .split(QLatin1Char(' '))},
        {"space", 32, 32, {QStringLiteral("SP")}},
        {"printable", 33, 126, theCharacters(33, 126)},
        {"DEL", 127, 127, {QStringLiteral("DEL")}},
        {"upper half", 128, 255, {QString()}},
    };
    return ranges;
}

const QList<Range> &keyRanges()
{
    static const QList<Range> ranges{
        {"no key", 0, 0, {QStringLiteral(" ")}},
        {"function keys", 1, 12,
         {QStringLiteral("F 1"), QStringLiteral("F 2"), QStringLiteral("F 3"), QStringLiteral("F 4"),
          QStringLiteral("F 5"), QStringLiteral("F 6"), QStringLiteral("F 7"), QStringLiteral("F 8"),
          QStringLiteral("F 9"), QStringLiteral("F 10"), QStringLiteral("F 11"), QStringLiteral("F 12")}},
        {"editing keys", 13, 25,
         QStringLiteral("Enter Tab BS Up Down Left Right Home End PgUp PgDn Ins Del").split(QLatin1Char(' '))},
        {"26", 26, 26, {QString()}},
        {"Esc", 27, 27, {QStringLiteral("Esc")}},
        {"S-Tab", 28, 28, {QStringLiteral("S-Tab")}},
        {"29 to 31", 29, 31, {QString()}},
        {"Space", 32, 32, {QStringLiteral("Space")}},
        {"printable", 33, 126, theCharacters(33, 126)},
        {"127 and the upper half", 127, 255, {QString()}},
    };
    return ranges;
}

void addRows(const QList<Range> &ranges)
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QStringList>("names");
    for (const Range &r : ranges)
        QTest::newRow(r.what) << r.first << r.last << r.names;
}

QString expected(const QStringList &names, int first, int code)
{
    return names.size() == 1 ? names.first() : names.at(code - first);
}
} // namespace

class TestCharacterNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tablesCoverEveryCodeOnce()
    {
        for (const QList<Range> *ranges : {&asciiRanges(), &keyRanges()}) {
            int next = 0;
            for (const Range &r : *ranges) {
                QCOMPARE(r.first, next);
                QVERIFY(r.names.size() == 1 || r.names.size() == r.last - r.first + 1);
                next = r.last + 1;
            }
            QCOMPARE(next, 256);
        }
    }

    void asciiName_data() { addRows(asciiRanges()); }
    void asciiName()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QStringList, names);
        for (int code = first; code <= last; ++code)
            QCOMPARE(AsciiName(code), expected(names, first, code));
    }

    void keyName_data() { addRows(keyRanges()); }
    void keyName()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QStringList, names);
        for (int code = first; code <= last; ++code)
            QCOMPARE(KeyName(code), expected(names, first, code));
    }

    void codesOutsideAByteHaveNoName()
    {
        for (int code : {-1, 256, 4096}) {
            QVERIFY(AsciiName(code).isEmpty());
            QVERIFY(KeyName(code).isEmpty());
        }
    }
};

QTEST_APPLESS_MAIN(TestCharacterNames)
#include "tst_characternames.moc"
