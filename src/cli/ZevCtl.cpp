#include "cli/ZevCtl.h"

#include "core/Session.h"
#include "cli/ManyPorts.h"
#include "cli/StderrProgress.h"
#include "collect/ClockExchange.h"
#include "collect/DownloadArchive.h"
#include "collect/DownloadExchange.h"
#include "collect/EraseExchange.h"
#include "collect/PasswordCheck.h"
#include "collect/RecordAssembler.h"
#include "collect/RecordExport.h"
#include "image/ImageText.h"
#include "image/SettingsFile.h"
#include "link/ChangePasswordExchange.h"
#include "link/Frames.h"
#include "link/LoginExchange.h"
#include "link/TransmitExchange.h"
#include "platform/PortDiscovery.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "platform/UserFile.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <optional>

namespace ZevCtl {

namespace {

// The most assemble reads of a raw download: some days of a scanner talking
// without a pause, and still little memory.
constexpr qint64 RawLimit = qint64(256) << 20;

void say(QIODevice &dev, const QString &text)
{
    dev.write(text.toLocal8Bit());
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ')).toUpper();
}

// One command's words and where it speaks.
struct Command
{
    QString name;
    QStringList args;
    QString portOption;
    QString password;
    QIODevice &out;
    QIODevice &err;

    int fail(int status, const QString &text) const
    {
        say(err, QStringLiteral("zevctl %1: %2\n").arg(name, text));
        return status;
    }
    // Writes to stdout; a failed or short write (a full disk, a closed pipe) is a file error.
    int print(const QByteArray &bytes) const
    {
        if (const QString error = UserFile::writeAll(out, bytes); !error.isEmpty())
            return fail(FileError, QStringLiteral("cannot write the output: ") + error);
        return Done;
    }
    int print(const QString &text) const { return print(text.toLocal8Bit()); }
    // Takes a flag such as --yes out of args.
    bool flag(const QString &f)
    {
        return args.removeAll(f) > 0;
    }
    // Takes "-o FILE" style options out of args; false when the value is missing.
    bool option(const QString &o, QString &value)
    {
        const qsizetype i = args.indexOf(o);
        if (i < 0)
            return true;
        if (i + 1 >= args.size())
            return false;
        value = args.at(i + 1);
        args.remove(i, 2);
        return true;
    }
};

// The line to the scanner as --port names it: a COM number, or a device path taken as COM 1.
struct Line
{
    QtSettingsStore store;
    PortNames names{&store};
    QtClock clock;
    Session session;

    Line(const Command &c)
    {
        bool isNumber = false;
        const int n = c.portOption.toInt(&isNumber);
        if (!c.portOption.isEmpty() && !(isNumber && n > 0))
            names.setOverride(1, c.portOption);
        session.CommPortNumber = qint16(isNumber && n > 0 ? n : 1);
        session.LoginPassword = c.password;
        int sum = 0;
        PadPassword(session.LoginPassword, sum);
    }
    std::unique_ptr<QtSerialPort> makePort()
    {
        auto port = std::make_unique<QtSerialPort>(names);
        port->setPortNumber(session.CommPortNumber);
        port->setSettings(Link::LineSettings);
        port->setInputBufferSize(2048);
        return port;
    }
    QString device() const { return names.deviceFor(session.CommPortNumber); }

    // A port that could not be opened (2) or failed once open (4), in plain
    // words: the device, the operating system's reason and a hint.
    int portFailed(const Command &c, const SerialPort &port, const SerialPort *other = nullptr) const
    {
        PortProblem p = port.problem();
        if (p.isNone() && other)
            p = other->problem();
        if (p.device.isEmpty())
            p.device = device();
        if (p.kind == PortProblem::Lost)
            return c.fail(NoReply, QStringLiteral("the line failed: ") + p.line());
        return c.fail(PortCannotOpen, QStringLiteral("cannot open ") + p.line());
    }
};

// Reads a settings file the way the program would take it; nullopt (and a
// reason on err) when it would refuse it.
std::optional<ImageText::SettingsContent> readSettingsFile(const Command &c, const QString &path)
{
    const SettingsFileRead read = ReadSettingsFile(path);
    if (read.result == OpenResult::ReadError)
        c.fail(FileError, QStringLiteral("cannot read %1: %2").arg(path, read.reason));
    else if (!read.content)
        c.fail(FileError, QStringLiteral("%1 is not a settings file: %2").arg(path, read.reason));
    return read.content;
}

// -o and --raw: a file written whole, or a device or pipe written in place.
int writeFile(const Command &c, const QString &path, const QByteArray &bytes)
{
    if (const QString error = UserFile::write(path, bytes); !error.isEmpty())
        return c.fail(FileError, QStringLiteral("cannot write %1: %2").arg(path, error));
    return Done;
}

int show(Command &c)
{
    if (c.args.size() != 1)
        return c.fail(Usage, QStringLiteral("expected one FILE"));
    const auto content = readSettingsFile(c, c.args.first());
    if (!content)
        return FileError;
    QByteArray listing;
    for (int r = 0; r < 8; ++r) {
        for (int col = 0; col < 16; ++col) {
            if (col)
                listing += ' ';
            listing += QByteArray::number(content->image[16 * r + col], 16).rightJustified(2, '0').toUpper();
        }
        listing += '\n';
    }
    auto text = [](bool b) { return b ? QByteArrayLiteral("True") : QByteArrayLiteral("False"); };
    if (content->flags)
        listing += "RtcFlag=" + text(content->flags->rtc) + " MidFlag=" + text(content->flags->mid) + '\n';
    else
        listing += "no flags\n";
    return c.print(listing);
}

int login(Command &c)
{
    if (!c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("takes no arguments"));
    Line line(c);
    auto port = line.makePort();
    const LoginResult r = runLoginExchange(*port, line.clock, c.password);
    switch (r.kind) {
    case LoginResult::Acknowledged:
        return c.print(QStringLiteral("login acknowledged\n"));
    case LoginResult::Refused:
        return c.fail(Refused, QStringLiteral("the scanner refused the password (%1 tries)").arg(r.sends));
    case LoginResult::NoReply:
        return c.fail(NoReply, QStringLiteral("no reply from the scanner on %1").arg(line.device()));
    case LoginResult::OtherReply:
        return c.fail(UnexpectedReply, QStringLiteral("unexpected reply %1").arg(hex(r.reply)));
    case LoginResult::PortError:
        break;
    }
    return line.portFailed(c, *port);
}

int transmit(Command &c)
{
    if (c.args.size() != 1)
        return c.fail(Usage, QStringLiteral("expected one FILE"));
    const auto content = readSettingsFile(c, c.args.first());
    if (!content)
        return FileError;
    Line line(c);
    auto port = line.makePort();
    if (!port->open())
        return line.portFailed(c, *port);
    port->discardInput();
    const TransmitResult r = runTransmitExchange(*port, line.clock, line.session.LoginPassword, content->image.data());
    switch (r.kind) {
    case TransmitResult::Acknowledged:
        return c.print(QStringLiteral("transmit acknowledged\n"));
    case TransmitResult::OtherReply:
        // Only AckFrame means accepted; the negative reply is the scanner's own refusal.
        return c.fail(r.reply == Link::NakFrame ? Refused : UnexpectedReply,
                      QStringLiteral("the scanner did not accept the settings (reply %1)").arg(hex(r.reply)));
    case TransmitResult::TimedOut:
        return c.fail(NoReply, QStringLiteral("no reply within 3 s"));
    case TransmitResult::LineFailed:
        break;
    }
    return line.portFailed(c, *port);
}

// What download and assemble write, and where.
struct RecordsOutput
{
    bool rtc = false;
    bool mid = false;
    RecordExport::Format format = RecordExport::Format::Text;
    QString path; // empty: stdout; a directory: a file named by the machine ID in it
};

// Takes --rtc, --mid, --format and -o out of args; false on a missing or unknown value.
bool takeRecordsOptions(Command &c, RecordsOutput &o)
{
    o.rtc = c.flag(QStringLiteral("--rtc"));
    o.mid = c.flag(QStringLiteral("--mid"));
    QString format = QStringLiteral("text");
    return c.option(QStringLiteral("-o"), o.path) && c.option(QStringLiteral("--format"), format)
        && RecordExport::parseFormat(format, o.format);
}

// In a directory, the file takes the machine ID's name; a name already there is
// never replaced (two scanners may share an ID), the next free "-2", "-3" is taken.
QString fileInDirectory(const QString &dir, const RecordAssembler::Records &records, RecordExport::Format format)
{
    QString id = DownloadArchive::safeName(records.machineId);
    if (id.isEmpty())
        id = QStringLiteral("download");
    const QString base = dir + QLatin1Char('/') + id;
    const QString ext = QLatin1Char('.') + RecordExport::extension(format);
    QFile claim;
    return UserFile::createNew(claim, base, ext) ? claim.fileName() : base + ext;
}

// Writes an assembled download as text, CSV or JSON to -o or stdout.
int writeRecords(Command &c, const RecordAssembler::Result &r, const RecordsOutput &o, bool complete)
{
    QByteArray bytes;
    switch (o.format) {
    case RecordExport::Format::Text: bytes = r.text; break;
    case RecordExport::Format::Csv: bytes = RecordExport::csv(r.download); break;
    case RecordExport::Format::Json: bytes = RecordExport::json(r.download, complete); break;
    }
    if (o.path.isEmpty())
        return c.print(bytes);
    const QString path = QFileInfo(o.path).isDir() ? fileInDirectory(o.path, r.download, o.format) : o.path;
    const int status = writeFile(c, path, bytes);
    if (status != Done && path != o.path)
        QFile::remove(path); // the name claimed in the directory
    return status;
}

// The archive comes before anything else is written; its failure is told and
// the download goes on.
void archive(Command &c, const QByteArray &stream)
{
    const DownloadArchive::Saved saved = DownloadArchive::save(stream, QDateTime::currentDateTime());
    if (!saved.ok)
        say(c.err, QStringLiteral("zevctl %1: the download was not archived in %2: %3\n")
                       .arg(c.name, DownloadArchive::folder(), saved.error));
}

int download(Command &c)
{
    RecordsOutput o;
    QString rawFile;
    const bool noArchive = c.flag(QStringLiteral("--no-archive"));
    QString timeout = QStringLiteral("3600");
    bool timeoutOk = false;
    if (!takeRecordsOptions(c, o) || !c.option(QStringLiteral("--raw"), rawFile)
        || !c.option(QStringLiteral("--timeout"), timeout) || !c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("usage: download [--rtc] [--mid] [--format text|csv|json] [-o FILE|DIR] "
                                            "[--raw FILE] [--timeout SECONDS] [--no-archive]"));
    const int seconds = timeout.toInt(&timeoutOk);
    if (!timeoutOk || seconds < 1)
        return c.fail(Usage, QStringLiteral("--timeout takes a whole number of seconds, at least 1"));
    Line line(c);
    auto check = line.makePort();
    auto data = line.makePort();
    DownloadProgress progress;
    StderrProgress shown(c.err);
    if (shown.active())
        progress.received = [&shown](const QByteArray &soFar) { shown.update(soFar); };
    const DownloadStream s = receiveDownload(*check, *data, line.clock, line.session, progress, qint64(seconds) * 1000);
    shown.finish();
    if (s.kind == DownloadStream::CheckFailed)
        return c.fail(NoReply, QStringLiteral("no answer to the password frame on %1").arg(line.device()));
    // Could not be opened (2) or lost before the download began (4).
    if (s.kind == DownloadStream::PortError)
        return line.portFailed(c, *check, data.get());
    if (!noArchive && !s.bytes.isEmpty() && !s.refused())
        archive(c, s.bytes);
    // Every byte received is kept, whatever follows.
    if (!rawFile.isEmpty())
        if (const int status = writeFile(c, rawFile, s.bytes); status != Done)
            return status;
    const QString how = s.end == DownloadStream::LineFailed ? QStringLiteral("the line failed: ") + s.error
                      : s.end == DownloadStream::Stopped   ? QStringLiteral("stopped after %1 s").arg(seconds)
                                                            : QString();
    if (s.bytes.isEmpty())
        return c.fail(NoReply, how.isEmpty() ? QStringLiteral("nothing came after the download request")
                                             : QStringLiteral("nothing came after the download request (%1)").arg(how));
    if (s.refused())
        return c.fail(Refused, QStringLiteral("the scanner refused the download (wrong password)"));
    const RecordAssembler::Result r = RecordAssembler::assemble(s.bytes, o.mid, o.rtc, QDate::currentDate().year());
    if (!r.ok()) {
        // A header cut by a lost line or a stop is no reply, not a wrong one.
        const int status = how.isEmpty() ? UnexpectedReply : NoReply;
        return c.fail(status, QStringLiteral("the download cannot be read: ") + r.description
                                  + (how.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(how)));
    }
    if (const int status = writeRecords(c, r, o, !s.incomplete(r)); status != Done)
        return status;
    if (s.incomplete(r))
        return c.fail(Incomplete, QStringLiteral("download incomplete: received %1 of %2 records%3")
                                      .arg(r.terminated)
                                      .arg(r.announced)
                                      .arg(how.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(how)));
    return Done;
}

int assemble(Command &c)
{
    RecordsOutput o;
    if (!takeRecordsOptions(c, o) || c.args.size() != 1)
        return c.fail(Usage, QStringLiteral("usage: assemble RAW [--rtc] [--mid] [--format text|csv|json] [-o FILE]"));
    const UserFile::ReadResult raw = UserFile::read(c.args.first(), RawLimit);
    if (!raw.error.isEmpty())
        return c.fail(FileError, QStringLiteral("cannot read %1: %2").arg(c.args.first(), raw.error));
    if (raw.tooLong)
        return c.fail(FileError, QStringLiteral("%1 is larger than a raw download may be (%2 MB)")
                                     .arg(c.args.first())
                                     .arg(RawLimit >> 20));
    const RecordAssembler::Result r = RecordAssembler::assemble(raw.bytes, o.mid, o.rtc, QDate::currentDate().year());
    if (!r.ok())
        return c.fail(UnexpectedReply, QStringLiteral("the download cannot be read: ") + r.description);
    return writeRecords(c, r, o, r.terminated >= r.announced);
}

int erase(Command &c)
{
    if (!c.flag(QStringLiteral("--yes")) || !c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("erases every record in the scanner; confirm with --yes"));
    Line line(c);
    auto port = line.makePort();
    const EraseResult r = runEraseExchange(*port, line.clock, line.session);
    switch (r.kind) {
    case EraseResult::Erased:
        return c.print(QStringLiteral("erased\n"));
    case EraseResult::NoAnswer:
        return c.fail(NoReply, QStringLiteral("no answer from the scanner on %1").arg(line.device()));
    case EraseResult::OtherReply:
        return c.fail(r.reply == Link::NakFrame ? Refused : UnexpectedReply,
                      QStringLiteral("the scanner did not confirm the erase (reply %1)").arg(hex(r.reply)));
    case EraseResult::PortError:
        break;
    }
    return line.portFailed(c, *port);
}

// The password check that comes before a clock or password change; Done when it passed.
int passwordCheck(Command &c, Line &line, PasswordCheckVariant variant)
{
    auto port = line.makePort();
    const PasswordCheckResult r = runPasswordCheck(*port, line.clock, line.session, variant);
    if (r.kind == PasswordCheckResult::PortError)
        return line.portFailed(c, *port);
    if (!r.passed())
        return c.fail(NoReply, QStringLiteral("no answer to the password frame on %1").arg(line.device()));
    return Done;
}

int setClock(Command &c)
{
    if (!c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("takes no arguments"));
    Line line(c);
    if (const int status = passwordCheck(c, line, PasswordCheckVariant::Clock); status != Done)
        return status;
    auto port = line.makePort();
    const QDateTime now = line.clock.now();
    const ClockSyncResult r = runClockSync(*port, line.clock, line.session, now);
    const QString setTo = QStringLiteral("clock set to %1\n").arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    switch (r.kind) {
    case ClockSyncResult::Synchronised:
        return c.print(setTo);
    case ClockSyncResult::NotAcknowledged:
        return c.fail(r.reply == Link::NakFrame ? Refused : UnexpectedReply,
                      QStringLiteral("the clock was not set (reply %1)").arg(hex(r.reply)));
    case ClockSyncResult::NoAnswer:
        return c.fail(NoReply, QStringLiteral("no answer to the set-clock frame"));
    case ClockSyncResult::ReadBackTimedOut:
        return c.fail(NoReply, QStringLiteral("the clock could not be read back within 3 s"));
    case ClockSyncResult::PortError:
        if (r.acknowledged) {
            say(c.err, QStringLiteral("zevctl set-clock: the scanner acknowledged the clock, but the line failed "
                                      "before it could be read back: %1\n").arg(r.error));
            return c.print(setTo);
        }
        break;
    }
    return line.portFailed(c, *port);
}

int passwd(Command &c)
{
    if (c.args.size() != 1 || !Link::isPasswordText(c.args.first()))
        return c.fail(Usage, QStringLiteral("expected the new password: up to 8 letters and digits"));
    Line line(c);
    if (const int status = passwordCheck(c, line, PasswordCheckVariant::ChangePassword); status != Done)
        return status;
    auto port = line.makePort();
    const ChangePasswordResult r = runChangePasswordExchange(*port, line.clock, line.session.CommPortNumber,
                                                             c.password, c.args.first());
    // Only whole acknowledgements count: a late one to the password check may come first.
    if (r.kind == ChangePasswordResult::Changed || Link::isAcknowledgement(r.reply))
        return c.print(QStringLiteral("password changed\n"));
    switch (r.kind) {
    case ChangePasswordResult::Changed:
    case ChangePasswordResult::Refused:
        return c.fail(Refused, QStringLiteral("the scanner refused the current password"));
    case ChangePasswordResult::NoAnswer:
        return c.fail(NoReply, QStringLiteral("no answer from the scanner"));
    case ChangePasswordResult::OtherReply:
        return c.fail(UnexpectedReply, QStringLiteral("unexpected reply %1").arg(hex(r.reply)));
    case ChangePasswordResult::PortError:
        break;
    }
    return line.portFailed(c, *port);
}

// The ports the system reports, then what each COM number means and why;
// --map and --unmap change the per-user setting first.
int ports(Command &c)
{
    QString map;
    QString unmap;
    if (!c.option(QStringLiteral("--map"), map) || !c.option(QStringLiteral("--unmap"), unmap) || !c.args.isEmpty()
        || (!map.isEmpty() && !unmap.isEmpty()))
        return c.fail(Usage, QStringLiteral("usage: ports [--map N=DEVICE | --unmap N]"));
    Line line(c);
    int n = 0;
    QString device;
    bool ok = true;
    if (!unmap.isEmpty())
        n = unmap.toInt(&ok);
    if (!map.isEmpty())
        ok = PortNames::parseMapping(map, n, device);
    if (!ok || n > PortNames::Count || (n < 1 && (!map.isEmpty() || !unmap.isEmpty())))
        return c.fail(Usage, QStringLiteral("COM numbers go from 1 to %1: --map N=DEVICE, --unmap N").arg(PortNames::Count));
    if (n > 0) {
        line.names.store(n, device);
        const PortNames::Mapping m = line.names.lookup(n);
        if (m.source == PortNames::Source::Option || m.source == PortNames::Source::Environment)
            say(c.err, QStringLiteral("zevctl ports: stored, but the %1 makes COM %2 %3 for now\n")
                           .arg(PortNames::sourceName(m.source)).arg(n).arg(m.device));
    }
    QString text = QStringLiteral("Ports the system reports (device, description, manufacturer, serial number):\n");
    const QStringList found = PortDiscovery::listing(PortDiscovery::systemPorts());
    text += found.isEmpty() ? QStringLiteral("  none\n") : QStringLiteral("  ") + found.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    text += QStringLiteral("COM ports (device, from):\n");
    QList<PortNames::Mapping> mappings;
    qsizetype width = 0;
    for (int com = 1; com <= PortNames::Count; ++com) {
        mappings << line.names.lookup(com);
        width = std::max(width, mappings.last().device.size());
    }
    for (int com = 1; com <= PortNames::Count; ++com) {
        const PortNames::Mapping &m = mappings[com - 1];
        text += QStringLiteral("  ") + QStringLiteral("COM %1").arg(com).leftJustified(8) + m.device.leftJustified(width + 2)
              + PortNames::sourceName(m.source) + QLatin1Char('\n');
    }
    return c.print(text);
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: zevctl [--port DEVICE|N]... [--password PW] COMMAND\n"
        "  login                              the login handshake\n"
        "  transmit FILE                      send the image of a settings file (.msr or Default.mag layout)\n"
        "  download [--rtc] [--mid] [--format text|csv|json] [-o FILE|DIR] [--raw FILE]\n"
        "           [--timeout SECONDS] [--no-archive]\n"
        "                                     print (or write) the downloaded records: the data viewer's text,\n"
        "                                     CSV or JSON; stops reading after SECONDS (default 3600);\n"
        "                                     every download is archived first unless --no-archive\n"
        "  erase --yes                        erase the scanner's records\n"
        "  set-clock                          set the scanner's clock from the PC\n"
        "  passwd NEW                         change the scanner's password\n"
        "  show FILE                          print a settings file's image and its flags\n"
        "  assemble RAW [--rtc] [--mid] [--format text|csv|json] [-o FILE]\n"
        "                                     a raw download (kept with --raw, or archived) as text, CSV or JSON\n"
        "  ports [--map N=DEVICE | --unmap N] the serial ports the system reports and what COM 1 to 16 mean\n"
        "--port given several times runs login, transmit, download, erase, set-clock or passwd on every\n"
        "port at once: one line per port on stderr, the highest status is the exit status\n"
        "exit status: 0 done, 1 usage, 2 port cannot be opened, 3 refused by the scanner,\n"
        "  4 no reply, time-out or line lost, 5 unexpected reply, 6 file cannot be read or written,\n"
        "  7 download incomplete (what arrived is still written)\n");
}

int run(const QStringList &argsIn, QIODevice &out, QIODevice &err)
{
    QStringList args = argsIn;
    QStringList portOptions;
    QString password;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--help")) {
            if (const QString error = UserFile::writeAll(out, usageText().toLocal8Bit()); !error.isEmpty()) {
                say(err, QStringLiteral("zevctl: cannot write the output: %1\n").arg(error));
                return FileError;
            }
            return Done;
        }
        if ((opt == QLatin1String("--port") || opt == QLatin1String("--password")) && !args.isEmpty()) {
            if (opt == QLatin1String("--port"))
                portOptions << args.takeFirst();
            else
                password = args.takeFirst();
            continue;
        }
        say(err, QStringLiteral("zevctl: unknown or incomplete option %1\n").arg(opt) + usageText());
        return Usage;
    }
    if (args.isEmpty()) {
        say(err, usageText());
        return Usage;
    }
    // A password box would not take it, so no frame may carry it.
    if (!Link::isPasswordText(password)) {
        say(err, QStringLiteral("zevctl: --password takes up to 8 letters and digits\n"));
        return Usage;
    }
    if (portOptions.size() > 1)
        return ManyPorts::run(portOptions, password, args, err);
    Command c{args.takeFirst(), args, portOptions.value(0), password, out, err};
    const QList<QPair<QString, int (*)(Command &)>> commands{
        {QStringLiteral("show"), show},       {QStringLiteral("login"), login},
        {QStringLiteral("transmit"), transmit}, {QStringLiteral("download"), download},
        {QStringLiteral("assemble"), assemble}, {QStringLiteral("erase"), erase},
        {QStringLiteral("set-clock"), setClock}, {QStringLiteral("passwd"), passwd},
        {QStringLiteral("ports"), ports},
    };
    for (const auto &entry : commands)
        if (entry.first == c.name)
            return entry.second(c);
    say(err, QStringLiteral("zevctl: unknown command %1\n").arg(c.name) + usageText());
    return Usage;
}

} // namespace ZevCtl
