#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Every download's bytes, kept in the per-user data folder before anything
// else is done with them, so that a download closed without saving, or a
// scanner erased since, can still be read back (zevctl assemble).
namespace DownloadArchive {

// The most a raw download read back may hold: some days of a scanner talking
// without a pause, and still little memory.
inline constexpr qint64 RawLimit = qint64(256) << 20;

// GenericDataLocation + "/ZEV/downloads" (on Linux ${XDG_DATA_HOME:-~/.local/share}/ZEV/downloads).
QString folder();

// "2026-12-08_040132_MID00042.raw": the PC's date and time of the download and
// the machine ID of the stream's header (left out when there is none);
// characters a file name cannot safely carry become "_".
QString fileName(const QDateTime &when, const QByteArray &stream);

// A machine ID as part of a file name: letters, digits, "-" and "." kept, anything else "_".
QString safeName(const QByteArray &machineId);

struct Saved
{
    bool ok = false;
    QString path;  // the file written (on a failure, the one tried)
    QString error; // the operating system's reason
};

// Writes the bytes into a new file of the folder; an existing file is never
// replaced (a second download in the same second gets "-2", "-3", ...).
Saved save(const QByteArray &stream, const QDateTime &when);

} // namespace DownloadArchive
