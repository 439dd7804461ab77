#pragma once

#include <QString>

// Where the collected records are kept: a SQLite file (the default, or any
// path), or a PostgreSQL database named by postgresql://[user@]host[:port]/dbname.
// A password is never part of it: libpq reads PGPASSWORD or ~/.pgpass.
struct LedgerLocation
{
    enum Kind { Sqlite, Postgres };
    Kind kind = Sqlite;
    QString path; // SQLite
    QString host; // PostgreSQL; empty: libpq's default (PGHOST or the local socket)
    int port = -1;
    QString user;
    QString database;
    QString error; // why the address was refused; empty when it can be used

    bool ok() const { return error.isEmpty(); }
    // The store in plain words, never with a password: "SQLite /home/u/.local/share/ZEV/records.sqlite".
    QString describe() const;
    // The address that opens the same store again (another connection, another thread).
    QString url() const;
};

// The default SQLite file, beside the downloads folder.
QString defaultLedgerPath();

// url empty: the default SQLite file.
LedgerLocation parseLedgerUrl(const QString &url);
