#include "cli/Command.h"
#include "cli/ZevCtl.h"
#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <optional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char **argv)
{
#ifdef SIGPIPE
    // A closed pipe is a failed write (exit 6, "Broken pipe"), not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // SIGINT, SIGTERM and SIGHUP stop the running exchange as the Stop button
    // would: what arrived is still written and the port is closed.
#ifdef Q_OS_UNIX
    struct sigaction stop {};
    stop.sa_handler = [](int signal) { QtClock::stopProcess(signal); };
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &stop, nullptr);
#else
    for (const int signal : {SIGINT, SIGTERM})
        std::signal(signal, [](int s) { QtClock::stopProcess(s); });
#endif
#ifdef __GLIBC__
    // The port threads mostly sleep; sharing two heaps spares each of them
    // a heap of its own to map and fault in.
    mallopt(M_ARENA_MAX, 2);
#endif
    // zevctl waits in poll(), not in an event loop, so the plain Unix event
    // dispatcher is enough, at a fraction of the cost of GLib's.
    std::optional<ZevCtl::DefaultEnvironment> noGlib(std::in_place, "QT_NO_GLIB");
    QCoreApplication app(argc, argv);
    noGlib.reset();
    // On the descriptors, not the stdio streams, so a failed write shows at once.
    QFile out;
    QFile err;
    out.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(fileno(stderr), QIODevice::WriteOnly | QIODevice::Unbuffered);
    QStringList args = app.arguments();
    args.removeFirst();
    return ZevCtl::run(args, out, err);
}
