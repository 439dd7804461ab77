#include "cli/ZevCtl.h"

#include "cli/Command.h"
#include "cli/ManyPorts.h"
#include "link/Frames.h"
#include "platform/UserFile.h"

#include <QIODevice>

namespace ZevCtl {

QString usageText()
{
    return QStringLiteral(
        "usage: zevctl [--port DEVICE|N]... [--password PW] [--ledger URL | --no-ledger] COMMAND\n"
        "       zevctl --help | --version\n"
        "  login                              the login handshake\n"
        "  transmit FILE                      send the image of a settings file (.msr or Default.mag layout)\n"
        "  download [--rtc] [--mid] [--format text|csv|json|xlsx] [-o FILE|DIR] [--raw FILE]\n"
        "           [--timeout SECONDS] [--no-archive]\n"
        "                                     print (or write) the downloaded records: the data viewer's text,\n"
        "                                     CSV, JSON or a spreadsheet (XLSX); stops reading after SECONDS\n"
        "                                     (default 3600); every download is archived first unless --no-archive\n"
        "  erase --yes                        erase the scanner's records\n"
        "  set-clock                          set the scanner's clock from the PC\n"
        "  passwd NEW                         change the scanner's password\n"
        "  show FILE                          print a settings file's image and its flags\n"
        "  assemble RAW [--rtc] [--mid] [--format text|csv|json|xlsx] [-o FILE]\n"
        "                                     a raw download (kept with --raw, or archived) as text, CSV, JSON\n"
        "                                     or XLSX\n"
        "  ports [--map N=DEVICE | --unmap N] the serial ports the system reports and what COM 1 to 16 mean\n"
        "  ports --udev-rule N                a udev rule that names COM N's USB adapter /dev/zev-comN for good\n"
        "  collect [--erase] [--set-clock] [download's options]\n"
        "                                     download and keep the records in the store; only a complete\n"
        "                                     download that the store took is erased, then the clock set\n"
        "  records list [--machine ID]... [--since DATE] [--until DATE] [--grep TEXT]\n"
        "               [--format text|csv|json|xlsx] [-o FILE]\n"
        "                                     the collected records\n"
        "  records export --new --sink NAME [--format text|csv|json|xlsx] -o FILE|DIR\n"
        "  records export --again BATCH [--format text|csv|json|xlsx] -o FILE|DIR\n"
        "                                     the records not yet exported to NAME, each exactly once\n"
        "  records import FILE.raw...         archived downloads into the store (a file taken before is skipped)\n"
        "  records stats                      per scanner: generations, downloads, records, last seen and erased\n"
        "  watch [--port DEVICE|N]... [--password PW] [--erase] [--set-clock] [--export-dir DIR]\n"
        "        [--format csv|json|xlsx|text] [--exec CMD] [--interval SECONDS] [--every MINUTES] [--save]\n"
        "                                     the collection station: probes every port (every 2 s), collects\n"
        "                                     each scanner that answers as collect does, writes its records\n"
        "                                     new to DIR in one file, runs CMD (environment ZEV_PORT,\n"
        "                                     ZEV_MACHINE_ID, ZEV_NEW, ZEV_RECEIVED, ZEV_ANNOUNCED,\n"
        "                                     ZEV_STATUS, ZEV_FILE), and collects it again only once it\n"
        "                                     left the port (or after MINUTES); --save keeps the options in\n"
        "                                     the settings section Station, which watch alone reads;\n"
        "                                     SIGTERM ends it, SIGHUP reads the settings again\n"
        "--ledger URL names the store: a SQLite file, or postgresql://[user@]host[:port]/dbname (the\n"
        "password from PGPASSWORD or ~/.pgpass); default: the setting Ledger/url, else records.sqlite\n"
        "in the data folder. download records every download unless --no-ledger\n"
        "--port given several times runs login, transmit, download, collect, erase, set-clock or passwd on every\n"
        "port at once: one line per port on stderr, the highest status is the exit status\n"
        "exit status: 0 done, 1 usage, 2 port cannot be opened, 3 refused by the scanner,\n"
        "  4 no reply, time-out or line lost, 5 unexpected reply, 6 file cannot be read or written,\n"
        "  7 download incomplete (what arrived is still written)\n");
}

int run(const QStringList &argsIn, QIODevice &out, QIODevice &err)
{
    QStringList args = argsIn;
    QStringList portOptions;
    QString password;
    QString ledgerUrl;
    bool noLedger = false;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--help") || opt == QLatin1String("--version")) {
            const QString text = opt == QLatin1String("--help") ? usageText()
                                                                : QStringLiteral("zevctl " ZEV_VERSION "\n");
            if (const QString error = UserFile::writeAll(out, text.toLocal8Bit()); !error.isEmpty()) {
                say(err, QStringLiteral("zevctl: cannot write the output: %1\n").arg(error));
                return FileError;
            }
            return Done;
        }
        if (opt == QLatin1String("--no-ledger")) {
            noLedger = true;
            continue;
        }
        if (opt == QLatin1String("--ledger") && !args.isEmpty()) {
            ledgerUrl = args.takeFirst();
            continue;
        }
        if ((opt == QLatin1String("--port") || opt == QLatin1String("--password")) && !args.isEmpty()) {
            if (opt == QLatin1String("--port"))
                portOptions << args.takeFirst();
            else
                password = args.takeFirst();
            continue;
        }
        say(err, QStringLiteral("zevctl: unknown or incomplete option %1\n").arg(opt) + usageText());
        return Usage;
    }
    if (args.isEmpty()) {
        say(err, usageText());
        return Usage;
    }
    // A password box would not take it, so no frame may carry it.
    if (!Link::isPasswordText(password)) {
        say(err, QStringLiteral("zevctl: --password takes up to 8 letters and digits\n"));
        return Usage;
    }
    for (const QString &port : portOptions) {
        if (const QString problem = portOptionProblem(port); !problem.isEmpty()) {
            say(err, QStringLiteral("zevctl: %1\n").arg(problem));
            return Usage;
        }
    }
    if (args.first() == QLatin1String("watch")) {
        Command c{args.takeFirst(), args, QString(), password, out, err, ledgerUrl, noLedger};
        if (noLedger)
            return c.fail(Usage, QStringLiteral("the station keeps the records in the store: --no-ledger does not go with it"));
        return watch(c, portOptions);
    }
    if (portOptions.size() > 1) {
        QStringList shared;
        if (!ledgerUrl.isEmpty())
            shared << QStringLiteral("--ledger") << ledgerUrl;
        if (noLedger)
            shared << QStringLiteral("--no-ledger");
        return ManyPorts::run(portOptions, password, shared, args, err);
    }
    Command c{args.takeFirst(), args, portOptions.value(0), password, out, err, ledgerUrl, noLedger};
    const QList<QPair<QString, int (*)(Command &)>> commands{
        {QStringLiteral("show"), show},       {QStringLiteral("login"), login},
        {QStringLiteral("transmit"), transmit}, {QStringLiteral("download"), download},
        {QStringLiteral("assemble"), assemble}, {QStringLiteral("erase"), erase},
        {QStringLiteral("set-clock"), setClock}, {QStringLiteral("passwd"), passwd},
        {QStringLiteral("ports"), ports},       {QStringLiteral("collect"), collect},
        {QStringLiteral("records"), records},
    };
    for (const auto &entry : commands) {
        if (entry.first != c.name)
            continue;
        const int status = entry.second(c);
        // A signal stops the exchange like the Stop button: what a download
        // received is written (it says so itself), the port is closed.
        const int signal = ExchangeGate::processStopSignal();
        if (signal == 0 || status == Done || !ManyPorts::takesSeveralPorts(c.name))
            return status;
        if (c.name != QLatin1String("download") && c.name != QLatin1String("collect"))
            say(err, QStringLiteral("zevctl %1: stopped by signal %2; %3\n")
                         .arg(c.name, signalName(signal),
                              c.frameSent ? QStringLiteral("its frame had been sent to the scanner")
                                          : QStringLiteral("nothing had been sent to the scanner")));
        return StoppedBySignal + signal;
    }
    say(err, QStringLiteral("zevctl: unknown command %1\n").arg(c.name) + usageText());
    return Usage;
}

} // namespace ZevCtl
