#pragma once

#include "collect/RecordAssembler.h"

#include <QString>

class QIODevice;

// "N of M records, about T left" on one line of stderr, rewritten in place,
// only when stderr is a terminal (a log file or a pipe gets nothing).
class StderrProgress
{
public:
    explicit StderrProgress(QIODevice &err);
    bool active() const { return m_active; }
    void update(const QByteArray &soFar);
    // A line still talking before the first frame: on a terminal the bytes
    // discarded so far; elsewhere one line, once.
    void discarding(const QString &command, qint64 discarded);
    // Ends the line, when one was written.
    void finish();

private:
    QIODevice &m_err;
    bool m_active = false;
    RecordAssembler::RecordCounter m_counter;
    QString m_shown;
    bool m_told = false;
};
