#include "app/FlagStore.h"
#include "core/Session.h"
#include "platform/QtSettingsStore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestFlagStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString iniPath() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

private Q_SLOTS:
    void init()
    {
        QFile::remove(iniPath());
    }

    void emptyStoreGivesFalse()
    {
        QtSettingsStore store(iniPath());
        Session s;
        s.RtcFlag = s.MidFlag = true;
        restoreFlags(s, store);
        QCOMPARE(s.RtcFlag, false);
        QCOMPARE(s.MidFlag, false);
    }

    void onlyExactTrueCounts_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("flag");
        QTest::newRow("True") << QStringLiteral("True") << true;
        QTest::newRow("true") << QStringLiteral("true") << false;
        QTest::newRow("TRUE") << QStringLiteral("TRUE") << false;
        QTest::newRow("1") << QStringLiteral("1") << false;
        QTest::newRow("-1") << QStringLiteral("-1") << false;
        QTest::newRow("False") << QStringLiteral("False") << false;
        QTest::newRow("True with blank") << QStringLiteral("True ") << false;
    }
    void onlyExactTrueCounts()
    {
        QFETCH(QString, value);
        QFETCH(bool, flag);
        QtSettingsStore store(iniPath());
        store.saveSetting(QStringLiteral("ZEV1100"), QStringLiteral("Data"), QStringLiteral("RTC"), value);
        store.saveSetting(QStringLiteral("ZEV1100"), QStringLiteral("Data"), QStringLiteral("MID"), QStringLiteral("True"));
        Session s;
        restoreFlags(s, store);
        QCOMPARE(s.RtcFlag, flag);
        QCOMPARE(s.MidFlag, true);
    }

    void storeWritesTrueFalseText()
    {
        {
            QtSettingsStore store(iniPath());
            Session s;
            s.RtcFlag = true;
            s.MidFlag = false;
            storeFlags(s, store);
        }
        QtSettingsStore reread(iniPath());
        QCOMPARE(reread.getSetting(QStringLiteral("ZEV1100"), QStringLiteral("Data"), QStringLiteral("RTC"), {}),
                 QStringLiteral("True"));
        QCOMPARE(reread.getSetting(QStringLiteral("ZEV1100"), QStringLiteral("Data"), QStringLiteral("MID"), {}),
                 QStringLiteral("False"));
        Session t;
        restoreFlags(t, reread);
        QCOMPARE(t.RtcFlag, true);
        QCOMPARE(t.MidFlag, false);
    }

    void nativeStoreUsesTheUserConfigFolder()
    {
        // The test runner points the per-user store at a scratch folder; the
        // real store must land there, not in the user's own settings.
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(!config.isEmpty());
        QtSettingsStore store;
        store.saveSetting(QStringLiteral("ZEV1100"), QStringLiteral("Data"), QStringLiteral("MID"), QStringLiteral("True"));
        QSettings check(QSettings::UserScope, QStringLiteral("ZEV"), QStringLiteral("ZEV1100"));
        QVERIFY2(check.fileName().startsWith(config), qPrintable(check.fileName()));
        QCOMPARE(check.value(QStringLiteral("Data/MID")).toString(), QStringLiteral("True"));
    }
};

QTEST_GUILESS_MAIN(TestFlagStore)
#include "tst_flagstore.moc"
