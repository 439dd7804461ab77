#include "cli/ZevCtl.h"
#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <QFile>

#include <csignal>
#include <cstdio>

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
    QCoreApplication app(argc, argv);
    // On the descriptors, not the stdio streams, so a failed write shows at once.
    QFile out;
    QFile err;
    out.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(fileno(stderr), QIODevice::WriteOnly | QIODevice::Unbuffered);
    QStringList args = app.arguments();
    args.removeFirst();
    return ZevCtl::run(args, out, err);
}
