#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QFile>

namespace TestFiles {

QByteArray read(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QString sourceDir()
{
    return qEnvironmentVariable("ZEV_SOURCE_DIR");
}

QString binDir()
{
    const QString dir = qEnvironmentVariable("ZEV_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

QByteArray row(const char *values)
{
    const QList<QByteArray> cells = QByteArray(values).split(' ');
    return ">" + cells.join(',') + ",\r\n";
}

} // namespace TestFiles
