#include "cli/Station.h"

#include "cli/ZevCtl.h"
#include "link/Frames.h"
#include "platform/QtSettingsStore.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Station {

Step PortWatch::probed(Probe probe, qint64 nowMs, qint64 everyMs, const QString &problem)
{
    Step step;
    if (probe == Probe::CannotOpen) {
        if (problem != m_problem)
            step.say = QStringLiteral("cannot open %1").arg(problem);
        m_problem = problem;
    } else if (probe == Probe::Missing) {
        // An adapter unplugged is a normal state of a station: said once, then waited for.
        if (!m_problem.isEmpty() && problem != m_problem)
            step.say = QStringLiteral("the device is gone; waiting for it");
        else if (m_problem.isEmpty())
            step.say = QStringLiteral("no device; waiting for it");
        m_problem = problem;
    } else if (!m_problem.isEmpty()) {
        step.say = QStringLiteral("the port opens again");
        m_problem.clear();
    }

    if (probe == Probe::Talking) {
        // Neither an answer nor an absence: the scanner is there, sending what nobody reads.
        if (!m_talkingSaid)
            step.say = QStringLiteral("the line is still sending; waiting for it to be quiet");
        m_talkingSaid = true;
        m_silentProbes = 0;
        return step;
    }
    m_talkingSaid = false;

    if (probe != Probe::Answered) {
        if (m_docked && ++m_silentProbes >= 2) {
            m_docked = false;
            m_silentProbes = 0;
            step.say = QStringLiteral("the scanner left the port");
        }
        return step;
    }
    m_silentProbes = 0;
    if (!m_docked) {
        step.collect = true;
        step.say = QStringLiteral("a scanner answers: collecting");
    } else if (everyMs > 0 && nowMs - m_collectedAt >= everyMs) {
        step.collect = true;
        step.say = QStringLiteral("still docked since the last collection: collecting again");
    }
    return step;
}

void PortWatch::collected(qint64 nowMs)
{
    m_docked = true;
    m_silentProbes = 0;
    m_collectedAt = nowMs;
}

namespace {

QString yesNo(bool b)
{
    return b ? QStringLiteral("true") : QStringLiteral("false");
}

bool toNumber(const QString &text, double min, double max, double &out)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !(v >= min && v <= max))
        return false;
    out = v;
    return true;
}

} // namespace

QList<QPair<QString, QString>> toSettings(const Options &o)
{
    return {{QStringLiteral("ports"), o.ports.join(QLatin1Char(','))},
            {QStringLiteral("password"), o.password},
            {QStringLiteral("erase"), yesNo(o.erase)},
            {QStringLiteral("set-clock"), yesNo(o.setClock)},
            {QStringLiteral("export-dir"), o.exportDir},
            {QStringLiteral("format"), o.format},
            {QStringLiteral("exec"), o.exec},
            {QStringLiteral("interval"), QString::number(o.intervalSeconds)},
            {QStringLiteral("every"), QString::number(o.everyMinutes)}};
}

Options fromSettings(const std::function<QString(const QString &key)> &get)
{
    Options o;
    const QString ports = get(QStringLiteral("ports"));
    o.ports = ports.split(QLatin1Char(','), Qt::SkipEmptyParts);
    o.password = get(QStringLiteral("password"));
    o.erase = get(QStringLiteral("erase")) == QLatin1String("true");
    o.setClock = get(QStringLiteral("set-clock")) == QLatin1String("true");
    o.exportDir = get(QStringLiteral("export-dir"));
    if (const QString f = get(QStringLiteral("format")); !f.isEmpty())
        o.format = f;
    o.exec = get(QStringLiteral("exec"));
    // An interval that does not read as a number becomes 0, which check() refuses.
    if (const QString s = get(QStringLiteral("interval")); !s.isEmpty())
        o.intervalSeconds = s.toDouble();
    if (const QString s = get(QStringLiteral("every")); !s.isEmpty())
        o.everyMinutes = s.toDouble();
    return o;
}

bool parseArgs(QStringList args, Options &o, bool &save, QString &error)
{
    bool portsGiven = false;
    while (!args.isEmpty()) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--erase") || opt == QLatin1String("--set-clock") || opt == QLatin1String("--save")) {
            (opt == QLatin1String("--erase") ? o.erase : opt == QLatin1String("--set-clock") ? o.setClock : save) = true;
            continue;
        }
        static const QStringList valued{QStringLiteral("--port"), QStringLiteral("--password"),
                                        QStringLiteral("--export-dir"), QStringLiteral("--format"),
                                        QStringLiteral("--exec"), QStringLiteral("--interval"), QStringLiteral("--every")};
        if (!valued.contains(opt) || args.isEmpty()) {
            error = QStringLiteral("unknown or incomplete option %1").arg(opt);
            return false;
        }
        const QString value = args.takeFirst();
        if (opt == QLatin1String("--port")) {
            // Ports on the command line replace those of the settings.
            if (!portsGiven)
                o.ports.clear();
            portsGiven = true;
            o.ports << value;
        } else if (opt == QLatin1String("--password")) {
            o.password = value;
        } else if (opt == QLatin1String("--export-dir")) {
            o.exportDir = value;
        } else if (opt == QLatin1String("--format")) {
            o.format = value;
        } else if (opt == QLatin1String("--exec")) {
            o.exec = value;
        } else if (opt == QLatin1String("--interval") ? !toNumber(value, 0.1, 3600, o.intervalSeconds)
                                                      : !toNumber(value, 0, 7 * 24 * 60, o.everyMinutes)) {
            error = opt == QLatin1String("--interval") ? QStringLiteral("--interval takes seconds from 0.1 to 3600")
                                                       : QStringLiteral("--every takes minutes from 0 (never) to 10080");
            return false;
        }
    }
    return true;
}

QString check(const Options &o)
{
    if (o.ports.isEmpty())
        return QStringLiteral("no port to watch: give --port (once per port) or save them with watch --save");
    if (QStringList(o.ports).removeDuplicates() > 0)
        return QStringLiteral("a port is named twice");
    if (o.password.isEmpty())
        return QStringLiteral("the scanners' password is needed: --password PW");
    if (!Link::isPasswordText(o.password))
        return QStringLiteral("--password takes up to 8 letters and digits");
    if (o.format != QLatin1String("csv") && o.format != QLatin1String("json") && o.format != QLatin1String("text"))
        return QStringLiteral("--format takes csv, json or text");
    if (!(o.intervalSeconds >= 0.1 && o.intervalSeconds <= 3600))
        return QStringLiteral("the interval is %1 s: it must be from 0.1 to 3600").arg(o.intervalSeconds);
    if (!(o.everyMinutes >= 0 && o.everyMinutes <= 7 * 24 * 60))
        return QStringLiteral("every %1 minutes: it must be from 0 (never) to 10080").arg(o.everyMinutes);
    return QString();
}

namespace {

const QString SettingsApp = QStringLiteral("ZEV1100");
const QString Section = QStringLiteral("Station");

// Why the settings file may not hold the password, or an empty string.
QString exposed(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("cannot check %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if ((st.st_mode & 0777) != 0600 || st.st_uid != geteuid())
        return QStringLiteral("the password in %1 is not used: the file's permissions are %2, and only its owner "
                              "may read and write it (chmod 600 %1)")
            .arg(path)
            .arg(st.st_mode & 0777, 4, 8, QLatin1Char('0'));
#else
    Q_UNUSED(path);
#endif
    return QString();
}

} // namespace

int load(const QStringList &args, const QStringList &ports, const QString &password, Options &o, bool &save,
         QString &error)
{
    QtSettingsStore store;
    o = fromSettings([&store](const QString &key) { return store.getSetting(SettingsApp, Section, key, QString()); });
    const QString saved = o.password;
    o.password = password;
    if (!ports.isEmpty())
        o.ports = ports;
    if (!parseArgs(args, o, save, error))
        return ZevCtl::Usage;
    if (o.password.isEmpty() && !saved.isEmpty()) {
        if (error = exposed(store.location(SettingsApp)); !error.isEmpty())
            return ZevCtl::FileError;
        o.password = saved;
    }
    if (error = check(o); !error.isEmpty())
        return ZevCtl::Usage;
    if (!o.exportDir.isEmpty() && !QFileInfo(o.exportDir).isDir()) {
        error = QStringLiteral("--export-dir %1 is not a folder").arg(o.exportDir);
        return ZevCtl::Usage;
    }
    return ZevCtl::Done;
}

bool save(const Options &o, QString &path, QString &error)
{
    QtSettingsStore store;
    for (const auto &entry : toSettings(o))
        store.saveSetting(SettingsApp, Section, entry.first, entry.second);
    path = store.location(SettingsApp);
    if (QFileInfo(path).isFile() && !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner)) {
        error = QStringLiteral("the settings are saved in %1, but its permissions could not be set to 0600").arg(path);
        return false;
    }
    return true;
}

} // namespace Station
