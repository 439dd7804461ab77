#include "core/Session.h"
#include "image/FactoryDefaults.h"
#include "image/SettingsFile.h"
#include "support/ScriptedUi.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// A full image text built by hand: row r holds r*16 + c in every cell.
QByteArray countingImageText()
{
    QByteArray text;
    for (int r = 0; r < 8; ++r) {
        QByteArray values;
        for (int c = 0; c < 16; ++c)
            values += QByteArray::number(16 * r + c, 16).rightJustified(2, '0').toUpper() + (c < 15 ? " " : "");
        text += TestFiles::row(values.constData());
    }
    return text;
}

void fillImage(Session &s, quint8 seed)
{
    for (int i = 0; i < 128; ++i)
        s.ParamImage[i] = quint8(seed + i * 7);
}

// Writing more than this many bytes fails, as on a full disk; root is bound by it too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestSettingsFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedUi m_ui;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void init()
    {
        m_ui.clear();
    }
    void cleanup()
    {
        QVERIFY2(m_ui.unscripted().isEmpty(), qPrintable(m_ui.unscripted().join(QLatin1String("; "))));
        QVERIFY(m_ui.scriptUsedUp());
    }

    // --- Default.mag

    void factoryDefaultsLoad()
    {
        QTemporaryDir dir;
        TestFiles::write(dir.filePath(QStringLiteral("Default.mag")), countingImageText());
        Session s;
        s.Rs232Interface = true;
        QVERIFY(LoadFactoryDefaults(s, dir.path()));
        for (int i = 0; i < 128; ++i)
            QCOMPARE(int(s.ParamImage[i]), i);
        QCOMPARE(s.Rs232Interface, false);
    }

    void factoryDefaultsRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("installed"); // in ../share/zev-setting/; null: none
        QTest::addColumn<bool>("loads");
        const QByteArray good = countingImageText();
        QByteArray lfOnly = good;
        lfOnly.replace("\r\n", "\n");
        QTest::newRow("missing") << QByteArray() << false << QByteArray() << false;
        QTest::newRow("empty") << QByteArray() << true << QByteArray() << false;
        QTest::newRow("LF-only rows (400)") << lfOnly << true << QByteArray() << false;
        QTest::newRow("saved settings file (409)") << good + char(30) << true << QByteArray() << false;
        QTest::newRow("407") << good.left(407) << true << QByteArray() << false;
        QTest::newRow("only installed") << QByteArray() << false << good << true;
        QTest::newRow("407 beside, good installed") << good.left(407) << true << good << true;
        QTest::newRow("neither good") << QByteArray() << true << good + char(30) << false;
    }
    void factoryDefaultsRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, present);
        QFETCH(QByteArray, installed);
        QFETCH(bool, loads);
        QTemporaryDir prefix;
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(prefix.filePath(QStringLiteral("share/zev-setting"))));
        const QString file = bin + QStringLiteral("/Default.mag");
        const QString installedFile = prefix.filePath(QStringLiteral("share/zev-setting/Default.mag"));
        QCOMPARE(factoryDefaultsPaths(bin), (QStringList{file, installedFile}));
        if (present)
            TestFiles::write(file, content);
        if (!installed.isNull())
            TestFiles::write(installedFile, installed);
        Session s;
        fillImage(s, 3);
        const auto before = s.ParamImage;
        s.Rs232Interface = true;
        QCOMPARE(LoadFactoryDefaults(s, bin), loads);
        for (int i = 0; i < 128 && loads; ++i)
            QCOMPARE(int(s.ParamImage[i]), i);
        if (!loads)
            QCOMPARE(s.ParamImage, before);
        QCOMPARE(s.Rs232Interface, !loads);
        QCOMPARE(QFile::exists(file), present); // never created
    }

    void factoryDefaultsAnySeparatorsAndCase()
    {
        QByteArray text = countingImageText().toLower();
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 17; ++c)
                text[r * 51 + c * 3] = ' ';
        QTemporaryDir dir;
        TestFiles::write(dir.filePath(QStringLiteral("Default.mag")), text);
        Session s;
        QVERIFY(LoadFactoryDefaults(s, dir.path()));
        for (int i = 0; i < 128; ++i)
            QCOMPARE(int(s.ParamImage[i]), i);
    }

    void shippedFactoryFileLoadsBesideExecutables()
    {
        const QString shipped = TestFiles::binDir() + QStringLiteral("/Default.mag");
        QCOMPARE(TestFiles::read(shipped), TestFiles::read(TestFiles::sourceDir() + QStringLiteral("/Default.mag")));
        Session s;
        QVERIFY(LoadFactoryDefaults(s, TestFiles::binDir()));
        // Values the windows' Default commands also write.
        QCOMPARE(int(s.ParamImage[16]), 0x04);
        QCOMPARE(int(s.ParamImage[17]), 0x30);
        QCOMPARE(int(s.ParamImage[29]), 0x01);
        QCOMPARE(int(s.ParamImage[57]), 22);
        QCOMPARE(int(s.ParamImage[58]), 4);
    }

    // --- settings files

    void saveThenOpenRoundTrips_data()
    {
        QTest::addColumn<bool>("rtc");
        QTest::addColumn<bool>("mid");
        QTest::addColumn<int>("flagCode");
        QTest::newRow("neither") << false << false << 30;
        QTest::newRow("rtc only") << true << false << 31;
        QTest::newRow("mid only") << false << true << 32;
        QTest::newRow("both") << true << true << 33;
    }
    void saveThenOpenRoundTrips()
    {
        QFETCH(bool, rtc);
        QFETCH(bool, mid);
        QFETCH(int, flagCode);
        const QString file = path(QStringLiteral("round%1.msr").arg(flagCode));
        Session s;
        for (int i = 0; i < 128; ++i)
            s.ParamImage[i] = quint8(16 * (i / 16) + i % 16);
        s.ParamImage[128] = 0x55; // transmit scratch bytes are not part of the file
        s.RtcFlag = rtc;
        s.MidFlag = mid;
        QCOMPARE(SaveSettingsFile(s, m_ui, file), SaveResult::Saved);
        QVERIFY(m_ui.boxes.isEmpty());
        QCOMPARE(TestFiles::read(file), countingImageText() + char(flagCode));

        Session t;
        t.RtcFlag = !rtc;
        t.MidFlag = !mid;
        QCOMPARE(OpenSettingsFile(t, file), OpenResult::Loaded);
        QVERIFY(std::equal(t.ParamImage.begin(), t.ParamImage.begin() + 128, s.ParamImage.begin()));
        QCOMPARE(int(t.ParamImage[128]), 0);
        QCOMPARE(t.RtcFlag, rtc);
        QCOMPARE(t.MidFlag, mid);
    }

    void openImageOnlyKeepsFlags()
    {
        const QString file = path(QStringLiteral("copy-of-default.msr"));
        TestFiles::write(file, countingImageText().toLower());
        Session s;
        s.RtcFlag = true;
        s.MidFlag = false;
        QCOMPARE(OpenSettingsFile(s, file), OpenResult::Loaded);
        QCOMPARE(int(s.ParamImage[0x7F]), 0x7F);
        QCOMPARE(s.RtcFlag, true);
        QCOMPARE(s.MidFlag, false);
    }

    void openRefusesAndChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("result");
        const QByteArray good = countingImageText();
        QTest::newRow("410: line end after the flag") << good + "!\r" << true << int(OpenResult::Refused);
        QTest::newRow("400") << good.left(400) << true << int(OpenResult::Refused);
        QTest::newRow("flag character A") << good + 'A' << true << int(OpenResult::Refused);
        QTest::newRow("flag character NUL") << good + '\0' << true << int(OpenResult::Refused);
        QTest::newRow("empty") << QByteArray() << true << int(OpenResult::ReadError);
        QTest::newRow("missing") << QByteArray() << false << int(OpenResult::ReadError);
    }
    void openRefusesAndChangesNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, present);
        QFETCH(int, result);
        const QString file = path(QStringLiteral("bad.msr"));
        QFile::remove(file);
        if (present)
            TestFiles::write(file, content);
        Session s;
        fillImage(s, 9);
        s.RtcFlag = true;
        s.MidFlag = true;
        const auto before = s.ParamImage;
        QCOMPARE(int(OpenSettingsFile(s, file)), result);
        QCOMPARE(s.ParamImage, before);
        QVERIFY(s.RtcFlag && s.MidFlag);
        QCOMPARE(QFile::exists(file), present);
    }

    void overwriteAskedOnlyForExistingFile()
    {
        const QString file = path(QStringLiteral("existing.msr"));
        const QByteArray old("old contents");
        TestFiles::write(file, old);
        Session s;
        fillImage(s, 1);
        const ScriptedUi::Box question{QStringLiteral("File '") + file
                                           + QStringLiteral("' exist. Do you want to overwrite it ? "),
                                       Ui::Buttons::YesNo, Ui::Icon::None, QStringLiteral("ZEV")};

        m_ui.answer(Ui::Answer::No);
        QCOMPARE(SaveSettingsFile(s, m_ui, file), SaveResult::NotSaved);
        QCOMPARE(m_ui.boxes, QList<ScriptedUi::Box>{question});
        QCOMPARE(TestFiles::read(file), old);

        m_ui.clear();
        m_ui.answer(Ui::Answer::Yes);
        QCOMPARE(SaveSettingsFile(s, m_ui, file), SaveResult::Saved);
        QCOMPARE(m_ui.boxes, QList<ScriptedUi::Box>{question});
        QCOMPARE(TestFiles::read(file).size(), 409);
    }

    void cannotCreateIsNotAnOverwriteQuestion()
    {
        Session s;
        const QString file = path(QStringLiteral("no/such/folder/x.msr"));
        QCOMPARE(SaveSettingsFile(s, m_ui, file), SaveResult::NotSaved);
        QVERIFY(m_ui.boxes.isEmpty());
        QVERIFY(!QFile::exists(file));
    }

    void failedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("precious.msr"));
        const QByteArray old = countingImageText() + char(33);
        TestFiles::write(file, old);
        Session s;
        fillImage(s, 77);
        m_ui.answer(Ui::Answer::Yes);
        SaveResult result;
        {
            FileSizeLimit limit(100);
            result = SaveSettingsFile(s, m_ui, file);
        }
        QCOMPARE(result, SaveResult::Error);
        QCOMPARE(TestFiles::read(file), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("precious.msr")});

        // A new file that cannot be written completely is not left behind either.
        const QString fresh = dir.filePath(QStringLiteral("fresh.msr"));
        {
            FileSizeLimit limit(100);
            result = SaveSettingsFile(s, m_ui, fresh);
        }
        QCOMPARE(result, SaveResult::NotSaved);
        QVERIFY(!QFile::exists(fresh));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "tst_settingsfiles.moc"
