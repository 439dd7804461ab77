#pragma once

#include <QStringList>

class QIODevice;

// zevctl --port A --port B ... COMMAND: the command runs on every port at the
// same time, each port in its own thread, and stderr gets one line per port.
namespace ManyPorts {

// true for the commands that talk to one scanner and may run on several.
bool takesSeveralPorts(const QString &command);

// How a port is named on stderr: "COM1 /dev/ttyS0", or the device as given.
QString label(const QString &port);

// command holds the command's name and arguments; shared, the options every port's run takes (the store). Returns the highest exit
// status of any port (or a usage error before anything is started).
int run(const QStringList &ports, const QString &password, const QStringList &shared, const QStringList &command,
        QIODevice &err);

} // namespace ManyPorts
