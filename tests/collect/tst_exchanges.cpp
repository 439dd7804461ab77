#include "core/Session.h"
#include "collect/ClockExchange.h"
#include "collect/DownloadExchange.h"
#include "collect/EraseExchange.h"
#include "collect/PasswordCheck.h"
#include "collect/RecordAssembler.h"
#include "link/ChangePasswordExchange.h"
#include "link/Frames.h"
#include "link/QuietLine.h"
#include "support/FakeSerialPort.h"
#include "support/ModelPeer.h"
#include "support/VirtualClock.h"

#include <QCoreApplication>
#include <QTest>

namespace {
// A read-clock reply: one byte not examined, then the clock, each value + 16, then padding to 10.
QByteArray clockReply(const QDateTime &t)
{
    return QByteArray(1, '\x02') + Link::clockBytes(t) + QByteArray("\r\x30\x03");
}
} // namespace

class TestExchanges : public QObject
{
    Q_OBJECT

    Session session;
    VirtualClock clock;
    ScriptedPeer peer;
    std::unique_ptr<FakeSerialPort> port;
    std::unique_ptr<FakeSerialPort> port2;

    void reply(const QByteArray &bytes, int delayMs = 20) { peer.replies << ScriptedPeer::Reply{bytes, delayMs}; }

private Q_SLOTS:
    void init()
    {
        session = Session();
        session.LoginPassword = QStringLiteral("abc     ");
        session.CommPortNumber = 4;
        peer = ScriptedPeer();
        port = std::make_unique<FakeSerialPort>(peer, clock);
        port2 = std::make_unique<FakeSerialPort>(peer, clock);
        clock.blockedMs = 0;
    }

    void passwordCheckJudgesOnlyTheLength_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("passes");
        QTest::newRow("ack") << Link::AckFrame << true;
        QTest::newRow("nak passes too") << Link::NakFrame << true;
        QTest::newRow("two bytes") << QByteArray("xy") << true;
        QTest::newRow("one byte") << QByteArray("x") << false;
        QTest::newRow("silence") << QByteArray() << false;
    }
    void passwordCheckJudgesOnlyTheLength()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, passes);
        for (auto variant : {PasswordCheckVariant::Download, PasswordCheckVariant::Erase, PasswordCheckVariant::Clock,
                             PasswordCheckVariant::ChangePassword}) {
            init();
            for (int i = 0; i < 3; ++i)
                reply(answer);
            const PasswordCheckResult r = runPasswordCheck(*port, clock, session, variant);
            QCOMPARE(r.passed(), passes);
            QCOMPARE(port->writes.first(), Link::commandFrame(session.LoginPassword, 'P'));
            QCOMPARE(port->portNumbersOpened, QList<int>{4});
            // Only a passed erase check keeps the port for the erase frame.
            QCOMPARE(port->isOpen(), variant == PasswordCheckVariant::Erase && passes);
            const bool threeTries = variant == PasswordCheckVariant::ChangePassword && answer != Link::AckFrame;
            QCOMPARE(port->writes.size(), threeTries ? 3 : 1);
            QCOMPARE(clock.blockedMs, variant == PasswordCheckVariant::ChangePassword
                                          ? (500 + QuietLine::ProbeMs) * int(port->writes.size())
                                          : 0);
        }
    }

    void passwordCheckPortError()
    {
        port->failOpen = true;
        const PasswordCheckResult r = runPasswordCheck(*port, clock, session, PasswordCheckVariant::Download);
        QCOMPARE(int(r.kind), int(PasswordCheckResult::PortError));
        QVERIFY(!r.error.isEmpty());
    }

    void downloadSendsDAfterANegativeCheck()
    {
        reply(Link::NakFrame);
        reply("\x02" "ZEV0000100000", 100);
        const DownloadStream s = receiveDownload(*port, *port2, clock, session);
        QCOMPARE(int(s.kind), int(DownloadStream::Received));
        QCOMPARE(port2->writes, QList<QByteArray>{Link::commandFrame(session.LoginPassword, 'D')});
        QCOMPARE(s.bytes, QByteArray("\x02" "ZEV0000100000"));
        QVERIFY(!port->isOpen() && !port2->isOpen());
    }

    void downloadEndsAfterAPause()
    {
        reply(Link::AckFrame);
        // Bursts 250 ms apart are one download; one after a longer pause is not read.
        peer.replies << ScriptedPeer::Reply{"first", 150, {{400, "second"}, {1000, "late"}}};
        int steps = 0;
        bool receiving = false;
        DownloadProgress progress;
        qint64 sentAt = -1;
        progress.receiving = [&]() {
            receiving = true;
            sentAt = clock.tickCount() - 180;
        };
        progress.step = [&]() { ++steps; };
        const DownloadStream s = receiveDownload(*port, *port2, clock, session, progress);
        QVERIFY(receiving);
        QCOMPARE(s.bytes, QByteArray("firstsecond"));
        // The pause runs from the last byte, not from a later read.
        const qint64 pausedFor = clock.tickCount() - (sentAt + 400);
        QVERIFY2(pausedFor >= QuietLine::QuietMs && pausedFor <= QuietLine::QuietMs + QuietLine::ProbeMs,
                 QByteArray::number(pausedFor).constData());
        QVERIFY(steps >= 2);
        QVERIFY(!port2->isOpen());
    }

    // A long stream at the line's rate is read in batches that grow with it,
    // not per burst, and its pause still runs from the last byte, late by at
    // most the longest batch.
    void aLongStreamIsReadInGrowingBatches()
    {
        reply(Link::AckFrame);
        QList<QPair<int, QByteArray>> bursts;
        for (int ms = 10; ms <= 30000; ms += 10)
            bursts.append({ms, QByteArray(19, 'r')});
        peer.replies << ScriptedPeer::Reply{"\x02", 10, bursts};
        int reads = 0;
        qint64 sentAt = -1;
        DownloadProgress progress;
        progress.receiving = [&]() { sentAt = clock.tickCount() - 180; };
        progress.step = [&]() { ++reads; };
        const DownloadStream s = receiveDownload(*port, *port2, clock, session, progress);
        QCOMPARE(s.bytes.size(), 1 + 19 * 3000);
        QCOMPARE(int(s.end), int(DownloadStream::Paused));
        QVERIFY2(reads < 500, QByteArray::number(reads).constData());
        const qint64 pausedFor = clock.tickCount() - (sentAt + 30000);
        QVERIFY2(pausedFor >= QuietLine::QuietMs
                     && pausedFor <= QuietLine::QuietMs + QuietLine::StreamReads::LongestBatchMs,
                 QByteArray::number(pausedFor).constData());
    }

    void downloadWithNothingComing()
    {
        reply(Link::AckFrame);
        const qint64 start = clock.tickCount();
        const DownloadStream s = receiveDownload(*port, *port2, clock, session);
        QCOMPARE(int(s.kind), int(DownloadStream::Received));
        QVERIFY(s.bytes.isEmpty());
        QVERIFY(clock.tickCount() - start < 600); // 5 x 50 ms, 180 ms, no receive wait
    }

    void downloadWithoutAnswerToThePassword()
    {
        const DownloadStream s = receiveDownload(*port, *port2, clock, session);
        QCOMPARE(int(s.kind), int(DownloadStream::CheckFailed));
        QVERIFY(port2->writes.isEmpty());
    }

    // Every way a download ends early keeps what came and says how it ended.
    void downloadEndingEarly_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("arg");
        QTest::addColumn<int>("timeLimitMs");
        QTest::addColumn<int>("stopAtMs"); // the user stops it then; 0: never
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("terminated"); // -1: some, fewer than announced
        QTest::addColumn<bool>("incomplete");
        using F = ScannerModel::Fault;
        QTest::newRow("all") << int(F::None) << 0 << 0 << 0 << int(DownloadStream::Paused) << 200 << false;
        QTest::newRow("short:2") << int(F::ShortDownload) << 2 << 0 << 0 << int(DownloadStream::Paused) << 2 << true;
        // The check's Ack, the header and a little more: the line dies inside the first record.
        QTest::newRow("hangup") << int(F::HangUpAfterBytes) << 5 + 14 + 6 << 0 << 0 << int(DownloadStream::LineFailed)
                                << 0 << true;
        QTest::newRow("noise, time limit") << int(F::Noise) << 0 << 2000 << 0 << int(DownloadStream::Stopped) << 0
                                           << true;
        QTest::newRow("stopped by the user") << int(F::None) << 0 << 0 << 1500 << int(DownloadStream::Stopped) << -1
                                             << true;
    }
    void downloadEndingEarly()
    {
        QFETCH(int, fault);
        QFETCH(int, arg);
        QFETCH(int, timeLimitMs);
        QFETCH(int, stopAtMs);
        ScannerModel::Config config;
        config.records = ScannerModel::generateRecords(200, clock.now().addDays(-1), 2);
        config.fault = ScannerModel::Fault(fault);
        config.hangUpAfterBytes = arg;
        config.shortRecords = arg;
        ModelPeer model(config);
        FakeSerialPort check(model, clock);
        FakeSerialPort data(model, clock);
        session.LoginPassword = QStringLiteral("1234    ");
        ExchangeGuard guard(clock.gate());
        const qint64 start = clock.tickCount();
        clock.onTick = [&](qint64 now) {
            if (stopAtMs && now - start == stopAtMs)
                clock.gate().stop();
        };
        const DownloadStream s = receiveDownload(check, data, clock, session, {}, timeLimitMs);
        clock.onTick = nullptr;
        QCOMPARE(int(s.kind), int(DownloadStream::Received));
        QTEST(int(s.end), "end");
        QVERIFY(!s.bytes.isEmpty());
        QVERIFY(!data.isOpen());
        if (fault == int(ScannerModel::Fault::HangUpAfterBytes))
            QCOMPARE(s.bytes.size(), arg - 5);
        const RecordAssembler::Result r = RecordAssembler::assemble(s.bytes, false, false, 2026);
        QVERIFY(r.ok() || fault == int(ScannerModel::Fault::HangUpAfterBytes));
        if (r.ok()) {
            QFETCH(int, terminated);
            QCOMPARE(r.announced, fault == int(ScannerModel::Fault::Noise) ? 0 : 200);
            if (terminated < 0)
                QVERIFY(r.terminated > 0 && r.terminated < r.announced);
            else
                QCOMPARE(int(r.terminated), terminated);
            QTEST(s.incomplete(r), "incomplete");
        }
        QCOMPARE(s.end != DownloadStream::Paused, bool(timeLimitMs || stopAtMs || fault == int(ScannerModel::Fault::HangUpAfterBytes)));
    }

    // What a download's bytes are worth, judged on the stream alone.
    void streamJudgement_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<bool>("overfull");
        QTest::addColumn<bool>("incomplete");
        const QByteArray one = QByteArray("\x02ZEV00001") + "00001" + QByteArray("\x1a\x11\x11\x18\x10\x10") + "CA1?\r";
        const QByteArray two = QByteArray("\x02ZEV00001") + "00001" + QByteArray("\x1a\x11\x11\x18\x10\x10") + "CA1?\r"
                             + QByteArray("\x1a\x11\x11\x18\x10\x11") + "CA2?\r";
        const int paused = DownloadStream::Paused;
        const int lost = DownloadStream::LineFailed;
        QTest::newRow("whole") << one + '\x03' << paused << true << false << false;
        QTest::newRow("an old stream's tail first") << QByteArray("?\r") + one + '\x03' << paused << false << false << false;
        QTest::newRow("a late Ack first") << Link::AckFrame + one + '\x03' << paused << false << false << false;
        QTest::newRow("more than announced") << two + '\x03' << paused << true << true << false;
        QTest::newRow("line lost after the ETX") << one + '\x03' << lost << true << false << false;
        QTest::newRow("line lost before the ETX") << one << lost << true << false << true;
    }
    void streamJudgement()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, end);
        DownloadStream s;
        s.bytes = bytes;
        s.end = DownloadStream::End(end);
        const RecordAssembler::Result r = RecordAssembler::assemble(bytes, false, false, 2026);
        QTEST(s.readable(r), "readable");
        if (!s.readable(r))
            return;
        QTEST(s.overfull(r), "overfull");
        QTEST(s.incomplete(r), "incomplete");
    }

    // A stopped download leaves the scanner sending: the next exchange waits
    // for a quiet line, and gives up on one that never goes quiet.
    void nextExchangeAfterAStoppedDownload()
    {
        ScannerModel::Config config;
        config.records = ScannerModel::generateRecords(200, clock.now().addDays(-1), 2);
        ModelPeer model(config);
        FakeSerialPort check(model, clock);
        FakeSerialPort data(model, clock);
        session.LoginPassword = QStringLiteral("1234    ");
        const DownloadStream stopped = receiveDownload(check, data, clock, session, {}, 1000);
        QCOMPARE(int(stopped.end), int(DownloadStream::Stopped));
        const DownloadStream next = receiveDownload(check, data, clock, session);
        QCOMPARE(int(next.end), int(DownloadStream::Paused));
        const RecordAssembler::Result r = RecordAssembler::assemble(next.bytes, false, false, 2026);
        QVERIFY(next.readable(r));
        QCOMPARE(int(r.terminated), 200);
        QVERIFY(!next.incomplete(r));

        config.fault = ScannerModel::Fault::Noise;
        ModelPeer noisy(config);
        FakeSerialPort noisyCheck(noisy, clock);
        FakeSerialPort noisyData(noisy, clock);
        receiveDownload(noisyCheck, noisyData, clock, session, {}, 500);
        const qint64 start = clock.tickCount();
        const PasswordCheckResult r2 = runPasswordCheck(noisyCheck, clock, session, PasswordCheckVariant::Erase, 2000);
        QCOMPARE(int(r2.kind), int(PasswordCheckResult::NoAnswer));
        QVERIFY(r2.stillSending > 1000);
        QVERIFY(clock.tickCount() - start <= 2000 + QuietLine::ProbeMs);
        QCOMPARE(noisyCheck.writes.size(), 1); // the earlier download's check alone
        QVERIFY(!noisyCheck.isOpen());
    }

    void erase_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("tail"); // 10 ms after the answer
        QTest::addColumn<int>("stopAtPoll"); // 0: not stopped
        QTest::newRow("ack after a second") << Link::AckFrame << 1000 << int(EraseResult::Erased) << QByteArray() << 0;
        QTest::newRow("ack after 5.1 s") << Link::AckFrame << 5150 << int(EraseResult::NoAnswer) << QByteArray() << 0;
        QTest::newRow("two acks") << Link::AckFrame + Link::AckFrame << 500 << int(EraseResult::OtherReply) << QByteArray()
                                  << 0;
        QTest::newRow("nak") << Link::NakFrame << 500 << int(EraseResult::OtherReply) << QByteArray() << 0;
        // Still arriving when the last poll ends: taken whole.
        QTest::newRow("ack across the last poll") << Link::AckFrame.left(2) << 5095 << int(EraseResult::Erased)
                                                  << Link::AckFrame.mid(2) << 0;
        // A stop during the erase: the polls end at once, what came counts.
        QTest::newRow("stopped after the ack") << Link::AckFrame << 1000 << int(EraseResult::Erased) << QByteArray()
                                               << 12;
        QTest::newRow("stopped before the ack") << Link::AckFrame << 1000 << int(EraseResult::NoAnswer) << QByteArray()
                                                << 5;
    }
    void erase()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, delay);
        QFETCH(int, kind);
        QFETCH(QByteArray, tail);
        QFETCH(int, stopAtPoll);
        reply(Link::AckFrame);
        peer.replies << ScriptedPeer::Reply{answer, delay, {{delay + 10, tail}}};
        QList<int> polls;
        const ExchangeGuard guard(clock.gate());
        const EraseResult r = runEraseExchange(*port, clock, session, [&](int p) {
            polls << p;
            if (stopAtPoll && p == stopAtPoll)
                clock.gate().stop();
        });
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(port->writes, (QList<QByteArray>{Link::commandFrame(session.LoginPassword, 'P'),
                                                  Link::commandFrame(session.LoginPassword, 'E')}));
        const int last = stopAtPoll ? stopAtPoll : ErasePolls;
        QCOMPARE(polls.size(), last + 1);
        QCOMPARE(polls.first(), 0); // the frame has gone out, the polls begin
        QCOMPARE(polls.last(), last);
        QVERIFY(clock.blockedMs >= 100 * last); // the polls do not yield
        QCOMPARE(port->opens, 1);        // one port for both frames
        QVERIFY(!port->isOpen());
    }

    void eraseWithoutAnswerToThePassword()
    {
        const EraseResult r = runEraseExchange(*port, clock, session);
        QCOMPARE(int(r.kind), int(EraseResult::NoAnswer));
        QCOMPARE(port->writes.size(), 1);
        QVERIFY(!port->isOpen());
    }

    void clockSyncMatches()
    {
        const QDateTime now = clock.now();
        reply(Link::AckFrame);
        reply(clockReply(now.addSecs(1)), 200);
        const ClockSyncResult r = runClockSync(*port, clock, session, now);
        QCOMPARE(int(r.kind), int(ClockSyncResult::Synchronised));
        QCOMPARE(r.passes, 1);
        QCOMPARE(port->writes, (QList<QByteArray>{Link::setClockFrame(session.LoginPassword, now),
                                                  Link::readClockFrame(session.LoginPassword, now)}));
        QVERIFY(clock.blockedMs >= 1000);
    }

    void clockSyncAcceptsHour24AndMinute60()
    {
        const QDateTime now = clock.now();
        QByteArray back = clockReply(now);
        back[4] = char(24 + 16);
        back[5] = char(60 + 16);
        back[6] = char(60 + 16);
        reply(Link::AckFrame);
        reply(back, 100);
        QCOMPARE(int(runClockSync(*port, clock, session, now).kind), int(ClockSyncResult::Synchronised));
    }

    void clockSyncOtherDateRunsOneMorePass()
    {
        const QDateTime now = clock.now();
        reply(Link::AckFrame);
        reply(clockReply(now.addDays(-3)), 100);
        reply(Link::AckFrame, 20); // whatever the read-clock frame gets on the second pass
        const ClockSyncResult r = runClockSync(*port, clock, session, now);
        QCOMPARE(int(r.kind), int(ClockSyncResult::NotAcknowledged));
        QCOMPARE(r.passes, 2);
        // The second pass repeats the read-clock frame, not the set-clock frame.
        QCOMPARE(port->writes.size(), 3);
        QCOMPARE(port->writes[2], Link::readClockFrame(session.LoginPassword, now));
    }

    void clockSyncFailures()
    {
        const QDateTime now = clock.now();
        QCOMPARE(int(runClockSync(*port, clock, session, now).kind), int(ClockSyncResult::NoAnswer));

        init();
        reply(Link::NakFrame);
        QCOMPARE(int(runClockSync(*port, clock, session, now).kind), int(ClockSyncResult::NotAcknowledged));
        QCOMPARE(port->writes.size(), 1);

        init();
        reply(Link::AckFrame);
        reply(QByteArray(9, 'x'), 100);
        const qint64 start = clock.tickCount();
        const ClockSyncResult r = runClockSync(*port, clock, session, now);
        QCOMPARE(int(r.kind), int(ClockSyncResult::ReadBackTimedOut));
        QVERIFY(clock.tickCount() - start >= 1000 + 3000);
        QVERIFY(port->isOpen()); // left open until the next try
    }

    void changePassword_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("kind");
        QTest::newRow("ack") << Link::AckFrame << int(ChangePasswordResult::Changed);
        QTest::newRow("nak") << Link::NakFrame << int(ChangePasswordResult::Refused);
        QTest::newRow("ack after another byte") << '\x00' + Link::AckFrame << int(ChangePasswordResult::OtherReply);
        QTest::newRow("one byte") << QByteArray("\x06") << int(ChangePasswordResult::NoAnswer);
        QTest::newRow("ack across the last poll") << Link::AckFrame << int(ChangePasswordResult::Changed);
    }
    void changePassword()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, kind);
        if (QByteArray(QTest::currentDataTag()) == "ack across the last poll")
            peer.replies << ScriptedPeer::Reply{answer.left(2), 995, {{1005, answer.mid(2)}}};
        else
            reply(answer, 30);
        int polls = 0;
        const qint64 start = clock.tickCount();
        const ChangePasswordResult r = runChangePasswordExchange(*port, clock, 6, QStringLiteral("abc"),
                                                                 QStringLiteral("NEW123"), [&]() { ++polls; });
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(polls, 10);
        QVERIFY(clock.tickCount() - start >= 1000); // all ten polls run
        QCOMPARE(port->writes, QList<QByteArray>{Link::changePasswordFrame(QStringLiteral("abc"), QStringLiteral("NEW123"))});
        QCOMPARE(port->portNumbersOpened, QList<int>{6});
        QCOMPARE(r.paddedNewPassword, QStringLiteral("NEW123  "));
        QVERIFY(!port->isOpen());
    }

    // The scanner acknowledged, then the line died: the acknowledgement counts.
    void acknowledgementBeforeTheLineFails()
    {
        ScannerModel::Config config;
        config.password = "abc";
        config.fault = ScannerModel::Fault::HangUpAfterBytes;
        config.hangUpAfterBytes = 5;
        ModelPeer changing(config);
        FakeSerialPort line(changing, clock);
        const ChangePasswordResult changed =
            runChangePasswordExchange(line, clock, 6, QStringLiteral("abc"), QStringLiteral("NEW123"));
        QCOMPARE(int(changed.kind), int(ChangePasswordResult::Changed));
        QVERIFY(!changed.error.isEmpty());
        QCOMPARE(changing.model.password(), QByteArray("NEW123  "));

        ModelPeer setting(config);
        FakeSerialPort line2(setting, clock);
        const ClockSyncResult set = runClockSync(line2, clock, session, clock.now());
        QCOMPARE(int(set.kind), int(ClockSyncResult::PortError));
        QVERIFY(set.acknowledged);
    }

    void changePasswordPortError()
    {
        port->failOpen = true;
        const ChangePasswordResult r = runChangePasswordExchange(*port, clock, 1, QString(), QString());
        QCOMPARE(int(r.kind), int(ChangePasswordResult::PortError));
    }
};

QTEST_GUILESS_MAIN(TestExchanges)
#include "tst_exchanges.moc"
