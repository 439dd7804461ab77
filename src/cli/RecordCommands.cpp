#include "cli/Command.h"

#include "cli/ZevCtl.h"
#include "cli/LedgerStep.h"
#include "cli/StderrProgress.h"
#include "collect/DownloadArchive.h"
#include "collect/DownloadExchange.h"
#include "collect/RecordAssembler.h"
#include "collect/RecordExport.h"
#include "platform/UserFile.h"

#include <QFile>
#include <QFileInfo>

// download and assemble: the scanner's records as text, CSV or JSON.
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
int writeRecords(Command &c, const RecordAssembler::Result &r, const RecordsOutput &o, bool complete,
                 const std::function<QByteArray(const QByteArray &)> &adjustJson = {})
{
    QByteArray bytes;
    switch (o.format) {
    case RecordExport::Format::Text: bytes = r.text; break;
    case RecordExport::Format::Csv: bytes = RecordExport::csv(r.download); break;
    case RecordExport::Format::Json:
        bytes = RecordExport::json(r.download, complete);
        if (adjustJson)
            bytes = adjustJson(bytes);
        break;
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
// the download goes on. Returns the file's name, empty when it was not written.
QString archive(Command &c, const QByteArray &stream)
{
    const DownloadArchive::Saved saved = DownloadArchive::save(stream, QDateTime::currentDateTime());
    if (!saved.ok)
        say(c.err, QStringLiteral("zevctl %1: the download was not archived in %2: %3\n")
                       .arg(c.name, DownloadArchive::folder(), saved.error));
    return saved.ok ? QFileInfo(saved.path).fileName() : QString();
}

// JSON output carries the count of records the store did not hold.
QByteArray withNewCount(const QByteArray &json, const LedgerStep &step)
{
    if (!step.recorded.ok || !json.startsWith('{'))
        return json;
    return "{\"new\": " + QByteArray::number(step.recorded.fresh) + ", " + json.mid(1);
}

} // namespace

bool takeDownloadOptions(Command &c, DownloadOptions &d)
{
    d.noArchive = c.flag(QStringLiteral("--no-archive"));
    QString timeout = QStringLiteral("3600");
    bool timeoutOk = false;
    if (!takeRecordsOptions(c, d.output) || !c.option(QStringLiteral("--raw"), d.rawFile)
        || !c.option(QStringLiteral("--timeout"), timeout) || !c.args.isEmpty()) {
        c.fail(Usage, QStringLiteral("usage: %1 [--rtc] [--mid] [--format text|csv|json] [-o FILE|DIR] "
                                     "[--raw FILE] [--timeout SECONDS] [--no-archive]").arg(c.name));
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
    if (s.kind == DownloadStream::CheckFailed)
        return c.fail(NoReply, QStringLiteral("no answer to the password frame on %1").arg(line.device()));
    // Could not be opened (2) or lost before the download began (4).
    if (s.kind == DownloadStream::PortError)
        return line.portFailed(c, *check, data.get());
    QString archiveName;
    if (!d.noArchive && !s.bytes.isEmpty() && !s.refused())
        archiveName = archive(c, s.bytes);
    // Every byte received is kept, whatever follows.
    if (!d.rawFile.isEmpty())
        if (const int status = writeFile(c, d.rawFile, s.bytes); status != Done)
            return status;
    const QString how = s.end == DownloadStream::LineFailed ? QStringLiteral("the line failed: ") + s.error
                      : s.end == DownloadStream::Stopped   ? (line.clock.gate().stoppedForGood()
                                                                      ? QStringLiteral("stopped: the program ends")
                                                                      : QStringLiteral("stopped after %1 s").arg(seconds))
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
    step.complete = !s.incomplete(r);
    step.machineId = r.download.machineId;
    step.announced = r.announced;
    step.received = r.terminated;
    step.record(c, r.download, s.bytes, line.device(), archiveName);
    if (d.writeOutput) {
        const int status = writeRecords(c, r, o, step.complete,
                                        [&step](const QByteArray &json) { return withNewCount(json, step); });
        if (status != Done)
            return status;
    }
    if (!step.complete)
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
        return c.fail(Usage, QStringLiteral("usage: assemble RAW [--rtc] [--mid] [--format text|csv|json] [-o FILE]"));
    const UserFile::ReadResult raw = UserFile::read(c.args.first(), DownloadArchive::RawLimit);
    if (!raw.error.isEmpty())
        return c.fail(FileError, QStringLiteral("cannot read %1: %2").arg(c.args.first(), raw.error));
    if (raw.tooLong)
        return c.fail(FileError, QStringLiteral("%1 is larger than a raw download may be (%2 MB)")
                                     .arg(c.args.first())
                                     .arg(DownloadArchive::RawLimit >> 20));
    const RecordAssembler::Result r = RecordAssembler::assemble(raw.bytes, o.mid, o.rtc, QDate::currentDate().year());
    if (!r.ok())
        return c.fail(UnexpectedReply, QStringLiteral("the download cannot be read: ") + r.description);
    return writeRecords(c, r, o, r.terminated >= r.announced);
}

} // namespace ZevCtl
