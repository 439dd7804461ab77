#include "cli/Command.h"

#include "cli/LedgerStep.h"
#include "cli/ZevCtl.h"
#include "collect/DownloadArchive.h"
#include "ledger/RecordsFile.h"

#include <QFileInfo>
#include <QSysInfo>

// records list|export|import|stats: the store without a scanner.
namespace ZevCtl {

namespace {

bool takeFormat(Command &c, RecordExport::Format &format, const QString &fallback)
{
    QString name = fallback;
    return c.option(QStringLiteral("--format"), name) && RecordExport::parseFormat(name, format);
}

// Writes bytes to -o, or stdout when there is none.
int emit(Command &c, const QString &path, const QByteArray &bytes)
{
    return path.isEmpty() ? c.print(bytes) : writeFile(c, path, bytes);
}

int list(Command &c, Ledger &ledger)
{
    RecordFilter f;
    QString value, since, until, path;
    while (c.option(QStringLiteral("--machine"), value) && !value.isEmpty()) {
        f.machines << value;
        value.clear();
    }
    RecordExport::Format format = RecordExport::Format::Text;
    if (!c.option(QStringLiteral("--since"), since) || !c.option(QStringLiteral("--until"), until)
        || !c.option(QStringLiteral("--grep"), f.text) || !c.option(QStringLiteral("-o"), path)
        || !takeFormat(c, format, QStringLiteral("text")) || !c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("usage: records list [--machine ID]... [--since DATE] [--until DATE] "
                                            "[--grep TEXT] [--format text|csv|json|xlsx] [-o FILE]"));
    if (format == RecordExport::Format::Xlsx && path.isEmpty() && isTerminal(c.out))
        return c.fail(Usage, QStringLiteral("an xlsx workbook is not shown on a terminal: give -o FILE or redirect stdout"));
    f.since = QDate::fromString(since, Qt::ISODate);
    f.until = QDate::fromString(until, Qt::ISODate);
    if ((!since.isEmpty() && !f.since.isValid()) || (!until.isEmpty() && !f.until.isValid()))
        return c.fail(Usage, QStringLiteral("a DATE is written YYYY-MM-DD"));
    QString error;
    const QList<RecordRow> rows = ledger.list(f, &error);
    if (!error.isEmpty())
        return c.fail(FileError, error);
    const QByteArray bytes = RecordsFile::write(rows, format, &error);
    if (!error.isEmpty())
        return c.fail(FileError, QStringLiteral("the spreadsheet could not be made: ") + error);
    return emit(c, path, bytes);
}

// One batch into FILE, or into DIR as SINK-BATCH.EXT; marked done once the file is whole.
int writeBatch(Command &c, Ledger &ledger, const ExportBatch &b, RecordExport::Format format, const QString &out)
{
    const QString path = QFileInfo(out).isDir() ? QStringLiteral("%1/%2-%3.%4")
                                                      .arg(out, DownloadArchive::safeName(b.sink.toUtf8()))
                                                      .arg(b.id, 6, 10, QLatin1Char('0'))
                                                      .arg(RecordExport::extension(format))
                                                : out;
    qsizetype rows = 0;
    if (const int status = writeExportBatch(c, ledger, b, format, path, rows); status != Done)
        return status;
    say(c.err, QStringLiteral("zevctl records: %1 records exported to %2%3\n")
                   .arg(rows)
                   .arg(b.sink, b.id ? QStringLiteral(" (batch %1)").arg(b.id) : QString()));
    return Done;
}

int exportNew(Command &c, Ledger &ledger)
{
    QString sink, out, again;
    RecordExport::Format format = RecordExport::Format::Csv;
    const bool fresh = c.flag(QStringLiteral("--new"));
    if (!c.option(QStringLiteral("--sink"), sink) || !c.option(QStringLiteral("-o"), out)
        || !c.option(QStringLiteral("--again"), again) || !takeFormat(c, format, QStringLiteral("csv"))
        || !c.args.isEmpty() || out.isEmpty() || (again.isEmpty() && (!fresh || sink.isEmpty())))
        return c.fail(Usage, QStringLiteral("usage: records export --new --sink NAME [--format text|csv|json|xlsx] -o FILE|DIR\n"
                                            "       records export --again BATCH [--format text|csv|json|xlsx] -o FILE|DIR"));
    QString error;
    if (!again.isEmpty()) {
        bool ok = false;
        const std::optional<ExportBatch> b = ledger.batch(again.toLongLong(&ok), &error);
        if (!b)
            return c.fail(error.isEmpty() ? Usage : FileError, error.isEmpty() ? QStringLiteral("there is no batch %1").arg(again) : error);
        return writeBatch(c, ledger, *b, format, out);
    }
    // A batch committed but not written (a run that was stopped) goes first, from the store.
    const QList<ExportBatch> pending = ledger.pendingBatches(sink, &error);
    if (!error.isEmpty())
        return c.fail(FileError, error);
    const bool toDir = QFileInfo(out).isDir();
    for (const ExportBatch &b : pending) {
        if (const int status = writeBatch(c, ledger, b, format, out); status != Done)
            return status;
        if (!toDir) {
            say(c.err, QStringLiteral("zevctl records: batch %1 was not finished before and is written again; "
                                      "the new records wait for the next run\n").arg(b.id));
            return Done;
        }
    }
    ExportBatch b = ledger.newBatch(sink, &error);
    if (!error.isEmpty())
        return c.fail(FileError, error);
    b.sink = sink;
    // Nothing new: a file gets its empty form, a folder nothing.
    if (!b.id && toDir) {
        say(c.err, QStringLiteral("zevctl records: 0 records exported to %1\n").arg(sink));
        return Done;
    }
    return writeBatch(c, ledger, b, format, out);
}

int import(Command &c, Ledger &ledger)
{
    if (c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("usage: records import FILE.raw..."));
    int status = Done;
    for (const ImportedFile &f : importRaw(ledger, c.args, QSysInfo::machineHostName())) {
        switch (f.outcome) {
        case ImportedFile::Recorded:
            say(c.err, QStringLiteral("%1: %2 new, %3 already collected\n").arg(f.path).arg(f.recorded.fresh).arg(f.recorded.already));
            break;
        case ImportedFile::Skipped:
            say(c.err, QStringLiteral("%1: recorded before, skipped\n").arg(f.path));
            break;
        case ImportedFile::Failed:
            say(c.err, QStringLiteral("%1: %2\n").arg(f.path, f.error));
            status = FileError;
            break;
        }
    }
    return status;
}

int stats(Command &c, Ledger &ledger)
{
    if (!c.args.isEmpty())
        return c.fail(Usage, QStringLiteral("usage: records stats"));
    QString error;
    const QList<ScannerStats> all = ledger.stats(&error);
    if (!error.isEmpty())
        return c.fail(FileError, error);
    QString text = QStringLiteral("store: %1\n").arg(ledger.location().describe());
    text += QStringLiteral("%1 %2 %3 %4 %5 %6\n").arg(QStringLiteral("machine"), -24).arg(QStringLiteral("generations"), 11)
                .arg(QStringLiteral("downloads"), 9).arg(QStringLiteral("records"), 9)
                .arg(QStringLiteral("last seen (UTC)"), -20).arg(QStringLiteral("last erased (UTC)"));
    auto when = [](const QDateTime &t) { return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-"); };
    for (const ScannerStats &s : all)
        text += QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                    .arg(Ledger::scannerName(s.machineId, s.portDevice), -24)
                    .arg(s.generations, 11).arg(s.downloads, 9).arg(s.records, 9)
                    .arg(when(s.lastSeenUtc), -20).arg(when(s.lastErasedUtc));
    return c.print(text);
}

} // namespace

int writeExportBatch(Command &c, Ledger &ledger, const ExportBatch &b, RecordExport::Format format, const QString &path,
                     qsizetype &rows)
{
    QString error;
    const QList<RecordRow> list = b.id ? ledger.batchRecords(b.id, &error) : QList<RecordRow>{};
    if (!error.isEmpty())
        return c.fail(FileError, error);
    rows = list.size();
    const QByteArray bytes = RecordsFile::write(list, format, &error);
    if (!error.isEmpty())
        return c.fail(FileError, QStringLiteral("the spreadsheet could not be made: ") + error);
    if (const int status = writeFile(c, path, bytes); status != Done)
        return status;
    if (b.id && !b.done && !ledger.markDone(b.id, &error))
        return c.fail(FileError, error);
    return Done;
}

int records(Command &c)
{
    const QString sub = c.args.isEmpty() ? QString() : c.args.takeFirst();
    const QList<QPair<QString, int (*)(Command &, Ledger &)>> subs{
        {QStringLiteral("list"), list}, {QStringLiteral("export"), exportNew},
        {QStringLiteral("import"), import}, {QStringLiteral("stats"), stats}};
    for (const auto &entry : subs) {
        if (entry.first != sub)
            continue;
        QString error;
        const std::unique_ptr<Ledger> ledger = openLedger(c, error);
        if (!ledger)
            return c.fail(FileError, error);
        return entry.second(c, *ledger);
    }
    return c.fail(Usage, QStringLiteral("usage: records list|export|import|stats ..."));
}

} // namespace ZevCtl
