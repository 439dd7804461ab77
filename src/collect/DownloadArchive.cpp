#include "collect/DownloadArchive.h"

#include "platform/UserFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace DownloadArchive {

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ZEV/downloads");
}

QString safeName(const QByteArray &machineId)
{
    QString name;
    for (char c : machineId) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
                       || c == '.';
        name += safe ? QLatin1Char(c) : QLatin1Char('_');
    }
    return name;
}

QString fileName(const QDateTime &when, const QByteArray &stream)
{
    QString name = when.toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
    const QString id = stream.startsWith('\x02') ? safeName(stream.mid(1, 8).trimmed()) : QString();
    // An ID of control characters (a reply that is not a download) names nothing.
    if (id.contains(QRegularExpression(QStringLiteral("[A-Za-z0-9]"))))
        name += QLatin1Char('_') + id;
    return name;
}

Saved save(const QByteArray &stream, const QDateTime &when)
{
    Saved saved;
    const QString dir = folder();
    const QString base = dir + QLatin1Char('/') + fileName(when, stream);
    saved.path = base + QStringLiteral(".raw");
    if (!QDir().mkpath(dir)) {
        saved.error = QStringLiteral("cannot make the folder %1").arg(dir);
        return saved;
    }
    QFile file;
    const bool created = UserFile::createNew(file, base, QStringLiteral(".raw"));
    saved.path = file.fileName();
    if (!created) {
        saved.error = file.errorString();
        return saved;
    }
    if (const QString error = UserFile::writeAll(file, stream); !error.isEmpty()) {
        saved.error = error;
        file.close();
        file.remove();
        return saved;
    }
    file.close();
    saved.ok = true;
    return saved;
}

} // namespace DownloadArchive
