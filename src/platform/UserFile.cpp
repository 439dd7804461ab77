#include "platform/UserFile.h"

#include "core/LargeBuffer.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace UserFile {

namespace {

// /dev/stdout and its kin name a file some process already holds open: written
// in place even when it is a regular file, or the shell's ">>" would be undone.
bool namesAnOpenDescriptor(QString path)
{
    for (int hops = 0; hops < 16; ++hops) {
        if (path.startsWith(QLatin1String("/dev/fd/"))
            || (path.startsWith(QLatin1String("/proc/")) && path.contains(QLatin1String("/fd/"))))
            return true;
        const QFileInfo info(path);
        if (!info.isSymLink())
            return false;
        path = info.symLinkTarget();
    }
    return false;
}

bool writesInPlace(const QString &path)
{
    const QFileInfo info(path); // follows links
    return (info.exists() && !info.isFile() && !info.isDir()) || namesAnOpenDescriptor(path);
}

} // namespace

QString writeAll(QIODevice &device, const QByteArray &bytes)
{
    // After a short write the next one tells why (a full disk, a closed pipe).
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = device.write(bytes.constData() + done, bytes.size() - done);
        if (written < 0)
            return device.errorString();
        if (written == 0)
            return QStringLiteral("only %1 of %2 bytes were written").arg(done).arg(bytes.size());
        done += written;
    }
    return QString();
}

QString write(const QString &path, const QByteArray &bytes)
{
    return writeWith(path, [&bytes](QIODevice &file) { return writeAll(file, bytes); });
}

QString writeWith(const QString &path, const std::function<QString(QIODevice &)> &produce)
{
    if (writesInPlace(path)) {
        // A stdout redirected into a regular file keeps what it holds (">>");
        // devices and FIFOs cannot seek and are not truncated.
        QFile file(path);
        const auto append = QFileInfo(path).isFile() ? QIODevice::Append : QIODevice::NotOpen;
        if (!file.open(QIODevice::WriteOnly | append | QIODevice::Unbuffered))
            return file.errorString();
        return produce(file);
    }
    // Unbuffered, so a short write (disk full) is seen here; QSaveFile would
    // otherwise commit the truncated file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (const QString error = produce(file); !error.isEmpty()) {
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

bool createNew(QFile &file, const QString &base, const QString &ext)
{
    for (int n = 1; n < 1000; ++n) {
        file.setFileName(n == 1 ? base + ext : base + QStringLiteral("-%1").arg(n) + ext);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        if (!file.exists())
            return false;
    }
    return false;
}

ReadResult read(const QString &path, qint64 limit)
{
    ReadResult r;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        r.error = file.errorString();
        return r;
    }
    // Straight into one buffer the size of the file, so a limit far above the
    // file's size costs nothing; a device tells no size and is read in pieces.
    constexpr qint64 Piece = 1 << 20;
    const qint64 size = file.size();
    LargeBuffer::reserve(r.bytes, qMin(size > 0 ? size : Piece, limit) + 1);
    while (!r.tooLong) {
        const qsizetype at = r.bytes.size();
        const qint64 room = r.bytes.capacity() - at;
        r.bytes.resize(at + qMin(room > 0 ? room : Piece, limit + 1 - at));
        const qint64 got = file.read(r.bytes.data() + at, r.bytes.size() - at);
        r.bytes.resize(at + qMax<qint64>(got, 0));
        if (got <= 0)
            break;
        r.tooLong = r.bytes.size() > limit;
    }
    if (file.error() != QFileDevice::NoError)
        r.error = file.errorString();
    if (r.tooLong)
        r.bytes.truncate(limit);
    return r;
}

} // namespace UserFile
