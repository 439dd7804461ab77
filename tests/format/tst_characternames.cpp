#include "format/CharacterNames.h"

#include <QTest>

namespace {
struct Range
{
    const char *what;
    int first;
    int last;
    QStringList names; // one per code, or one for the whole range
};

QStringList characters(int first, int last)
{
    QStringList names;
    for (int c = first; c <= last; ++c)
        names << QString(QChar(c));
    return names;
}

QStringList words(const char *spaced)
{
    return QString::fromLatin1(spaced).split(QLatin1Char(' '));
}

void addRows(const QList<Range> &ranges)
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QStringList>("names");
    for (const Range &r : ranges)
        QTest::newRow(r.what) << r.first << r.last << r.names;
}

void compareRange(QString (*rule)(int))
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QStringList, names);
    for (int code = first; code <= last; ++code)
        QCOMPARE(rule(code), names.size() == 1 ? names.first() : names.at(code - first));
}
} // namespace

class TestCharacterNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void asciiName_data()
    {
        addRows({{"below 0", -1, -1, {QString()}},
                 {"NUL", 0, 0, {QStringLiteral("NUL")}},
                 {"control characters", 1, 31,
                  words("SOH STX ETX EOT ENQ ACK BEL BS HT LF VT FF CR SO SI DLE DC1 DC2 DC3 DC4 NAK SYN ETB CAN "
                        "EM SUB ESC FS GS RS US")},
                 {"space", 32, 32, {QStringLiteral("SP")}},
                 {"printable", 33, 126, characters(33, 126)},
                 {"DEL", 127, 127, {QStringLiteral("DEL")}},
                 {"upper half and beyond", 128, 256, {QString()}}});
    }
    void asciiName() { compareRange(AsciiName); }

    void keyName_data()
    {
        addRows({{"below 0", -1, -1, {QString()}},
                 {"no key", 0, 0, {QStringLiteral(" ")}},
                 {"function keys", 1, 12, words("F_1 F_2 F_3 F_4 F_5 F_6 F_7 F_8 F_9 F_10 F_11 F_12").replaceInStrings(
                                              QStringLiteral("_"), QStringLiteral(" "))},
                 {"editing keys", 13, 25, words("Enter Tab BS Up Down Left Right Home End PgUp PgDn Ins Del")},
                 {"26", 26, 26, {QString()}},
                 {"Esc", 27, 27, {QStringLiteral("Esc")}},
                 {"S-Tab", 28, 28, {QStringLiteral("S-Tab")}},
                 {"29 to 31", 29, 31, {QString()}},
                 {"Space", 32, 32, {QStringLiteral("Space")}},
                 {"printable", 33, 126, characters(33, 126)},
                 {"127 and above", 127, 256, {QString()}}});
    }
    void keyName() { compareRange(KeyName); }
};

QTEST_APPLESS_MAIN(TestCharacterNames)
#include "tst_characternames.moc"
