#include "sim/ScannerMemory.h"
#include "sim/ScannerModel.h"

#include <QRandomGenerator>
#include <QTest>

using Model = ScannerModel;

namespace {

const QByteArray Ack = QByteArray::fromHex("02060d3303");
const QByteArray Nak = QByteArray::fromHex("02150d2203");
// Password "1234" padded: 31 32 33 34 20 20 20 20.
const QByteArray LoginFrame = QByteArray::fromHex("025031323334202020200d2703");
const QByteArray DownloadFrame = QByteArray::fromHex("023132333420202020440d3b03");
const QByteArray EraseFrame = QByteArray::fromHex("023132333420202020450d3c03");
const QByteArray ChangeToAbcFrame = QByteArray::fromHex("0231323334202020204361626320202020200d6003");
const QByteArray LoginAbcFrame = QByteArray::fromHex("025061626320202020200d2303");

QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}

// Everything the model answers to the input, given all the time it wants.
QByteArray replyTo(Model &m, const QByteArray &input, qint64 nowMs = 0)
{
    m.receive(input, nowMs);
    return m.takeOutput(nowMs + 1000000);
}

// The transmit frame as the PC lays it out: values and check as nibble characters.
QByteArray transmitFrame(const QByteArray &password, const QByteArray &image, int checkError = 0)
{
    QByteArray f = "\x02" + password + "Z";
    int sum = 'Z';
    for (const char c : password)
        sum += quint8(c);
    auto put = [&f](int v) { f += char(0x30 + v / 16); f += char(0x30 + v % 16); };
    for (const char v : image) {
        put(quint8(v));
        sum += quint8(v);
    }
    put(((sum + checkError) % 128) | 0x20);
    return f + "\x03";
}

// When each reply byte becomes due, stepping the time a millisecond at a time.
QList<qint64> arrivals(Model &m, qint64 untilMs, QByteArray *got)
{
    QList<qint64> at;
    for (qint64 t = 0; t < untilMs; ++t) {
        *got += m.takeOutput(t);
        while (at.size() < got->size())
            at.append(t);
    }
    return at;
}

} // namespace

class TestScannerModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replies_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");
        auto row = [](const char *name, const char *pw, const char *frame, const QByteArray &reply) {
            QTest::newRow(name) << QByteArray(pw) << QByteArray::fromHex(frame) << reply;
        };
        row("login", "1234", "025031323334202020200d2703", Ack);
        row("login, wrong password", "1234", "025031323335202020200d2803", Nak);
        row("login, wrong check character", "1234", "025031323334202020200d2803", Nak);
        row("login, empty password is 8 blanks", "", "025020202020202020200d7d03", Ack);
        row("login whose password ends in D", "1234567D", "025031323334353637440d2d03", Ack);
        row("check whose password begins with P", "P1234567", "025031323334353637500d3903", Ack);
        row("password check", "1234", "023132333420202020500d2703", Ack);
        row("download, wrong password", "9999", "023132333420202020440d3b03", Nak);
        row("erase", "1234", "023132333420202020450d3c03", Ack);
        row("set clock", "1234", "023132333420202020542a13141516170d3e03", Ack);
        row("set clock, month 13", "1234", "023132333420202020542a1d141516170d6803", Nak);
        // The default clock, 2026-01-01 08:00:00, in bytes 2 to 7.
        row("read clock", "1234", "023132333420202020521011111010100d2b03", QByteArray::fromHex("022a11111810100d3103"));
        row("change password", "1234", "0231323334202020204361626320202020200d6003", Ack);
        row("change password, wrong current", "9999", "0231323334202020204361626320202020200d6003", Nak);
        row("unknown command", "1234", "023132333420202020580d2f03", Nak);
        row("empty frame", "1234", "0203", Nak);
    }
    void replies()
    {
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        Model::Config c;
        c.password = password;
        Model m(c);
        QCOMPARE(replyTo(m, frame).toHex(), reply.toHex());
        QCOMPARE(m.framesReceived(), QList<QByteArray> {frame});
    }

    void transmit_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("image"); // empty when refused
        QByteArray values;
        for (int i = 0; i < 128; ++i)
            values += char(i * 37 + 11);
        values[0] = char(0xFF);
        values[1] = char(0x0A);
        const QByteArray zeros(128, '\0');
        // 8 blanks + "Z" + zeros: ((8 * 32 + 0x5A) mod 128) OR 0x20 = 0x7A, sent as "7" ":".
        QTest::newRow("zero image, empty password")
            << QByteArray("") << QByteArray("\x02        Z" + QByteArray(256, '0') + "7:\x03") << zeros;
        QTest::newRow("values") << QByteArray("1234") << transmitFrame("1234    ", values) << values;
        QTest::newRow("check off by one") << QByteArray("1234") << transmitFrame("1234    ", values, 1) << QByteArray();
        QTest::newRow("wrong password") << QByteArray("1234") << transmitFrame("1235    ", values) << QByteArray();
        QByteArray notNibble = transmitFrame("1234    ", values);
        notNibble[100] = '@';
        QTest::newRow("a character that is no nibble") << QByteArray("1234") << notNibble << QByteArray();
        QByteArray shortFrame = transmitFrame("1234    ", values);
        shortFrame.remove(50, 1);
        QTest::newRow("one byte short") << QByteArray("1234") << shortFrame << QByteArray();
    }
    void transmit()
    {
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, image);
        Model::Config c;
        c.password = password;
        Model m(c);
        QCOMPARE(replyTo(m, frame), image.isEmpty() ? Nak : Ack);
        QCOMPARE(m.hasImage(), !image.isEmpty());
        if (!image.isEmpty())
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(m.image().data()), 128).toHex(), image.toHex());
    }

    void chunkingDoesNotMatter()
    {
        QByteArray image(128, '\x5A');
        const QByteArray script = QByteArray::fromHex("ff0355") + LoginFrame + QByteArray::fromHex("0241") + DownloadFrame
                                  + "noise" + ChangeToAbcFrame + LoginFrame + LoginAbcFrame
                                  + transmitFrame("abc     ", image)
                                  + QByteArray::fromHex("026162632020202020450d3803"); // erase with "abc"
        Model::Config c;
        c.records = Model::generateRecords(5, utc(2026, 5, 1, 12, 0, 0), 7);
        Model whole(c);
        const QByteArray expected = replyTo(whole, script);
        QVERIFY(expected.startsWith(Ack + QByteArray::fromHex("025a455630303030313030303035")));
        QVERIFY(expected.endsWith("?\r\x03" + Ack + Nak + Ack + Ack + Ack));
        QCOMPARE(whole.framesReceived().size(), 7);

        Model bytewise(c);
        for (const char b : script)
            bytewise.receive(QByteArray(1, b), 0);
        QCOMPARE(bytewise.takeOutput(1000000), expected);
        QCOMPARE(bytewise.framesReceived(), whole.framesReceived());

        Model chunked(c);
        QRandomGenerator rng(42);
        for (qsizetype i = 0; i < script.size();) {
            const qsizetype n = rng.bounded(1, 40);
            chunked.receive(script.mid(i, n), 0);
            i += n;
        }
        QCOMPARE(chunked.takeOutput(1000000), expected);
        QCOMPARE(chunked.password(), QByteArray("abc     "));
        QVERIFY(chunked.hasImage());
        QVERIFY(chunked.records().isEmpty());
    }

    void noiseIsIgnored_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("junk before STX") << QByteArray::fromHex("ff410d03") + LoginFrame << Ack;
        QTest::newRow("unfinished frame before") << QByteArray::fromHex("024142") + LoginFrame << Ack;
        QTest::newRow("junk between frames") << LoginFrame + QByteArray::fromHex("55aa0d") + LoginFrame << Ack + Ack;
        QTest::newRow("overlong run") << "\x02" + QByteArray(600, 'A') + "\x03" + LoginFrame << Ack;
        QTest::newRow("only noise") << QByteArray(3000, '\x03') << QByteArray();
    }
    void noiseIsIgnored()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, reply);
        Model m({});
        QCOMPARE(replyTo(m, input), reply);
        QCOMPARE(m.framesReceived().size(), reply.size() / 5);
    }

    void pacing_data()
    {
        QTest::addColumn<int>("bytesPerSecond");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("line rate of 19200 baud") << 1920 << 10;
        QTest::newRow("half the rate") << 960 << 10;
        QTest::newRow("unpaced, late") << 0 << 250;
    }
    void pacing()
    {
        QFETCH(int, bytesPerSecond);
        QFETCH(int, delayMs);
        Model::Config c;
        c.bytesPerSecond = bytesPerSecond;
        c.replyDelayMs = delayMs;
        // 15 records of 119 characters: a stream of 1920 bytes.
        for (int i = 0; i < 15; ++i)
            c.records.append({utc(2026, 1, 1, 7, i, 0), QByteArray(119, 'A' + i)});
        Model m(c);
        const qint64 frameEnd = 500;
        m.receive(DownloadFrame, frameEnd);
        QCOMPARE(m.nextOutputDueMs(), frameEnd + delayMs);

        QByteArray got;
        const QList<qint64> arrival = arrivals(m, 5000, &got);
        QCOMPARE(got.size(), 1920);
        QCOMPARE(arrival.first(), frameEnd + delayMs);
        const double expectedMs = bytesPerSecond ? 1920.0 * 1000 / bytesPerSecond : 0;
        QVERIFY2(qAbs(arrival.last() - arrival.first() - expectedMs) <= 2, qPrintable(QString::number(arrival.last())));
        if (bytesPerSecond) {
            const qsizetype halfway = std::count_if(arrival.cbegin(), arrival.cend(),
                                                    [&](qint64 t) { return t < arrival.first() + expectedMs / 2; });
            QVERIFY(qAbs(halfway - 960) <= 2);
        }
        Model unpaced([&] { Model::Config u = c; u.bytesPerSecond = 0; return u; }());
        QCOMPARE(got, replyTo(unpaced, DownloadFrame));
    }

    void repliesQueueBehindEachOther()
    {
        Model m({});
        m.receive(LoginFrame + LoginFrame, 0);
        QByteArray got;
        const QList<qint64> arrival = arrivals(m, 100, &got);
        QCOMPARE(got, Ack + Ack);
        // 10 bytes at 1920 B/s take about 5 ms from the first at 10 ms.
        QCOMPARE(arrival.first(), 10);
        QVERIFY(arrival.last() >= 14 && arrival.last() <= 16);
    }

    void downloadStream_data()
    {
        QTest::addColumn<QByteArray>("machineId");
        QTest::addColumn<QList<Model::Record>>("records");
        QTest::addColumn<QByteArray>("stream");
        // 2026-11-30 23:59:58 is 2a 1b 2e 27 4b 4a; 2026-12-01 00:00:05 is 2a 1c 11 10 10 15.
        const QList<Model::Record> two = {{utc(2026, 11, 30, 23, 59, 58), "A4006381333931"},
                                          {utc(2026, 12, 1, 0, 0, 5), "C?x"}};
        QTest::newRow("two records") << QByteArray("ZEV-0042") << two
                                     << QByteArray::fromHex("02" "5a45562d30303432" "3030303032"
                                                            "2a1b2e274b4a" "4134303036333831333333393331" "3f0d"
                                                            "2a1c11101015" "433f78" "3f0d" "03");
        QTest::newRow("no records, short machine ID")
            << QByteArray("AB") << QList<Model::Record>() << QByteArray::fromHex("024142202020202020" "3030303030" "03");
    }
    void downloadStream()
    {
        QFETCH(QByteArray, machineId);
        QFETCH(QList<Model::Record>, records);
        QFETCH(QByteArray, stream);
        Model::Config c;
        c.machineId = machineId;
        c.records = records;
        Model m(c);
        QCOMPARE(replyTo(m, DownloadFrame).toHex(), stream.toHex());
        QCOMPARE(m.records().size(), records.size());
    }

    void eraseEmptiesTheRecordsAndAcksLate()
    {
        Model::Config c;
        c.records = Model::generateRecords(3, utc(2026, 1, 1, 0, 0, 0), 1);
        c.eraseDelayMs = 1000;
        c.password = "9999";
        Model refused(c);
        QCOMPARE(replyTo(refused, EraseFrame), Nak);
        QCOMPARE(refused.records().size(), 3);

        c.password = "1234";
        Model m(c);
        m.receive(EraseFrame, 100);
        QVERIFY(m.records().isEmpty());
        QCOMPARE(m.takeOutput(1099), QByteArray());
        QCOMPARE(m.nextOutputDueMs(), 1100);
        QCOMPARE(m.takeOutput(1200), Ack);
        QCOMPARE(replyTo(m, DownloadFrame, 2000), QByteArray::fromHex("025a45563030303031303030303003"));
    }

    void clockRunsOnFromTheSetTime()
    {
        Model m({});
        QCOMPARE(m.clockAt(90000), utc(2026, 1, 1, 8, 1, 30));
        QCOMPARE(replyTo(m, QByteArray::fromHex("023132333420202020542a1d141516170d6803"), 500), Nak);
        QCOMPARE(m.clockAt(1000), utc(2026, 1, 1, 8, 0, 1));

        QCOMPARE(replyTo(m, QByteArray::fromHex("023132333420202020542a13141516170d3e03"), 1000), Ack);
        QCOMPARE(m.clockAt(1000), utc(2026, 3, 4, 5, 6, 7));
        // 65.4 s later: 05:07:12.
        QCOMPARE(replyTo(m, QByteArray::fromHex("023132333420202020521011111010100d2b03"), 66400).toHex(),
                 QByteArray("022a131415171c0d2603"));
    }

    void faults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("refuse all") << int(Model::Fault::RefuseAll) << Nak;
        QTest::newRow("silent") << int(Model::Fault::Silent) << QByteArray();
        QTest::newRow("one byte") << int(Model::Fault::OneByteReply) << QByteArray("\x02");
        QTest::newRow("garbled") << int(Model::Fault::GarbledReply) << QByteArray::fromHex("02060d3403");
    }
    void faults()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, reply);
        Model::Config c;
        c.fault = Model::Fault(fault);
        c.records = Model::generateRecords(2, utc(2026, 1, 1, 0, 0, 0), 1);
        Model m(c);
        for (const QByteArray &frame : {LoginFrame, ChangeToAbcFrame, EraseFrame, DownloadFrame})
            QCOMPARE(replyTo(m, frame).toHex(), reply.toHex());
        QCOMPARE(m.password(), QByteArray("1234    "));
        QCOMPARE(m.records().size(), 2);
        QCOMPARE(m.framesReceived().size(), 4);
    }

    void hangUp_data()
    {
        QTest::addColumn<int>("afterBytes");
        QTest::newRow("before anything") << 0;
        QTest::newRow("inside the second reply") << 7;
    }
    void hangUp()
    {
        QFETCH(int, afterBytes);
        Model::Config c;
        c.fault = Model::Fault::HangUpAfterBytes;
        c.hangUpAfterBytes = afterBytes;
        c.bytesPerSecond = 1000; // one byte a millisecond
        c.replyDelayMs = 0;
        Model m(c);
        m.receive(LoginFrame + LoginFrame, 0);
        QByteArray got;
        for (qint64 t = 0; t < 100; ++t) {
            QCOMPARE(m.hungUp(t), t + 1 >= afterBytes);
            got += m.takeOutput(t);
        }
        QCOMPARE(got, (Ack + Ack).left(afterBytes));
        QCOMPARE(m.nextOutputDueMs(), -1);
        QCOMPARE(replyTo(m, LoginFrame, 200), QByteArray());
        QCOMPARE(m.framesReceived().size(), afterBytes ? 2 : 0);
    }

    void staysBounded()
    {
        Model::Config c;
        c.records = Model::generateRecords(100, utc(2026, 1, 1, 0, 0, 0), 3);
        Model one(c);
        const qsizetype streamSize = replyTo(one, DownloadFrame).size();
        Model m(c);
        QByteArray flood;
        for (int i = 0; i < 3000; ++i)
            flood += DownloadFrame;
        m.receive(flood, 0);
        QVERIFY(m.takeOutput(100000000).size() <= (1 << 20) + streamSize);
        QCOMPARE(m.framesReceived().size(), 1000);
        QCOMPARE(m.takeLog().size(), 1000);
        // A megabyte without ETX after one STX, then a frame: still answered.
        m.receive("\x02" + QByteArray(1 << 20, 'x'), 200000000);
        QCOMPARE(replyTo(m, LoginFrame, 200000000), Ack);
    }

    void outOfTheCradle_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("afterDocking");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("records");
        const QByteArray emptyDownload = QByteArray::fromHex("025a45563030303031303030303003");
        QTest::newRow("download under way") << int(Model::Fault::None) << DownloadFrame << LoginFrame << Ack << 3;
        QTest::newRow("noise without end") << int(Model::Fault::Noise) << DownloadFrame << LoginFrame << Ack << 3;
        QTest::newRow("erase before its Ack") << int(Model::Fault::None) << EraseFrame << DownloadFrame << emptyDownload << 0;
        // The rest of a frame begun before is no frame.
        QTest::newRow("half a frame") << int(Model::Fault::None) << LoginFrame.left(6) << LoginFrame.mid(6) << QByteArray() << 3;
    }
    void outOfTheCradle()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, afterDocking);
        QFETCH(QByteArray, reply);
        QFETCH(int, records);
        Model::Config c;
        c.fault = Model::Fault(fault);
        c.records = Model::generateRecords(3, utc(2026, 1, 1, 0, 0, 0), 1);
        Model m(c);
        m.receive(before, 0);
        m.takeOutput(20);
        m.setDocked(false, 20);
        QVERIFY(!m.docked());
        QCOMPARE(m.nextOutputDueMs(), -1);
        QCOMPARE(m.takeOutput(10000000), QByteArray());
        QCOMPARE(replyTo(m, LoginFrame, 10000000), QByteArray());
        m.setDocked(true, 20000000);
        QCOMPARE(replyTo(m, afterDocking, 20000000).toHex(), reply.toHex());
        QCOMPARE(m.records().size(), records);
        const QStringList log = m.takeLog();
        QCOMPARE(log.filter(QStringLiteral("taken out of the cradle")).size(), 1);
        QCOMPARE(log.filter(QStringLiteral("docked")).size(), 1);
    }

    void memorySurvivesARestart()
    {
        Model::Config c;
        c.machineId = "M 7";
        c.records = Model::generateRecords(4, utc(2026, 1, 1, 0, 0, 0), 1);
        c.records.append({utc(2026, 1, 2, 3, 4, 5), QByteArray("C \x01\xff ", 5)});
        Model m(c);
        quint64 changes = m.memoryChanges();
        for (const QByteArray &frame : {ChangeToAbcFrame, transmitFrame("abc     ", QByteArray(128, '\x81'))}) {
            QCOMPARE(replyTo(m, frame), Ack);
            QVERIFY(m.memoryChanges() > changes);
            changes = m.memoryChanges();
        }
        QCOMPARE(m.addRecords({{utc(2026, 2, 1, 0, 0, 0), QByteArray()}}), 1);
        QVERIFY(m.memoryChanges() > changes);

        Model::Config restored;
        QString error;
        QVERIFY2(ScannerMemory::read(ScannerMemory::text(m), &restored, &error), qPrintable(error));
        Model again(restored);
        QCOMPARE(again.password(), QByteArray("abc     "));
        QCOMPARE(again.machineId(), QByteArray("M 7     "));
        QVERIFY(again.hasImage());
        QCOMPARE(again.image(), m.image());
        QCOMPARE(again.records().size(), 6);
        for (qsizetype i = 0; i < 6; ++i) {
            QCOMPARE(again.records().at(i).time, m.records().at(i).time);
            QCOMPARE(again.records().at(i).data, m.records().at(i).data);
        }
        QCOMPARE(ScannerMemory::text(again), ScannerMemory::text(m));
    }

    void memoryRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        const QByteArray head = "zev-scanner-sim memory 1\n";
        QTest::newRow("no header") << QByteArray("password 31\n") << QStringLiteral("line 1: ");
        QTest::newRow("password of 9") << head + "password 313233343536373839\n" << QStringLiteral("line 2: ");
        QTest::newRow("odd hex digits") << head + "\nrecord 2026-01-01T00:00:00 414\n" << QStringLiteral("line 3: ");
        QTest::newRow("month 13") << head + "record 2026-13-01T00:00:00 41\n" << QStringLiteral("line 2: not a time");
        QTest::newRow("image of 127") << head + "image " + QByteArray(127, '\x11').toHex() << QStringLiteral("line 2: ");
        QTest::newRow("unknown item") << head + "clock 00\n" << QStringLiteral("line 2: ");
    }
    void memoryRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        Model::Config c;
        c.password = "kept";
        QString why;
        QVERIFY(!ScannerMemory::read(text, &c, &why));
        QVERIFY2(why.startsWith(error), qPrintable(why));
        QCOMPARE(c.password, QByteArray("kept"));
    }

    void generatedRecords()
    {
        const QDateTime start = utc(2026, 6, 1, 9, 0, 0);
        const QList<Model::Record> a = Model::generateRecords(300, start, 5);
        QCOMPARE(a.size(), 300);
        QCOMPARE(a.first().time, start);
        QSet<qsizetype> lengths;
        for (qsizetype i = 0; i < a.size(); ++i) {
            const QByteArray &d = a.at(i).data;
            QVERIFY(d.size() >= 2 && d.at(0) >= 'A' && d.at(0) <= 'Z');
            QVERIFY(!d.contains('\r') && !d.contains('\x02') && !d.contains('\x03'));
            QVERIFY(i == 0 || a.at(i).time > a.at(i - 1).time);
            lengths.insert(d.size());
        }
        QVERIFY(lengths.size() >= 10);
        QCOMPARE(Model::generateRecords(300, start, 5).last().data, a.last().data);
        QVERIFY(Model::generateRecords(300, start, 6).last().data != a.last().data);
        QVERIFY(Model::generateRecords(-1, start, 5).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestScannerModel)
#include "tst_scannermodel.moc"
