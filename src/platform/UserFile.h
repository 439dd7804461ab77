#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QFile;
class QIODevice;

// The files the user names: settings files, the downloaded text, raw downloads.
namespace UserFile {

// Writes bytes to path. A regular file or a new name is replaced atomically, so
// a failed write keeps the old file; anything else (a character device, a FIFO,
// /dev/stdout, a link to one of these) is opened and written in place, never
// replaced. Empty on success, else the operating system's reason.
QString write(const QString &path, const QByteArray &bytes);

// As write(), the bytes written piece by piece by produce to the open file;
// produce answers empty, or the reason of a failed write.
QString writeWith(const QString &path, const std::function<QString(QIODevice &)> &produce);

// Writes all of bytes to an open device; empty, or the reason of a failed or short write.
QString writeAll(QIODevice &device, const QByteArray &bytes);

// Opens a new file for writing named base + ext, or base-2 + ext, base-3 + ext,
// ... when that name is taken: a file already there is never replaced. False
// when none could be made (file's errorString() says why).
bool createNew(QFile &file, const QString &base, const QString &ext);

struct ReadResult
{
    QByteArray bytes;  // at most limit bytes
    bool tooLong = false; // more than limit were there: stopped at once
    QString error;     // the operating system's reason when it could not be read
    bool ok() const { return error.isEmpty() && !tooLong; }
};
// Reads path, stopping as soon as more than limit bytes are seen (a device
// such as /dev/zero never ends).
ReadResult read(const QString &path, qint64 limit);

} // namespace UserFile
