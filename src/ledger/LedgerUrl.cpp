#include "ledger/LedgerUrl.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>

QString defaultLedgerPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ZEV/records.sqlite");
}

QString LedgerLocation::describe() const
{
    if (kind == Sqlite)
        return QStringLiteral("SQLite ") + QDir::toNativeSeparators(path);
    QString where = host.isEmpty() ? QStringLiteral("the local server") : host;
    if (port > 0)
        where += QLatin1Char(':') + QString::number(port);
    QString text = QStringLiteral("PostgreSQL database %1 on %2").arg(database.isEmpty() ? QStringLiteral("(default)") : database, where);
    if (!user.isEmpty())
        text += QStringLiteral(" as ") + user;
    return text;
}

QString LedgerLocation::url() const
{
    if (kind == Sqlite)
        return path;
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += QString::fromLatin1(QUrl::toPercentEncoding(user)) + QLatin1Char('@');
    text += host;
    if (port > 0)
        text += QLatin1Char(':') + QString::number(port);
    return text + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(database));
}

LedgerLocation parseLedgerUrl(const QString &url)
{
    LedgerLocation l;
    const QString text = url.trimmed();
    if (text.isEmpty()) {
        l.path = defaultLedgerPath();
        return l;
    }
    const bool postgres = text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
                       || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
    if (!postgres) {
        l.path = text;
        return l;
    }
    l.kind = LedgerLocation::Postgres;
    const QUrl u(text, QUrl::StrictMode);
    if (!u.isValid() || !u.query().isEmpty() || !u.fragment().isEmpty()) {
        l.error = QStringLiteral("the store's address is not postgresql://[user@]host[:port]/dbname");
        return l;
    }
    // Only the scheme and the host part are repeated, never what was given as a password.
    if (!u.password().isEmpty()) {
        l.error = QStringLiteral("a password never goes in the store's address: libpq reads it from PGPASSWORD "
                                 "or the password file (~/.pgpass)");
        return l;
    }
    l.host = u.host();
    l.port = u.port(-1);
    l.user = u.userName();
    l.database = u.path().mid(1);
    if (l.database.contains(QLatin1Char('/'))) {
        l.error = QStringLiteral("the store's address names one database: postgresql://[user@]host[:port]/dbname");
        return l;
    }
    return l;
}
