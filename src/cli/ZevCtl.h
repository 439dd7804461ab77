#pragma once

#include <QStringList>

class QIODevice;

// zevctl, the command-line client: the scanner exchanges without windows.
namespace ZevCtl {

enum ExitStatus {
    Done = 0,
    Usage = 1,
    PortCannotOpen = 2,
    Refused = 3,
    NoReply = 4,
    UnexpectedReply = 5,
    FileError = 6,
    Incomplete = 7, // a download with fewer records than announced, or cut short
    StoppedBySignal = 128, // + the signal's number: SIGINT, SIGTERM or SIGHUP stopped the exchange
};

// args excludes the program name. Output goes to out byte for byte; errors, in
// plain words, to err.
int run(const QStringList &args, QIODevice &out, QIODevice &err);

QString usageText();

} // namespace ZevCtl
