#include "collect/Data.h"
#include "collect/RecordAssembler.h"
#include "support/ScriptedUi.h"
#include "support/TestFiles.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define ZEV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEV_ASAN 1
#endif
#endif

namespace {
struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// setup may redirect the process's output or limit it before it starts.
Run zevctl(const QStringList &args, const std::function<void(QProcess &)> &setup = {})
{
    QProcess p;
    if (setup)
        setup(p);
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

bool isKind(const QString &path, mode_t kind)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
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

    // -o writes onto a device or a FIFO in place; it never puts a regular file there.
    void outputsOntoDevicesAndPipes()
    {
        const QString raw = m_dir.filePath(QStringLiteral("one.raw"));
        TestFiles::write(raw, QByteArray("\x02ZEV0004200001#ABC?\r"));
        const Run plain = zevctl({QStringLiteral("assemble"), raw});
        QCOMPARE(plain.status, 0);
        QVERIFY(plain.out.contains("1 record(s) received"));

        const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QProcess reader;
        reader.start(QStringLiteral("cat"), {fifo});
        QVERIFY(reader.waitForStarted());
        QCOMPARE(zevctl({QStringLiteral("assemble"), raw, QStringLiteral("-o"), fifo}).status, 0);
        QVERIFY(reader.waitForFinished(10000));
        QCOMPARE(reader.readAllStandardOutput(), plain.out);
        QVERIFY(isKind(fifo, S_IFIFO));

        const QString node = m_dir.filePath(QStringLiteral("null"));
        if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("mknod is not allowed here");
        QCOMPARE(zevctl({QStringLiteral("assemble"), raw, QStringLiteral("-o"), node}).status, 0);
        QVERIFY(isKind(node, S_IFCHR));
    }

    // assemble writes the bytes the viewer's Save As and Export CSV write for the same download.
    void assembleWritesWhatTheViewerSaves_data()
    {
        QTest::addColumn<bool>("mid");
        QTest::addColumn<bool>("rtc");
        QTest::newRow("plain") << false << false;
        QTest::newRow("machine ID and timestamps") << true << true;
    }
    void assembleWritesWhatTheViewerSaves()
    {
        QFETCH(bool, mid);
        QFETCH(bool, rtc);
        const QByteArray stream = QByteArray("\x02ZEV01   00002") + "\x29\x11\x11\x11\x11\x11#a,\"b\"?\r"
                                  + "\x29\x1d\x11\x11\x11\x11#\xe9?\r";
        const QString raw = m_dir.filePath(QStringLiteral("two.raw"));
        TestFiles::write(raw, stream);
        QStringList flags;
        if (mid)
            flags << QStringLiteral("--mid");
        if (rtc)
            flags << QStringLiteral("--rtc");
        const Run text = zevctl(QStringList{QStringLiteral("assemble"), raw} + flags);
        const Run csv = zevctl(QStringList{QStringLiteral("assemble"), raw, QStringLiteral("--format"), QStringLiteral("csv")}
                               + flags);
        QCOMPARE(text.status, 0);
        QCOMPARE(csv.status, 0);

        ScriptedUi ui;
        Data viewer(ui);
        const auto assembled = RecordAssembler::assemble(stream, mid, rtc, QDate::currentDate().year());
        viewer.setText(assembled.text);
        viewer.setRecords(assembled.download);
        const QString saved = m_dir.filePath(QStringLiteral("saved.txt"));
        const QString exported = m_dir.filePath(QStringLiteral("exported.csv"));
        ui.saveFile(saved);
        viewer.mnuSaveAs_Click();
        ui.saveFile(exported);
        viewer.mnuExportCsv_Click();
        QCOMPARE(text.out, TestFiles::read(saved));
        QCOMPARE(csv.out, TestFiles::read(exported));
        QVERIFY(text.out.endsWith("\r\n\r\n\r\n")); // the last record's empty line, then the file's CR LF
        QVERIFY(ui.boxes.isEmpty());
    }

    // A failed write, stdout included, is exit 6 with the system's reason.
    void failedWritesExit6()
    {
        const QString raw = m_dir.filePath(QStringLiteral("one.raw"));
        TestFiles::write(raw, QByteArray("\x02ZEV0004200001#ABC?\r"));
        const QString full = QStringLiteral("/dev/full");
        const Run toStdout = zevctl({QStringLiteral("assemble"), raw},
                                    [&](QProcess &p) { p.setStandardOutputFile(full); });
        QCOMPARE(toStdout.status, 6);
        QVERIFY(toStdout.err.contains("No space left on device"));
        const Run toFile = zevctl({QStringLiteral("assemble"), raw, QStringLiteral("-o"), full});
        QCOMPARE(toFile.status, 6);
        QVERIFY(toFile.err.contains("No space left on device"));
        QVERIFY(isKind(full, S_IFCHR));
        // A pipe nobody reads any more.
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        ::close(ends[0]);
        const Run toClosedPipe = zevctl({QStringLiteral("assemble"), raw}, [&](QProcess &p) {
            p.setChildProcessModifier([w = ends[1]]() { ::dup2(w, STDOUT_FILENO); });
        });
        ::close(ends[1]);
        QCOMPARE(toClosedPipe.status, 6);
        QVERIFY(toClosedPipe.err.contains("Broken pipe"));

        // Every name a folder offers for the machine ID is taken: nothing is replaced.
        QTemporaryDir taken;
        QStringList names{QStringLiteral("ZEV00042.txt")};
        for (int n = 2; n <= 999; ++n)
            names << QStringLiteral("ZEV00042-%1.txt").arg(n);
        for (const QString &name : names)
            TestFiles::write(taken.filePath(name), name.toLatin1());
        const Run noName = zevctl({QStringLiteral("assemble"), raw, QStringLiteral("-o"), taken.path()});
        QCOMPARE(noName.status, 6);
        QVERIFY2(noName.err.contains("no new file name could be made"), noName.err.constData());
        QCOMPARE(QDir(taken.path()).entryList(QDir::Files).size(), names.size());
        for (const QString &name : names)
            QCOMPARE(TestFiles::read(taken.filePath(name)), name.toLatin1());

        // A COM mapping that cannot reach the disk is not reported as stored.
        const QString notAFolder = m_dir.filePath(QStringLiteral("config-is-a-file"));
        TestFiles::write(notAFolder, "x");
        const Run map = zevctl({QStringLiteral("ports"), QStringLiteral("--map"), QStringLiteral("3=/dev/null")},
                               [&](QProcess &p) {
                                   QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                                   env.insert(QStringLiteral("XDG_CONFIG_HOME"), notAFolder);
                                   p.setProcessEnvironment(env);
                               });
        QCOMPARE(map.status, 6);
        QVERIFY2(map.err.contains("was not stored"), map.err.constData());
    }

    // Reading stops at the limit, and a read error says why.
    void inputsAreBounded()
    {
        const Run zero = zevctl({QStringLiteral("show"), QStringLiteral("/dev/zero")}, [](QProcess &p) {
#ifdef ZEV_ASAN
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":malloc_limit_mb=64"));
            p.setProcessEnvironment(env);
#else
            p.setChildProcessModifier([]() {
                const rlimit limit{rlim_t(512) << 20, rlim_t(512) << 20};
                setrlimit(RLIMIT_AS, &limit);
            });
#endif
        });
        QCOMPARE(zero.status, 6);
        QVERIFY(zero.err.contains("more than 409 characters"));
        QCOMPARE(zero.out, QByteArray());
        const Run unreadable = zevctl({QStringLiteral("show"), QStringLiteral("/proc/self/mem")});
        QCOMPARE(unreadable.status, 6);
        QVERIFY2(unreadable.err.contains("Input/output error"), unreadable.err.constData());
    }

    void usageErrorsExit1_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("show without a file") << QStringList{QStringLiteral("show")};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus"), QStringLiteral("show"), QStringLiteral("x")};
        // Ports are checked before any is opened: COM 1 to 16, a device name without stray blanks.
        for (const QString &port : {QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("17"), QString(),
                                    QStringLiteral(" /dev/null"), QStringLiteral("/dev/null "), QStringLiteral("/dev/\nnull")})
            QTest::newRow(qPrintable(QStringLiteral("--port '%1'").arg(port)))
                << QStringList{QStringLiteral("--port"), port, QStringLiteral("login")};
        QTest::newRow("a port twice, once through a link")
            << QStringList{QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("--port"),
                           QStringLiteral("/dev/../dev/null"), QStringLiteral("login")};
    }

    void usageErrorsExit1()
    {
        QFETCH(QStringList, args);
        const Run r = zevctl(args);
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
    }

    void helpIsDone()
    {
        const Run help = zevctl({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("show FILE"));
        QCOMPARE(zevctl({QStringLiteral("ports"), QStringLiteral("--udev-rule"), QStringLiteral("17")}).status, 1);
        QCOMPARE(zevctl({QStringLiteral("ports"), QStringLiteral("--udev-rule"), QStringLiteral("3"), QStringLiteral("--unmap"),
                         QStringLiteral("3")}).status, 1);
        const Run notSerial = zevctl({QStringLiteral("ports"), QStringLiteral("--udev-rule"), QStringLiteral("3")}, [](QProcess &p) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("ZEV_COM3"), QStringLiteral("/dev/null"));
            p.setProcessEnvironment(env);
        });
        QCOMPARE(notSerial.status, 1);
        QCOMPARE(notSerial.out, QByteArray());
        QVERIFY2(notSerial.err.contains("COM 3 is /dev/null, which the system does not report as a serial port"),
                 notSerial.err.constData());
        const Run version = zevctl({QStringLiteral("--version")});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QByteArray("zevctl " ZEV_VERSION "\n"));
    }
};

QTEST_MAIN(TestZevctlShow)
#include "tst_zevctl_show.moc"
