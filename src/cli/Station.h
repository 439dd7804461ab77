#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

// The collection station's rules, apart from ports and threads: when a port's
// scanner is collected, and what its options are.
namespace Station {

// What one probe of a port found.
enum class Probe {
    Answered,   // a scanner replied to the probe frame
    Silent,     // the port opened and nothing replied
    Missing,    // the device is not there (an adapter unplugged)
    CannotOpen, // the device is there and cannot be opened
    Talking,    // the line was still sending when the probe began (a stream nobody reads)
};

// What the station does after a probe: collect, and the line to log (empty: none).
struct Step
{
    bool collect = false;
    QString say;
};

// One port: a scanner answering is collected once, then again only after it
// stopped answering for two probes in a row, or everyMs after its last
// collection when everyMs > 0.
class PortWatch
{
public:
    Step probed(Probe probe, qint64 nowMs, qint64 everyMs = 0, const QString &problem = QString());
    // A collection ended, whatever came of it.
    void collected(qint64 nowMs);
    bool docked() const { return m_docked; }

private:
    bool m_docked = false;
    int m_silentProbes = 0;
    qint64 m_collectedAt = 0;
    QString m_problem; // the last problem said, so that it is said once
    bool m_talkingSaid = false;
};

// watch's options, from the settings section "Station" and the command line.
struct Options
{
    QStringList ports;
    QString password;
    bool erase = false;
    bool setClock = false;
    QString exportDir;
    QString format = QStringLiteral("csv");
    QString exec;
    double intervalSeconds = 2;
    double everyMinutes = 0; // 0: a docked scanner is collected once

    qint64 intervalMs() const { return qint64(intervalSeconds * 1000); }
    qint64 everyMs() const { return qint64(everyMinutes * 60000); }
};

// The settings keys and their values as text, in a fixed order.
QList<QPair<QString, QString>> toSettings(const Options &o);
// Reads what toSettings wrote; get returns the value of a key, or a null string.
Options fromSettings(const std::function<QString(const QString &key)> &get);

// Takes watch's options out of args over o; false with the reason in error.
// save is set by --save.
bool parseArgs(QStringList args, Options &o, bool &save, QString &error);
// What makes options unusable (no port, a bad interval), or an empty string.
QString check(const Options &o);

// watch's options: the settings section "Station", then ports and password (the
// options before "watch"), then args. The password is taken from the settings
// only when the file is its owner's alone (0600). Returns 0, or the exit status
// with the reason in error.
int load(const QStringList &args, const QStringList &ports, const QString &password, Options &o, bool &save,
         QString &error);
// Writes o into the settings section and makes the file its owner's alone;
// path gets the file's name.
bool save(const Options &o, QString &path, QString &error);

} // namespace Station
