#include "ledger/Ledger.h"

#include "collect/DownloadArchive.h"
#include "platform/UserFile.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <algorithm>

namespace {

// The date and time an archive's name begins with, else the file's modification time.
QDateTime takenAt(const QString &path)
{
    const QFileInfo info(path);
    const QDateTime named = QDateTime::fromString(info.fileName().left(17), QStringLiteral("yyyy-MM-dd_HHmmss"));
    return named.isValid() ? named : info.lastModified();
}

} // namespace

QList<ImportedFile> importRaw(Ledger &ledger, const QStringList &paths, const QString &host)
{
    QList<QPair<QDateTime, QString>> ordered;
    for (const QString &p : paths)
        ordered.append({takenAt(p), p});
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });

    QList<ImportedFile> done;
    for (const auto &[when, path] : ordered) {
        ImportedFile f;
        f.path = path;
        const UserFile::ReadResult raw = UserFile::read(path, DownloadArchive::RawLimit);
        if (!raw.ok()) {
            f.error = raw.tooLong ? QStringLiteral("larger than a raw download may be") : raw.error;
            done.append(f);
            continue;
        }
        const QByteArray sha = QCryptographicHash::hash(raw.bytes, QCryptographicHash::Sha256).toHex();
        QString error;
        if (ledger.knowsRaw(sha, &error)) {
            f.outcome = ImportedFile::Skipped;
            done.append(f);
            continue;
        }
        if (!error.isEmpty()) {
            f.error = error;
            done.append(f);
            continue;
        }
        const RecordAssembler::Result r = RecordAssembler::assemble(raw.bytes, false, false, when.date().year());
        if (!r.ok()) {
            f.error = QStringLiteral("not a download: ") + r.description;
            done.append(f);
            continue;
        }
        LedgerDownload d;
        d.records = r.download;
        d.complete = r.terminated >= r.announced;
        d.when = when;
        d.host = host;
        d.portDevice = QStringLiteral("(imported)");
        d.archiveName = QFileInfo(path).fileName();
        d.rawSha256 = sha;
        f.recorded = ledger.record(d);
        f.outcome = f.recorded.ok ? ImportedFile::Recorded : ImportedFile::Failed;
        f.error = f.recorded.error;
        done.append(f);
    }
    return done;
}
