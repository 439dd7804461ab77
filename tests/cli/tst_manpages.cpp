// Every option, command and exit status that a program's --help names must
// be in its manual page, so a new one cannot ship undocumented.
#include "support/TestFiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

using Names = QSet<QString>;

// Options as they appear in running text: "-o", "--no-archive", not "set-clock".
Names options(const QString &text)
{
    static const QRegularExpression option(QStringLiteral("(?:^|[\\s\\[|(,\"'])(--?[A-Za-z][A-Za-z0-9-]*)"));
    Names found;
    for (auto m = option.globalMatch(text); m.hasNext();)
        found.insert(m.next().captured(1));
    return found;
}

// The man source as text: "\-" is a dash, font changes go.
QString manText(const QByteArray &source)
{
    QString t = QString::fromUtf8(source);
    t.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    t.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
    return t;
}

// The lines of one section (".SH NAME" up to the next .SH).
QStringList section(const QString &man, const QString &name)
{
    QStringList lines;
    bool inside = false;
    for (const QString &line : man.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH ")))
            inside = line.mid(4).remove(QLatin1Char('"')) == name;
        else if (inside)
            lines << line;
    }
    return lines;
}

// The first word of every tagged paragraph's tag: the commands and statuses a page lists.
Names tags(const QStringList &lines)
{
    Names found;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines.at(i) != QLatin1String(".TP"))
            continue;
        QString tag = lines.at(i + 1);
        tag.remove(QRegularExpression(QStringLiteral("^\\.B[IR]? ")));
        found.insert(tag.remove(QLatin1Char('"')).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty));
    }
    return found;
}

// The commands of a usage text: lines of two blanks and a lower-case word.
Names commands(const QString &help)
{
    static const QRegularExpression command(QStringLiteral("^  ([a-z][a-z-]*)(?: |$)"), QRegularExpression::MultilineOption);
    Names found;
    for (auto m = command.globalMatch(help); m.hasNext();)
        found.insert(m.next().captured(1));
    return found;
}

// "exit status: 0 done, 1 usage, ..." -> 0, 1, ...
Names statuses(const QString &help)
{
    static const QRegularExpression status(QStringLiteral("(?:: |, |^ *)(\\d+) [a-z]"), QRegularExpression::MultilineOption);
    Names found;
    const qsizetype at = help.indexOf(QLatin1String("exit status:"));
    for (auto m = status.globalMatch(at < 0 ? QString() : help.mid(at)); m.hasNext();)
        found.insert(m.next().captured(1));
    return found;
}

QStringList missing(const Names &wanted, const Names &present)
{
    QStringList absent = (wanted - present).values();
    absent.sort();
    return absent;
}

} // namespace

class TestManPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpIsDocumented_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("commandCount"); // at least; 0: a program without commands
        QTest::addColumn<int>("statusCount");
        QTest::newRow("zevctl") << QStringLiteral("zevctl") << 9 << 8;
        QTest::newRow("zev-setting") << QStringLiteral("zev-setting") << 0 << 0;
        QTest::newRow("zev-scanner-sim") << QStringLiteral("zev-scanner-sim") << 0 << 0;
    }
    void helpIsDocumented()
    {
        QFETCH(QString, program);
        QFETCH(int, commandCount);
        QFETCH(int, statusCount);
        QProcess p;
        p.start(TestFiles::binDir() + QLatin1Char('/') + program, {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString man = manText(TestFiles::read(TestFiles::sourceDir() + QStringLiteral("/packaging/man/") + program
                                                    + QStringLiteral(".1")));
        QVERIFY(man.startsWith(QLatin1String(".TH ")));

        const Names helpOptions = options(help);
        QVERIFY2(helpOptions.contains(QStringLiteral("--help")), qPrintable(help));
        const QStringList undocumented = missing(helpOptions, options(man));
        QVERIFY2(undocumented.isEmpty(), qPrintable(undocumented.join(QLatin1Char(' '))));

        const Names helpCommands = program == QLatin1String("zevctl") ? commands(help) : Names();
        QVERIFY(helpCommands.size() >= commandCount);
        const QStringList commandsMissing = missing(helpCommands, tags(section(man, QStringLiteral("COMMANDS"))));
        QVERIFY2(commandsMissing.isEmpty(), qPrintable(commandsMissing.join(QLatin1Char(' '))));

        const Names helpStatuses = statuses(help);
        QCOMPARE(helpStatuses.size(), statusCount);
        const QStringList statusesMissing = missing(helpStatuses, tags(section(man, QStringLiteral("EXIT STATUS"))));
        QVERIFY2(statusesMissing.isEmpty(), qPrintable(statusesMissing.join(QLatin1Char(' '))));
    }
};

QTEST_GUILESS_MAIN(TestManPages)
#include "tst_manpages.moc"
