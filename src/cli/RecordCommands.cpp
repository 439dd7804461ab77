#include "cli/Command.h"

#include "cli/ZevCtl.h"
#include "cli/LedgerStep.h"
#include "cli/StderrProgress.h"
#include "collect/DownloadArchive.h"
#include "collect/DownloadExchange.h"
#include "collect/RecordAssembler.h"
#include "collect/RecordExport.h"
#include "link/Frames.h"
#include "collect/RecordSpreadsheet.h"
#include "platform/UserFile.h"

#include <QFile>
#include <QFileInfo>

// download and assemble: the scanner's records as text, CSV, JSON or a spreadsheet.
namespace ZevCtl {

namespace {

// Takes --rtc, --mid, --format and -o out of args; false on a missing or unknown value.
bool takeRecordsOptions(Command &c, RecordsOutput &o)
{
    o.rtc = c.flag(QStringLiteral("--rtc"));
    o.mid = c.flag(QStringLiteral("--mid"));
    QString format = QStringLiteral("text");
    return c.option(QStringLiteral("-o"), o.path) && c.option(QStringLiteral("--format"), format)
        && RecordExport::parseFormat(format, o.format);
}

// A workbook on a terminal would only garble the screen; a pipe or a file takes it.
bool binaryToTerminal(const Command &c, const RecordsOutput &o)
{
    return o.format == RecordExport::Format::Xlsx && o.path.isEmpty() && isTerminal(c.out);
}
constexpr char BinaryToTerminal[] = "an xlsx workbook is not shown on a terminal: give -o FILE or redirect stdout";

// In a directory, the file takes the machine ID's name; a name already there is
// never replaced (two scanners may share an ID), the next free "-2", "-3" is
// claimed. Empty, with the reason in error, when no name could be claimed.
QString fileInDirectory(const QString &dir, const RecordAssembler::Records &records, RecordExport::Format format,
                        QString &error)
{
    QString id = DownloadArchive::safeName(records.machineId);
    if (id.isEmpty())
        id = QStringLiteral("download");
    const QString base = dir + QLatin1Char('/') + id;
    const QString ext = QLatin1Char('.') + RecordExport::extension(format);
    QFile claim;
    if (UserFile::createNew(claim, base, ext))
        return claim.fileName();
    error = claim.errorString();
    return QString();
}

// The viewer's text (and the list a workbook is made of) is built only for
// those outputs; CSV and JSON take the records from the stream as they are written.
RecordAssembler::Result assembleFor(const RecordsOutput &o, const QByteArray &stream)
{
    if (o.format == RecordExport::Format::Text || o.format == RecordExport::Format::Xlsx)
        return RecordAssembler::assemble(stream, o.mid, o.rtc, o.year);
    return RecordAssembler::scan(stream, o.year);
}

// Writes an assembled download as text, CSV, JSON or XLSX to -o or stdout.
int writeRecords(Command &c, const RecordAssembler::Result &r, const RecordsOutput &o, bool complete, qint64 fresh = -1)
{
    auto produce = [&](QIODevice &out) {
        if (o.format == RecordExport::Format::Text) {
            // The text and its closing CR LF apart: no copy of a text of any size.
            const QString error = UserFile::writeAll(out, r.text);
            return error.isEmpty() ? UserFile::writeAll(out, RecordExport::TextEnd) : error;
        }
        if (o.format == RecordExport::Format::Xlsx) {
            const RecordSpreadsheet::Result book = RecordSpreadsheet::xlsx(r.download);
            return book.ok() ? UserFile::writeAll(out, book.bytes)
                             : QStringLiteral("the spreadsheet could not be made: ") + book.error;
        }
        QString error;
        RecordExport::write(
            o.format, r, o.year, complete,
            [&](const QByteArray &piece) {
                error = UserFile::writeAll(out, piece);
                return error.isEmpty();
            },
            fresh);
        return error;
    };
    if (o.path.isEmpty()) {
        if (const QString error = produce(c.out); !error.isEmpty())
            return c.fail(FileError, QStringLiteral("cannot write the output: ") + error);
        return Done;
    }
    QString path = o.path;
    if (QFileInfo(o.path).isDir()) {
        QString error;
        path = fileInDirectory(o.path, r.download, o.format, error);
        if (path.isEmpty())
            return c.fail(FileError, QStringLiteral("no new file name could be made in %1: %2").arg(o.path, error));
    }
    int status = Done;
    if (const QString error = UserFile::writeWith(path, produce); !error.isEmpty())
        status = c.fail(FileError, QStringLiteral("cannot write %1: %2").arg(path, error));
    if (status != Done && path != o.path)
        QFile::remove(path); // the empty name this run claimed, nobody else's file
    return status;
}

// The archive comes before anything else is written; its failure is told and
// the download goes on. Returns the file's name, empty when it was not written.
QString archive(Command &c, const QByteArray &stream)
{
    const DownloadArchive::Saved saved = DownloadArchive::save(stream, QDateTime::currentDateTime());
    if (!saved.ok)
        say(c.err, QStringLiteral("zevctl %1: the download was not archived in %2: %3\n")
                       .arg(c.name, DownloadArchive::folder(), saved.error));
    return saved.ok ? QFileInfo(saved.path).fileName() : QString();
}

} // namespace

bool takeDownloadOptions(Command &c, DownloadOptions &d)
{
    d.noArchive = c.flag(QStringLiteral("--no-archive"));
    QString timeout = QStringLiteral("3600");
    bool timeoutOk = false;
    if (!takeRecordsOptions(c, d.output) || !c.option(QStringLiteral("--raw"), d.rawFile)
        || !c.option(QStringLiteral("--timeout"), timeout) || !c.args.isEmpty()) {
        c.fail(Usage, QStringLiteral("usage: %1 [--rtc] [--mid] [--format text|csv|json|xlsx] [-o FILE|DIR] "
                                     "[--raw FILE] [--timeout SECONDS] [--no-archive]").arg(c.name));
        return false;
    }
    if (binaryToTerminal(c, d.output)) {
        c.fail(Usage, QLatin1String(BinaryToTerminal));
        return false;
    }
    d.seconds = timeout.toInt(&timeoutOk);
    if (!timeoutOk || d.seconds < 1) {
        c.fail(Usage, QStringLiteral("--timeout takes a whole number of seconds, at least 1"));
        return false;
    }
    return true;
}

int downloadRecords(Command &c, const DownloadOptions &d, Line &line, LedgerStep &step)
{
    const RecordsOutput &o = d.output;
    const int seconds = d.seconds;
    auto check = line.makePort();
    auto data = line.makePort();
    DownloadProgress progress;
    StderrProgress shown(c.err);
    if (shown.active())
        progress.received = [&shown](const QByteArray &soFar) { shown.update(soFar); };
    const DownloadStream s = receiveDownload(*check, *data, line.clock, line.session, progress, qint64(seconds) * 1000);
    shown.finish();
    if (s.stillSending >= 0)
        return line.stillSending(c, s.stillSending);
    if (s.kind == DownloadStream::CheckFailed)
        return c.fail(NoReply, QStringLiteral("no answer to the password frame on %1").arg(line.device()));
    // Could not be opened (2) or lost before the download began (4).
    if (s.kind == DownloadStream::PortError)
        return line.portFailed(c, *check, data);
    QString archiveName;
    if (!d.noArchive && !s.bytes.isEmpty() && !s.refused())
        archiveName = archive(c, s.bytes);
    // Every byte received is kept, whatever follows.
    if (!d.rawFile.isEmpty())
        if (const int status = writeFile(c, d.rawFile, s.bytes); status != Done)
            return status;
    const int signal = ExchangeGate::processStopSignal();
    const QString how = s.end == DownloadStream::LineFailed ? QStringLiteral("the line failed: ") + s.error
                      : s.end == DownloadStream::Stopped && signal != 0
                          ? QStringLiteral("stopped by signal ") + signalName(signal)
                      : s.end == DownloadStream::Stopped && line.clock.gate().stoppedForGood()
                          ? QStringLiteral("stopped: the program ends")
                      : s.end == DownloadStream::Stopped ? QStringLiteral("stopped after %1 s").arg(seconds)
                                                         : QString();
    if (s.bytes.isEmpty())
        return c.fail(NoReply, how.isEmpty() ? QStringLiteral("nothing came after the download request")
                                             : QStringLiteral("nothing came after the download request (%1)").arg(how));
    if (s.refused())
        return c.fail(Refused, QStringLiteral("the scanner refused the download (wrong password)"));
    // The store takes the list of records, so a download is assembled whole.
    const RecordAssembler::Result r = RecordAssembler::assemble(s.bytes, o.mid, o.rtc, o.year);
    if (!s.bytes.startsWith(Link::STX) || (r.ok() && !s.readable(r)))
        return c.fail(UnexpectedReply, QStringLiteral("the download cannot be read: it does not begin with its header "
                                                      "(first bytes %1)%2")
                                           .arg(hex(s.bytes.left(8)), how.isEmpty() ? QString() : QStringLiteral(", ") + how));
    if (!r.ok()) {
        // A header cut by a lost line or a stop is no reply, not a wrong one.
        const int status = how.isEmpty() ? UnexpectedReply : NoReply;
        return c.fail(status, QStringLiteral("the download cannot be read: ") + r.description
                                  + (how.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(how)));
    }
    step.complete = !s.incomplete(r) && !s.overfull(r);
    step.machineId = r.download.machineId;
    step.announced = r.announced;
    step.received = r.terminated;
    step.record(c, r.download, s.bytes, line.device(), archiveName);
    if (d.writeOutput) {
        if (const int status = writeRecords(c, r, o, step.complete, step.recorded.ok ? step.recorded.fresh : -1);
            status != Done)
            return status;
    }
    if (s.overfull(r))
        return c.fail(UnexpectedReply, QStringLiteral("the scanner sent %1 records but announced %2")
                                           .arg(r.terminated)
                                           .arg(r.announced));
    if (s.incomplete(r))
        return c.fail(Incomplete, QStringLiteral("download incomplete: received %1 of %2 records%3")
                                      .arg(r.terminated)
                                      .arg(r.announced)
                                      .arg(how.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(how)));
    return Done;
}

int download(Command &c)
{
    DownloadOptions d;
    if (!takeDownloadOptions(c, d))
        return Usage;
    Line line(c);
    LedgerStep step;
    return downloadRecords(c, d, line, step);
}

int assemble(Command &c)
{
    RecordsOutput o;
    if (!takeRecordsOptions(c, o) || c.args.size() != 1)
        return c.fail(Usage, QStringLiteral("usage: assemble RAW [--rtc] [--mid] [--format text|csv|json|xlsx] [-o FILE]"));
    if (binaryToTerminal(c, o))
        return c.fail(Usage, QLatin1String(BinaryToTerminal));
    const UserFile::ReadResult raw = UserFile::read(c.args.first(), DownloadArchive::RawLimit);
    if (!raw.error.isEmpty())
        return c.fail(FileError, QStringLiteral("cannot read %1: %2").arg(c.args.first(), raw.error));
    if (raw.tooLong)
        return c.fail(FileError, QStringLiteral("%1 is larger than a raw download may be (%2 MB)")
                                     .arg(c.args.first())
                                     .arg(DownloadArchive::RawLimit >> 20));
    const RecordAssembler::Result r = assembleFor(o, raw.bytes);
    if (!r.ok())
        return c.fail(UnexpectedReply, QStringLiteral("the download cannot be read: ") + r.description);
    return writeRecords(c, r, o, r.terminated == r.announced);
}

} // namespace ZevCtl
