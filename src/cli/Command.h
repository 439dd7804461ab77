#pragma once

#include "collect/RecordExport.h"
#include "core/Session.h"
#include "cli/StderrProgress.h"
#include "image/ImageText.h"
#include "link/QuietLine.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"

#include <QDate>
#include <QIODevice>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// What every zevctl command shares: its words, where it speaks, and the line
// to the scanner that --port names.
namespace ZevCtl {

void say(QIODevice &dev, const QString &text);

// An environment variable set to "1" while the object lives, unless the caller
// of zevctl set it; the programs a station runs get the caller's environment.
class DefaultEnvironment
{
public:
    explicit DefaultEnvironment(const char *name);
    ~DefaultEnvironment();
    DefaultEnvironment(const DefaultEnvironment &) = delete;
    DefaultEnvironment &operator=(const DefaultEnvironment &) = delete;

private:
    const char *m_name;
    bool m_ours;
};
// The device is a file descriptor on a terminal.
bool isTerminal(const QIODevice &dev);
QString hex(const QByteArray &bytes);

// One command's words and where it speaks.
struct Command
{
    QString name;
    QStringList args;
    QString portOption;
    QString password;
    QIODevice &out;
    QIODevice &err;
    QString ledgerUrl; // --ledger; empty: the setting, else the default SQLite file
    bool noLedger = false;
    // Some frame went to the scanner (told when a signal stops the command).
    mutable bool frameSent = false;

    int fail(int status, const QString &text) const;
    // Writes to stdout; a failed or short write (a full disk, a closed pipe) is a file error.
    int print(const QByteArray &bytes) const;
    int print(const QString &text) const { return print(text.toLocal8Bit()); }
    // Takes a flag such as --yes out of args.
    bool flag(const QString &f) { return args.removeAll(f) > 0; }
    // Takes "-o FILE" style options out of args; false when the value is missing.
    bool option(const QString &o, QString &value);
};

// The line to the scanner as --port names it: a COM number, or a device path taken as COM 1.
struct Line
{
    QtSettingsStore store;
    PortNames names{&store};
    // No window to keep alive: waits sleep on the port.
    QtClock clock{QtClock::Waits::Sleep};
    Session session;

    explicit Line(const Command &c);
    ~Line();
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;
    // Owned by the line, which outlives every exchange of the command.
    QtSerialPort *makePort();
    // The password the frames carry, padded as the login box pads it.
    void setPassword(const QString &password);
    QString device() const { return names.deviceFor(session.CommPortNumber); }

    // A port that could not be opened (2) or failed once open (4), in plain
    // words: the device, the operating system's reason and a hint.
    int portFailed(const Command &c, const SerialPort &port, const SerialPort *other = nullptr) const;
    // A line that never went quiet before the first frame (4).
    int stillSending(const Command &c, qint64 discarded) const;

private:
    const Command &m_command;
    std::vector<std::unique_ptr<QtSerialPort>> m_ports;
    StderrProgress m_draining;
    QuietLine::Observer m_observer;
};

// "SIGTERM" and its kin.
QString signalName(int signal);

// Why a --port value cannot name a port (empty when it can): COM numbers run
// from 1 to 16, and a device name has no blanks at its ends and no control characters.
QString portOptionProblem(const QString &port);

// Reads a settings file the way the program would take it; nullopt (and a
// reason on err) when it would refuse it.
std::optional<ImageText::SettingsContent> readSettingsFile(const Command &c, const QString &path);

// -o and --raw: a file written whole, or a device or pipe written in place.
int writeFile(const Command &c, const QString &path, const QByteArray &bytes);

// What download, collect and assemble write, and where.
struct RecordsOutput
{
    bool rtc = false;
    bool mid = false;
    RecordExport::Format format = RecordExport::Format::Text;
    QString path; // empty: stdout; a directory: a file named by the machine ID in it
    int year = QDate::currentDate().year(); // the PC's, for the first timestamp's check
};

struct DownloadOptions
{
    RecordsOutput output;
    QString rawFile;
    bool noArchive = false;
    bool writeOutput = true; // false: the records go to the store alone
    int seconds = 3600;
};
// Takes download's options out of args; false (after saying why) on a usage error.
bool takeDownloadOptions(Command &c, DownloadOptions &d);

struct LedgerStep;
// The download itself: archive, record in the store, write the outputs; the
// exit status of download.
int downloadRecords(Command &c, const DownloadOptions &d, Line &line, LedgerStep &step);
// collect's steps on a scanner already named by line: download, record, and
// only after a complete, recorded download erase and set the clock.
struct CollectOptions
{
    bool erase = false;
    bool setClock = false;
    DownloadOptions download;
};
int collectScanner(Command &c, const CollectOptions &o, Line &line, LedgerStep &step);
// The erase and the clock of a scanner already named by line.
int eraseScanner(Command &c, Line &line);
int setScannerClock(Command &c, Line &line);

// The commands, one routine each; c.args holds what follows the command's name.
int show(Command &c);
int login(Command &c);
int transmit(Command &c);
int download(Command &c);
int assemble(Command &c);
int erase(Command &c);
int setClock(Command &c);
int passwd(Command &c);
int ports(Command &c);
int collect(Command &c);
int records(Command &c);
// The collection station on every port of ports (those before the command's name) and those it names.
int watch(Command &c, const QStringList &ports);

} // namespace ZevCtl
