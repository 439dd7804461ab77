#include "cli/ZevCtl.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
#ifdef SIGPIPE
    // A closed pipe is a failed write (exit 6, "Broken pipe"), not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
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
