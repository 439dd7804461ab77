#include "support/TestFiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run zevctl(const QStringList &args)
{
    QProcess p;
    p.start(TestFiles::binDir() + QStringLiteral("/zevctl"), args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}
} // namespace

class TestZevctlShow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void showsTheShippedFactoryFile()
    {
        const Run r = zevctl({QStringLiteral("show"), TestFiles::binDir() + QStringLiteral("/Default.mag")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QByteArray());
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), 10); // 9 lines and the empty rest after the last LF
        QCOMPARE(lines[1], QByteArray("04 30 00 02 18 00 02 28 00 02 28 00 00 01 04 00"));
        for (int i = 0; i < 8; ++i)
            QVERIFY(QRegularExpression(QStringLiteral("^([0-9A-F]{2} ){15}[0-9A-F]{2}$"))
                        .match(QString::fromLatin1(lines[i]))
                        .hasMatch());
        QCOMPARE(lines[8], QByteArray("no flags"));
    }

    void showsFlagsOfASavedFile()
    {
        QByteArray text;
        text += TestFiles::row("ff 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0F");
        for (int r = 1; r < 8; ++r)
            text += TestFiles::row("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        const QString file = m_dir.filePath(QStringLiteral("saved.msr"));
        TestFiles::write(file, text + char(31));
        const Run r = zevctl({QStringLiteral("show"), file});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("FF 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n00 00"));
        QVERIFY(r.out.endsWith("\nRtcFlag=True MidFlag=False\n"));
    }

    void badFilesExit6WithNothingOnStdout_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("present");
        QByteArray good;
        for (int r = 0; r < 8; ++r)
            good += TestFiles::row("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("400") << good.left(400) << true;
        QTest::newRow("410") << good + "\x1e\n" << true;
        QTest::newRow("bad flag character") << good + 'x' << true;
    }
    void badFilesExit6WithNothingOnStdout()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, present);
        const QString file = m_dir.filePath(QStringLiteral("bad.msr"));
        QFile::remove(file);
        if (present)
            TestFiles::write(file, content);
        const Run r = zevctl({QStringLiteral("show"), file});
        QCOMPARE(r.status, 6);
        QCOMPARE(r.out, QByteArray());
        QVERIFY(r.err.contains("bad.msr"));
    }

    void usageErrorsExit1()
    {
        QCOMPARE(zevctl({}).status, 1);
        QCOMPARE(zevctl({QStringLiteral("show")}).status, 1);
        QCOMPARE(zevctl({QStringLiteral("frobnicate")}).status, 1);
        QCOMPARE(zevctl({QStringLiteral("--bogus"), QStringLiteral("show"), QStringLiteral("x")}).status, 1);
        const Run help = zevctl({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("show FILE"));
    }
};

QTEST_GUILESS_MAIN(TestZevctlShow)
#include "tst_zevctl_show.moc"
