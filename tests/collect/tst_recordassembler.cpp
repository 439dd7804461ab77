#include "collect/RecordAssembler.h"
#include "collect/RecordExport.h"
#include "collect/RecordSpreadsheet.h"
#include "support/TestFiles.h"
#include "support/XlsxReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTest>

using RecordAssembler::Fault;

Q_DECLARE_METATYPE(RecordAssembler::Fault)

namespace {

constexpr int ThisYear = 2025;
const QByteArray Failed = "2000/01/01 00:00:00";

QByteArray stampBytes(std::initializer_list<int> bytes)
{
    QByteArray b;
    for (int v : bytes)
        b += char(quint8(v));
    return b;
}

// Six clock bytes, each value + 16.
QByteArray stamp(int y, int mo, int d, int h, int mi, int s)
{
    return stampBytes({y + 16, mo + 16, d + 16, h + 16, mi + 16, s + 16});
}

QByteArray header(const QByteArray &id = "ZEV00042", const QByteArray &digits = "00002")
{
    return QByteArray(1, '\x02') + id + digits;
}

// "#" is the character that precedes the data and is not shown.
QByteArray record(const QByteArray &clock, const QByteArray &data)
{
    return clock + '#' + data + "?\r";
}

QByteArray counted(int n)
{
    return QByteArray::number(n) + " record(s) received\r\n \r\n";
}

RecordAssembler::Result run(const QByteArray &stream, bool mid, bool rtc)
{
    return RecordAssembler::assemble(stream, mid, rtc, ThisYear);
}

} // namespace

class TestRecordAssembler : public QObject
{
    Q_OBJECT

    // Rows of: stream, flags, the whole expected text and record count.
    static void textColumns()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<bool>("mid");
        QTest::addColumn<bool>("rtc");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("records");
    }

    static void checkText()
    {
        QFETCH(QByteArray, stream);
        QFETCH(bool, mid);
        QFETCH(bool, rtc);
        QFETCH(QByteArray, expected);
        QFETCH(int, records);
        const auto r = run(stream, mid, rtc);
        QVERIFY2(r.ok(), qPrintable(r.description));
        QVERIFY(r.description.isEmpty());
        QCOMPARE(r.text, expected);
        QCOMPARE(int(r.records), records);
    }

private Q_SLOTS:
    void flagLayouts_data()
    {
        textColumns();
        const QByteArray s = header("ZEV00042", "00002") + record(stamp(24, 3, 5, 14, 7, 9), "ABC123")
                             + record(stamp(25, 12, 31, 23, 59, 58), "X");
        QTest::newRow("machine ID and timestamps") << s << true << true
            << QByteArray("Machine ID: ZEV00042\r\n\r\n2 record(s) received\r\n \r\n"
                          "2024/03/05 14:07:09\r\nABC123\r\n\r\n2025/12/31 23:59:58\r\nX\r\n\r\n")
            << 2;
        QTest::newRow("machine ID only") << s << true << false
            << QByteArray("Machine ID: ZEV00042\r\n\r\n2 record(s) received\r\n \r\nABC123\r\n\r\nX\r\n\r\n") << 2;
        QTest::newRow("timestamps only") << s << false << true
            << QByteArray("2 record(s) received\r\n \r\n"
                          "2024/03/05 14:07:09\r\nABC123\r\n\r\n2025/12/31 23:59:58\r\nX\r\n\r\n")
            << 2;
        QTest::newRow("records only") << s << false << false
            << QByteArray("2 record(s) received\r\n \r\nABC123\r\n\r\nX\r\n\r\n") << 2;
        QTest::newRow("empty stream") << QByteArray() << false << true << counted(0) << 0;
        QTest::newRow("empty stream, machine ID line") << QByteArray() << true << true
            << QByteArray("Machine ID: \r\n\r\n") + counted(0) << 0;
    }
    void flagLayouts() { checkText(); }

    void headers_data()
    {
        textColumns();
        const QByteArray rest = record(stamp(25, 1, 1, 0, 0, 0), "D");
        const QByteArray tail = "2025/01/01 00:00:00\r\nD\r\n\r\n";
        QTest::newRow("count comes from the header") << header("ZEV00042", "00005") + rest << true << true
            << QByteArray("Machine ID: ZEV00042\r\n\r\n") + counted(5) + tail << 1;
        QTest::newRow("header only") << header("ZEV00042", "12345") << true << true
            << QByteArray("Machine ID: ZEV00042\r\n\r\n") + counted(12345) << 0;
        QTest::newRow("blanks inside the machine ID kept") << header("AB  C   ", "00007") << true << false
            << QByteArray("Machine ID: AB  C   \r\n\r\n") + counted(7) << 0;
        QTest::newRow("a digit that is not a digit still counts") << header("ZEV00042", "0000A") << false << false
            << counted(17) << 0;
        QTest::newRow("negative count becomes 0") << header("ZEV00042", "!0000") << false << false << counted(0)
                                                  << 0;
        QTest::newRow("no STX: count 0, empty ID, records from offset 14")
            << QByteArray("NOHEADER123456") + rest << true << true
            << QByteArray("Machine ID: \r\n\r\n") + counted(0) + tail << 1;
        QTest::newRow("blank before STX is no STX") << QByteArray(" \x02ZEV000420000") + rest << true << false
            << QByteArray("Machine ID: \r\n\r\n") + counted(0) + "D\r\n\r\n" << 1;
        QTest::newRow("no STX and 16 characters") << QByteArray("0123456789ABCDEF") << false << true << counted(0)
                                                  << 0;
        QTest::newRow("16 characters: no timestamp line")
            << header() + stamp(25, 1, 1, 0, 0, 0).left(2) << false << true << counted(2) << 0;
        QTest::newRow("stream ends after the first timestamp")
            << header() + stamp(25, 1, 2, 3, 4, 5) << false << true
            << counted(2) + "2025/01/02 03:04:05\r\n" << 0;
        QTest::newRow("cut timestamp whose year already failed")
            << header() + stamp(26, 1, 2, 3, 4, 5).left(3) << false << true << counted(2) + Failed + "\r\n" << 0;
    }
    void headers() { checkText(); }

    void faults_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<Fault>("fault");
        QTest::newRow("STX alone") << QByteArray("\x02") << Fault::HeaderCut;
        QTest::newRow("STX and part of the ID") << QByteArray("\x02ZEV") << Fault::HeaderCut;
        QTest::newRow("13 characters") << header().left(13) << Fault::HeaderCut;
        QTest::newRow("blank first digit") << header("ZEV00042", " 0005") + record(stamp(25, 1, 1, 0, 0, 0), "D")
                                           << Fault::CountUnreadable;
        QTest::newRow("blank between digits") << header("ZEV00042", "0 005") << Fault::CountUnreadable;
        QTest::newRow("blank last digit") << header("ZEV00042", "0005 ") + "xx" << Fault::CountUnreadable;
        QTest::newRow("machine ID starting with a blank") << header(" ZEV0042", "00005") << Fault::CountUnreadable;
        QTest::newRow("ends after 3 timestamp bytes") << header() + stamp(25, 1, 2, 3, 4, 5).left(3)
                                                      << Fault::TimestampCut;
        QTest::newRow("ends after 5 timestamp bytes") << header() + stamp(25, 1, 2, 3, 4, 5).left(5)
                                                      << Fault::TimestampCut;
        QTest::newRow("no STX, ends inside the timestamp")
            << QByteArray("NOHEADER123456") + stamp(25, 1, 2, 3, 4, 5).left(4) << Fault::TimestampCut;
    }
    void faults()
    {
        QFETCH(QByteArray, stream);
        QFETCH(Fault, fault);
        int calls = 0;
        for (bool mid : {false, true}) {
            const auto r = RecordAssembler::assemble(stream, mid, true, ThisYear, [&](qsizetype) { ++calls; });
            QCOMPARE(r.fault, fault);
            QVERIFY(!r.ok());
            QVERIFY(!r.description.isEmpty());
            QVERIFY(r.text.isEmpty());
            QCOMPARE(int(r.records), 0);
        }
        QCOMPARE(calls, 0);
    }

    // The first timestamp is checked field by field; a failing field drops the
    // rest of the six bytes and the blanks that follow.
    void firstTimestamp_data()
    {
        QTest::addColumn<QByteArray>("clock");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("data");
        const QByteArray blanks = "  #DATA";
        QTest::newRow("valid") << stamp(25, 1, 2, 3, 4, 5) << QByteArray("#DATA") << QByteArray("2025/01/02 03:04:05")
                               << QByteArray("DATA");
        QTest::newRow("valid keeps the blanks") << stamp(25, 1, 2, 3, 4, 5) << blanks
                                                << QByteArray("2025/01/02 03:04:05") << QByteArray(" #DATA");
        QTest::newRow("limits pass") << stamp(25, 12, 31, 24, 60, 60) << blanks
                                     << QByteArray("2025/12/31 24:60:60") << QByteArray(" #DATA");
        QTest::newRow("zeros pass") << stamp(0, 0, 0, 0, 0, 0) << QByteArray("#DATA")
                                    << QByteArray("2000/00/00 00:00:00") << QByteArray("DATA");
        QTest::newRow("year after this one") << stamp(26, 1, 2, 3, 4, 5) << blanks << Failed << QByteArray("DATA");
        QTest::newRow("year 2099") << stamp(99, 1, 2, 3, 4, 5) << blanks << Failed << QByteArray("DATA");
        QTest::newRow("three-digit year") << stamp(114, 1, 2, 3, 4, 5) << blanks << Failed << QByteArray("DATA");
        QTest::newRow("month 13") << stamp(25, 13, 2, 3, 4, 5) << blanks << Failed << QByteArray("DATA");
        QTest::newRow("day 32") << stamp(25, 1, 32, 3, 4, 5) << blanks << Failed << QByteArray("DATA");
        QTest::newRow("hour 25") << stamp(25, 1, 2, 25, 4, 5) << blanks << Failed << QByteArray("DATA");
        QTest::newRow("minute 61") << stamp(25, 1, 2, 3, 61, 5) << blanks << Failed << QByteArray("DATA");
        QTest::newRow("second 61") << stamp(25, 1, 2, 3, 4, 61) << blanks << Failed << QByteArray("DATA");
        QTest::newRow("hour 25, no blanks after") << stamp(25, 1, 2, 25, 4, 5) << QByteArray("#DATA") << Failed
                                                  << QByteArray("DATA");
        QTest::newRow("year 2099, no blanks after") << stamp(99, 1, 2, 3, 4, 5) << QByteArray("#DATA") << Failed
                                                    << QByteArray("DATA");
        QTest::newRow("year byte below 16") << stampBytes({5, 17, 18, 19, 20, 21}) << blanks << Failed
                                            << QByteArray("DATA");
        QTest::newRow("day byte below 16") << stampBytes({41, 17, 0, 19, 20, 21}) << blanks << Failed
                                           << QByteArray("DATA");
        QTest::newRow("second byte below 16") << stampBytes({41, 17, 18, 19, 20, 15}) << blanks << Failed
                                              << QByteArray("DATA");
    }
    void firstTimestamp()
    {
        QFETCH(QByteArray, clock);
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, data);
        const QByteArray stream = header() + clock + after + "?\r" + record(stamp(25, 1, 1, 0, 0, 0), "NEXT");
        const auto r = run(stream, false, true);
        QVERIFY2(r.ok(), qPrintable(r.description));
        QCOMPARE(r.text, counted(2) + line + "\r\n" + data + "\r\n\r\n2025/01/01 00:00:00\r\nNEXT\r\n\r\n");
        QCOMPARE(int(r.records), 2);
    }

    // Later timestamps are judged on month to second only and shown as they are.
    void laterTimestamp_data()
    {
        QTest::addColumn<QByteArray>("clock");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("valid") << stamp(24, 2, 3, 4, 5, 6) << QByteArray("2024/02/03 04:05:06");
        QTest::newRow("month byte 28 accepted") << stampBytes({41, 28, 17, 16, 16, 16}) << QByteArray("2025/12/01 00:00:00");
        QTest::newRow("month byte 29 refused") << stampBytes({41, 29, 17, 16, 16, 16}) << Failed;
        QTest::newRow("day 31 accepted") << stamp(25, 1, 31, 0, 0, 0) << QByteArray("2025/01/31 00:00:00");
        QTest::newRow("day 32 refused") << stamp(25, 1, 32, 0, 0, 0) << Failed;
        QTest::newRow("hour 24 minute 60 second 60 accepted") << stamp(25, 6, 7, 24, 60, 60)
                                                              << QByteArray("2025/06/07 24:60:60");
        QTest::newRow("hour 25 refused") << stamp(25, 6, 7, 25, 0, 0) << Failed;
        QTest::newRow("minute 61 refused") << stamp(25, 6, 7, 0, 61, 0) << Failed;
        QTest::newRow("second 61 refused") << stamp(25, 6, 7, 0, 0, 61) << Failed;
        QTest::newRow("year not tested") << stamp(30, 1, 1, 0, 0, 0) << QByteArray("2030/01/01 00:00:00");
        QTest::newRow("three-digit year") << stamp(114, 1, 1, 0, 0, 0) << QByteArray("20114/01/01 00:00:00");
        QTest::newRow("negative month keeps its sign") << stamp(25, -5, 1, 0, 0, 0) << QByteArray("2025/-05/01 00:00:00");
        QTest::newRow("year byte 0") << stamp(-16, 1, 1, -12, 0, 0) << QByteArray("20-16/01/01 -12:00:00");
    }
    void laterTimestamp()
    {
        QFETCH(QByteArray, clock);
        QFETCH(QByteArray, line);
        const QByteArray stream = header() + record(stamp(25, 1, 1, 0, 0, 0), "A") + clock + "#B?\r";
        const auto r = run(stream, false, true);
        QVERIFY2(r.ok(), qPrintable(r.description));
        QCOMPARE(r.text, counted(2) + "2025/01/01 00:00:00\r\nA\r\n\r\n" + line + "\r\nB\r\n\r\n");
    }

    void records_data()
    {
        textColumns();
        const QByteArray s1 = stamp(25, 1, 1, 1, 1, 1);
        const QByteArray s2 = stamp(25, 2, 2, 2, 2, 2);
        const QByteArray s3 = stamp(25, 3, 3, 3, 3, 3);
        const QByteArray l1 = "2025/01/01 01:01:01\r\n", l2 = "2025/02/02 02:02:02\r\n", l3 = "2025/03/03 03:03:03\r\n";
        QTest::newRow("one-character record: empty line pair") << header() + record(s1, "") + record(s2, "B")
                                                               << false << true
                                                               << counted(2) + l1 + "\r\n\r\n" + l2 + "B\r\n\r\n" << 2;
        QTest::newRow("empty first record adds nothing") << header() + s1 + "?\r" + record(s2, "B") << false << true
                                                         << counted(2) + l1 + l2 + "B\r\n\r\n" << 1;
        QTest::newRow("empty later record adds nothing")
            << header() + record(s1, "A") + s2 + "?\r" + record(s3, "C") << false << true
            << counted(2) + l1 + "A\r\n\r\n" + l2 + l3 + "C\r\n\r\n" << 2;
        QTest::newRow("only empty records") << header() + s1 + "?\r" + s2 + "?\r" << false << false << counted(2) << 0;
        QTest::newRow("? and CR apart stay in the data")
            << header() + record(s1, "A?B\rC") + record(s2, "?") << false << false
            << counted(2) + "A?B\rC\r\n\r\n?\r\n\r\n" << 2;
        QTest::newRow("record ends at the last ? before CR")
            << header() + record(s1, "A??") << false << false << counted(2) + "A??\r\n\r\n" << 1;
        QTest::newRow("the hidden character can be anything")
            << header() + s1 + "?X?\r" + s2 + "\x02Y?\r" << false << false
            << counted(2) + "X\r\n\r\nY\r\n\r\n" << 2;
        QTest::newRow("unterminated first record") << header() + s1 + "#NO END" << false << true << counted(2) + l1
                                                   << 0;
        QTest::newRow("timestamp bytes may look like a terminator")
            << header() + record(s1, "A") + stampBytes({'?', '\r', 17, 16, 16, 16}) + "#B?\r" << false << true
            << counted(2) + l1 + "A\r\n\r\n2047/-03/01 00:00:00\r\nB\r\n\r\n" << 2;
    }
    void records() { checkText(); }

    // What follows the last terminator yields one timestamp line once it has 8 characters.
    void trailingText_data()
    {
        textColumns();
        const QByteArray start = header() + record(stamp(25, 1, 1, 1, 1, 1), "A");
        const QByteArray first = counted(2) + "2025/01/01 01:01:01\r\nA\r\n\r\n";
        const QByteArray s2 = stamp(25, 2, 2, 2, 2, 2);
        const QByteArray l2 = "2025/02/02 02:02:02\r\n";
        QTest::newRow("7 characters ignored") << start + s2 + "#" << false << true << first << 1;
        QTest::newRow("8 characters: one timestamp line") << start + s2 + "#X" << false << true << first + l2 << 1;
        QTest::newRow("long unterminated record: one timestamp line") << start + s2 + "#UNTERMINATED DATA" << false
                                                                      << true << first + l2 << 1;
        QTest::newRow("8 characters without timestamps") << start + s2 + "#X" << false << false
                                                         << QByteArray(counted(2) + "A\r\n\r\n") << 1;
        QTest::newRow("passing first timestamp keeps trailing blanks")
            << start + s2 + "  " << false << true << first + l2 << 1;
        QTest::newRow("failed first timestamp trims trailing blanks")
            << header() + record(stamp(26, 1, 1, 1, 1, 1), "A") + s2 + "  " << false << true
            << counted(2) + Failed + "\r\nA\r\n\r\n" << 1;
    }
    void trailingText() { checkText(); }

    void progressPerRecord()
    {
        const QByteArray s = stamp(25, 1, 1, 1, 1, 1);
        const QByteArray stream = header() + record(s, "A") + s + "?\r" + record(s, "") + record(s, "D") + s + "#E";
        QList<qsizetype> calls;
        const auto r = RecordAssembler::assemble(stream, false, false, ThisYear,
                                                 [&](qsizetype n) { calls.append(n); });
        QVERIFY(r.ok());
        QCOMPARE(calls, (QList<qsizetype>{0, 1, 2, 3, 4})); // 0: the first timestamp
        QCOMPARE(int(r.records), 3);
        QVERIFY(!r.headerOnly);
        calls.clear();
        const auto headerOnly = RecordAssembler::assemble(header(), false, false, ThisYear,
                                                          [&](qsizetype n) { calls.append(n); });
        QVERIFY(headerOnly.ok() && headerOnly.headerOnly);
        QVERIFY(calls.isEmpty());
    }

    // Long downloads: every record comes out once, in stream order, wherever it
    // lies against the 15000-character blocks the scanner's data used to be cut in.
    void longStreams_data()
    {
        QTest::addColumn<QList<int>>("lengths");
        // The first record's data starts at offset 21; blocks were counted from offset 20.
        constexpr int Block = 20 + 15000;
        QTest::newRow("5000 characters across the block end")
            << (planTo(Block - 2000) << 5000) + QList<int>(200, 20);
        QTest::newRow("terminator split by the block end") // "?" at Block - 1
            << (planTo(Block - 1 - 7 - 25) << 25) + QList<int>(100, 12);
        QTest::newRow("record ends 3 characters before the block end")
            << (planTo(Block - 3 - 9 - 25) << 25) + QList<int>(100, 12);
        QTest::newRow("record of 401 characters across the block end")
            << (planTo(Block - 200) << 401) + QList<int>(50, 30);
        QTest::newRow("first record longer than a block") << (QList<int>{20000} + QList<int>(50, 8));
        QList<int> mixed;
        for (int i = 0; i < 40; ++i)
            mixed << QList<int>{400, 4999, 1200, 7000, 15001, 0, 1}[i % 7];
        QTest::newRow("long records across many block ends") << mixed;
    }
    void longStreams()
    {
        QFETCH(QList<int>, lengths);
        QByteArray stream = header("LONG0001", "00123");
        QByteArray expected = "Machine ID: LONG0001\r\n\r\n" + counted(123);
        int added = 0;
        for (int i = 0; i < lengths.size(); ++i) {
            const int y = 20 + i % 6, mo = 1 + i % 12, d = 1 + i % 28, h = i % 24, mi = i % 60, s = (7 * i) % 60;
            QByteArray data;
            for (int k = 0; k < lengths[i]; ++k)
                data += char('A' + (i + k) % 26);
            stream += record(stamp(y, mo, d, h, mi, s), data);
            expected += QString::asprintf("20%02d/%02d/%02d %02d:%02d:%02d\r\n", y, mo, d, h, mi, s).toLatin1();
            expected += data + "\r\n\r\n";
            ++added;
        }
        const auto r = run(stream, true, true);
        QVERIFY2(r.ok(), qPrintable(r.description));
        QCOMPARE(int(r.records), added);
        QCOMPARE(r.text.size(), expected.size());
        QVERIFY(r.text == expected);
    }

    // The records beside the text: parsed back from CSV, JSON and XLSX they are what the stream holds.
    void recordsAsData_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("announced");
        QTest::addColumn<QStringList>("stamps"); // "null" for a failed check
        QTest::addColumn<QStringList>("data");
        QTest::addColumn<QString>("sheet");
        const QByteArray s = header("MID0042 ", "00006") + record(stamp(26, 1, 1, 1, 1, 1), "say \"hi\", ok")
                             + record(stamp(25, 13, 1, 1, 1, 1), "\xe9\xff\x80\x7f\x01")
                             + stamp(25, 2, 3, 4, 5, 6) + "?\r" + record(stamp(25, 12, 31, 23, 59, 58), "a\nb\\c")
                             + record(stamp(25, 6, 7, 8, 9, 10), "#");
        QTest::newRow("both checks failing, quotes, commas, high bytes, an empty record")
            << s << QStringLiteral("MID0042") << 6
            << QStringList{"null", "null", "2025-02-03 04:05:06", "2025-12-31 23:59:58", "2025-06-07 08:09:10"}
            << QStringList{"say \"hi\", ok", QString::fromLatin1("\xe9\xff\x80\x7f\x01"), "", "a\nb\\c", "#"}
            << QStringLiteral("MID0042");
        // What must be quoted or escaped, further in than the first eight bytes.
        const QByteArray late = header("LATE    ", "00005") + record(stamp(25, 1, 1, 1, 1, 1), "ABCDEFGH\xe9IJKLMNOP")
                                + record(stamp(25, 1, 1, 1, 1, 2), "ABCDEFGHIJK\x7fMNOPQRS")
                                + record(stamp(25, 1, 1, 1, 1, 3), "ABCDEFGHIJKLMN\\PQRSTUV,W")
                                + record(stamp(25, 1, 1, 1, 1, 4), "ABCDEFGHI\x1fKLMNOPQ\"")
                                + record(stamp(25, 1, 1, 1, 1, 5), "ABCDEFGHIJKLMNOPQRSTUVW\n");
        QTest::newRow("quotes, escapes and high bytes past the first eight bytes")
            << late << QStringLiteral("LATE") << 5
            << QStringList{"2025-01-01 01:01:01", "2025-01-01 01:01:02", "2025-01-01 01:01:03", "2025-01-01 01:01:04",
                           "2025-01-01 01:01:05"}
            << QStringList{QString::fromLatin1("ABCDEFGH\xe9IJKLMNOP"), QString::fromLatin1("ABCDEFGHIJK\x7fMNOPQRS"),
                           "ABCDEFGHIJKLMN\\PQRSTUV,W", QString::fromLatin1("ABCDEFGHI\x1fKLMNOPQ\""),
                           "ABCDEFGHIJKLMNOPQRSTUVW\n"}
            << QStringLiteral("LATE");
        // The viewer shows these as they are; as data they are no date.
        const QByteArray odd = header("ODD     ", "00007") + record(stamp(25, 0, 5, 1, 1, 1), "month 0")
                               + record(stamp(25, 1, 0, 1, 1, 1), "day 0") + record(stamp(-3, 1, 1, 1, 1, 1), "year")
                               + record(stamp(25, -4, 1, 1, 1, 1), "month") + record(stamp(25, 1, 1, -1, -9, -16), "time")
                               + record(stamp(25, 12, 31, 24, 60, 60), "highest") + record(stamp(0, 1, 1, 0, 0, 0), "lowest");
        QTest::newRow("fields outside the calendar")
            << odd << QStringLiteral("ODD") << 7
            << QStringList{"null", "null", "null", "null", "null", "2025-12-31 24:60:60", "2000-01-01 00:00:00"}
            << QStringList{"month 0", "day 0", "year", "month", "time", "highest", "lowest"} << QStringLiteral("ODD");
        QByteArray many = header("MANY    ", "03000");
        QStringList manyStamps, manyData;
        for (int i = 0; i < 3000; ++i) {
            manyData << QStringLiteral("record %1, \"%2\"").arg(i).arg(QString(i % 40, QLatin1Char('x')));
            manyStamps << QStringLiteral("2025-03-04 05:06:%1").arg(i % 60, 2, 10, QLatin1Char('0'));
            many += record(stamp(25, 3, 4, 5, 6, i % 60), manyData.last().toLatin1());
        }
        QTest::newRow("more than one piece of output")
            << many << QStringLiteral("MANY") << 3000 << manyStamps << manyData << QStringLiteral("MANY");
        QTest::newRow("no STX") << QByteArray("NOHEADER123456") + record(stamp(25, 1, 1, 0, 0, 0), ",")
                                << QString() << 0 << QStringList{"2025-01-01 00:00:00"} << QStringList{","}
                                << QStringLiteral("Records");
        // What a spreadsheet would turn into numbers or formulas, a name a sheet cannot
        // take, the writer's own escape spelled in the data, a date that is no date.
        const QByteArray hazards = header("ZEV:01/ ", "00010") + record(stamp(25, 1, 2, 3, 4, 5), "00123")
                                   + record(stamp(25, 2, 3, 4, 5, 6), "=1+1") + record(stamp(25, 2, 3, 4, 5, 7), "@SUM(A1)")
                                   + record(stamp(25, 13, 3, 4, 5, 6), "+49 30") + record(stamp(24, 2, 29, 0, 0, 0), "-5")
                                   + record(stamp(25, 12, 31, 23, 59, 59), "caf\xe9") + record(stamp(25, 2, 30, 1, 1, 1), "0042")
                                   + record(stamp(25, 7, 1, 12, 0, 0), "_x0041_\r\x01=cmd|' /C calc'!A0");
        QTest::newRow("leading zeros, formulas, a failed and an impossible date")
            << hazards << QStringLiteral("ZEV:01/") << 10
            << QStringList{"2025-01-02 03:04:05", "2025-02-03 04:05:06", "2025-02-03 04:05:07", "null",
                           "2024-02-29 00:00:00", "2025-12-31 23:59:59", "2025-02-30 01:01:01", "2025-07-01 12:00:00"}
            << QStringList{"00123", "=1+1", "@SUM(A1)", "+49 30", "-5", QString::fromLatin1("caf\xe9"), "0042",
                           "_x0041_\r\x01=cmd|' /C calc'!A0"}
            << QStringLiteral("ZEV_01_");
    }
    void recordsAsData()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QString, id);
        QFETCH(int, announced);
        QFETCH(QStringList, stamps);
        QFETCH(QStringList, data);
        QFETCH(QString, sheet);
        const auto r = run(stream, false, false);
        QVERIFY2(r.ok(), qPrintable(r.description));

        // Text cells for the ID and the data, date cells for real dates, the
        // text of an impossible one, nothing for a failed check, no formula anywhere.
        const RecordSpreadsheet::Result xlsx = RecordSpreadsheet::xlsx(r.download);
        QVERIFY2(xlsx.ok(), qPrintable(xlsx.error));
        const XlsxReader::Workbook book = XlsxReader::read(xlsx.bytes);
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        QVERIFY(!book.hasFormula);
        QCOMPARE(book.sheets.size(), 1);
        const XlsxReader::Sheet &s = book.sheets[0];
        QCOMPARE(s.name, sheet);
        QCOMPARE(s.frozen, QStringLiteral("frozen A2"));
        QCOMPARE(s.rows.size(), data.size() + 1);
        for (const XlsxReader::Cell &c : s.rows[0])
            QVERIFY(c.kind == XlsxReader::Cell::Text && c.bold);
        QCOMPARE(s.rows[0].size(), 3);
        for (qsizetype i = 0; i < data.size(); ++i) {
            const QList<XlsxReader::Cell> cells = s.rows[i + 1] + QList<XlsxReader::Cell>(3);
            const auto textOrEmpty = [](const XlsxReader::Cell &c, const QString &want) {
                return want.isEmpty() ? c.kind == XlsxReader::Cell::Empty : c.kind == XlsxReader::Cell::Text && c.value == want;
            };
            QVERIFY2(textOrEmpty(cells[0], id), qPrintable(cells[0].value));
            QVERIFY2(textOrEmpty(cells[2], data[i]), qPrintable(cells[2].value));
            if (stamps[i] == u"null")
                QCOMPARE(cells[1].kind, XlsxReader::Cell::Empty);
            else if (QDate::fromString(stamps[i].left(10), u"yyyy-MM-dd").isValid()
                     && QTime::fromString(stamps[i].mid(11), u"hh:mm:ss").isValid())
                QCOMPARE(cells[1].dateText(), stamps[i]);
            else
                QVERIFY2(textOrEmpty(cells[1], stamps[i]) && !cells[1].date, qPrintable(cells[1].value));
        }
        // Wide enough for the longest value (dates as 19 characters), up to a limit.
        QCOMPARE(s.widths.size(), 3);
        for (int col = 0; col < 3; ++col) {
            qsizetype longest = 0;
            for (const QList<XlsxReader::Cell> &row : s.rows)
                longest = qMax(longest, row.value(col).date ? 19 : row.value(col).value.size());
            QVERIFY2(s.widths[col] >= qMin<qsizetype>(longest, 60) && s.widths[col] <= 62, qPrintable(QString::number(col)));
        }

        const QByteArray csv = RecordExport::csv(r.download);
        QVERIFY(csv.startsWith("machine_id,timestamp,data\r\n"));
        QList<QStringList> rows = TestFiles::parseCsv(QString::fromUtf8(csv));
        QCOMPARE(rows.takeFirst(), (QStringList{"machine_id", "timestamp", "data"}));
        QCOMPARE(rows.size(), data.size());
        for (qsizetype i = 0; i < rows.size(); ++i)
            QCOMPARE(rows[i], (QStringList{id, stamps[i] == u"null" ? QString() : stamps[i], data[i]}));

        // Written as the records are found, without the text or the list: the same bytes.
        const RecordAssembler::Result scanned = RecordAssembler::scan(stream, ThisYear);
        QVERIFY(scanned.download.list.isEmpty() && scanned.text.isEmpty());
        auto streamed = [&scanned](RecordExport::Format format, bool complete) {
            QByteArray out;
            RecordExport::write(format, scanned, ThisYear, complete, [&out](const QByteArray &piece) {
                out += piece;
                return true;
            });
            return out;
        };
        QCOMPARE(streamed(RecordExport::Format::Csv, false), csv);
        for (bool complete : {false, true}) {
            QCOMPARE(streamed(RecordExport::Format::Json, complete), RecordExport::json(r.download, complete));
            QJsonParseError error;
            const QJsonObject o = QJsonDocument::fromJson(RecordExport::json(r.download, complete), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(o.value(u"machine_id").toString(), id);
            QCOMPARE(o.value(u"announced").toInt(), announced);
            QCOMPARE(o.value(u"received").toInt(), data.size());
            QCOMPARE(o.value(u"complete").toBool(), complete);
            const QJsonArray records = o.value(u"records").toArray();
            QCOMPARE(records.size(), data.size());
            for (qsizetype i = 0; i < records.size(); ++i) {
                const QJsonValue t = records[i].toObject().value(u"timestamp");
                QCOMPARE(t.isNull() ? QStringLiteral("null") : t.toString(), stamps[i]);
                QCOMPARE(records[i].toObject().value(u"data").toString(), data[i]);
            }
        }
    }

    // Sheet names a spreadsheet program takes; rows past a sheet's limit go on
    // to further sheets, each with its own header, none lost.
    void spreadsheetSheets_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("perSheet");
        QTest::addColumn<QStringList>("sheets");
        QTest::newRow("blank") << QStringLiteral("   ") << 1 << 10 << QStringList{"Records"};
        QTest::newRow("characters no sheet name holds") << QStringLiteral(" a[b]:c*d?e/f\\g\x01\x7f ") << 0 << 10
                                                        << QStringList{"a_b__c_d_e_f_g__"};
        QTest::newRow("apostrophes at the ends") << QStringLiteral("'it's'") << 2 << 10 << QStringList{"_it's_"};
        const QString longName(40, u'M');
        QTest::newRow("31 characters, then room for the number")
            << longName << 5 << 2 << QStringList{longName.left(31), longName.left(27) + " (2)", longName.left(27) + " (3)"};
        QTest::newRow("a full sheet needs no other") << QStringLiteral("R") << 4 << 4 << QStringList{"R"};
    }
    void spreadsheetSheets()
    {
        QFETCH(QString, wanted);
        QFETCH(int, rows);
        QFETCH(int, perSheet);
        QFETCH(QStringList, sheets);
        RecordSpreadsheet::Workbook out(wanted, {{QStringLiteral("n")}, {QStringLiteral("when"), RecordSpreadsheet::Kind::DateTime}},
                                        perSheet);
        for (int i = 0; i < rows; ++i) {
            out.text(QString::number(i));
            out.dateTime(QDate(2026, 1, 1).addDays(i), QTime(i, 0));
            out.endRow();
        }
        const RecordSpreadsheet::Result r = out.finish();
        QVERIFY2(r.ok(), qPrintable(r.error));
        const XlsxReader::Workbook book = XlsxReader::read(r.bytes);
        QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
        QStringList names;
        QStringList values;
        for (const XlsxReader::Sheet &sheet : book.sheets) {
            names << sheet.name;
            QVERIFY(sheet.rows.size() <= perSheet + 1);
            QCOMPARE(sheet.rows.value(0).value(1).value, QStringLiteral("when"));
            for (qsizetype i = 1; i < sheet.rows.size(); ++i)
                values << sheet.rows[i].value(0).value + u' ' + sheet.rows[i].value(1).dateText();
        }
        QCOMPARE(names, sheets);
        QCOMPARE(values.size(), rows);
        for (int i = 0; i < rows; ++i)
            QCOMPARE(values[i], QStringLiteral("%1 2026-01-%2 %3:00:00").arg(i).arg(i + 1, 2, 10, QLatin1Char('0')).arg(i, 2, 10, QLatin1Char('0')));
    }

    // A cell holds 32,767 characters; a longer value fails the workbook rather than being cut.
    void spreadsheetCellLimit()
    {
        for (int size : {RecordSpreadsheet::MaxCellChars, RecordSpreadsheet::MaxCellChars + 1}) {
            RecordSpreadsheet::Workbook out(QString(), {{QStringLiteral("Data")}});
            out.text(QString(size, QChar(0xe9)));
            out.endRow();
            const RecordSpreadsheet::Result r = out.finish();
            if (size > RecordSpreadsheet::MaxCellChars) {
                QVERIFY(r.bytes.isEmpty());
                QVERIFY2(r.error.contains(u"32767"), qPrintable(r.error));
                continue;
            }
            QVERIFY2(r.ok(), qPrintable(r.error));
            QCOMPARE(XlsxReader::read(r.bytes).sheets.value(0).rows.value(1).value(0).value, QString(size, QChar(0xe9)));
        }
    }

    // While a download arrives, the counter finds the records the assembler will find.
    void counterWhileArriving()
    {
        const QByteArray s = stamp(25, 1, 1, 1, 1, 1);
        const QByteArray stream = header("ZEV00042", "00009") + record(s, "A?") + s + "?\r" + record("?\r?\r?\r", "B")
                                  + record(s, QByteArray(40, 'x')) + s + "#tail";
        for (int chunk : {1, 7}) {
            RecordAssembler::RecordCounter counter;
            for (qsizetype n = 0; n < stream.size();) {
                n = qMin(stream.size(), n + chunk);
                counter.update(stream.left(n));
                const auto r = run(stream.left(n), false, false);
                if (r.ok())
                    QCOMPARE(counter.received(), r.download.list.size());
                QCOMPARE(counter.headerKnown(), n >= 14);
            }
            QCOMPARE(counter.announced(), 9);
            QCOMPARE(counter.received(), 4);
        }
        RecordAssembler::RecordCounter counter;
        QCOMPARE(counter.describe(), QString());
        counter.update(header("ZEV00042", "10000"));
        QCOMPARE(counter.describe(), QStringLiteral("0 of 10000 records"));
        counter.update(header("ZEV00042", "10000") + record(s, QByteArray(28, 'x')));
        QCOMPARE(counter.describe(), QStringLiteral("1 of 10000 records, about 2 min 42 s left"));
        RecordAssembler::RecordCounter unreadable;
        unreadable.update(header("ZEV00042", " 0004") + record(s, "A"));
        QVERIFY(!unreadable.headerKnown());
        QCOMPARE(unreadable.describe(), QString());
    }

private:
    // Data lengths of filler records from offset 14 up to exactly target.
    static QList<int> planTo(int target)
    {
        QList<int> lengths;
        int remaining = target - 14;
        Q_ASSERT(remaining == 0 || remaining >= 9);
        while (remaining > 0) {
            const int len = remaining <= 49 ? remaining - 9 : 30;
            lengths << len;
            remaining -= 9 + len;
        }
        return lengths;
    }
};

QTEST_APPLESS_MAIN(TestRecordAssembler)
#include "tst_recordassembler.moc"
