#pragma once

#include "ledger/Ledger.h"

#include <QStringList>

// Download streams built by hand for the store's tests: each label is one
// record; its data is the label without "'", and a "'" moves its timestamp by
// a second, so "a" and "a'" hold the same data scanned at different times.
// Without a machine ID the header does not begin with STX.
inline QByteArray ledgerStream(const QByteArray &machineId, const QStringList &labels, int announced = -1)
{
    QByteArray s(machineId.isEmpty() ? " " : "\x02");
    s += machineId.leftJustified(8, ' ', true);
    s += QByteArray::number(announced < 0 ? labels.size() : announced).rightJustified(5, '0');
    for (const QString &label : labels) {
        QByteArray data = label.toLatin1();
        const bool moved = data.endsWith('\'');
        if (moved)
            data.chop(1);
        const int day = 1 + (data.isEmpty() ? 0 : (uchar(data.at(0)) % 28));
        const int values[6] = {24, 5, day, 10, 20, moved ? 31 : 30};
        for (int v : values)
            s += char(v + 16);
        s += '0';
        s += data;
        s += "?\r";
    }
    return s;
}

inline LedgerDownload ledgerDownload(const QByteArray &stream, const QString &port, bool complete = true)
{
    LedgerDownload d;
    d.records = RecordAssembler::assemble(stream, false, false, 2026).download;
    d.complete = complete;
    d.when = QDateTime(QDate(2026, 3, 4), QTime(10, 0));
    d.host = QStringLiteral("station");
    d.portDevice = port;
    return d;
}
