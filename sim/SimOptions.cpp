#include "sim/SimOptions.h"

#include "sim/ScannerMemory.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <limits>

namespace SimOptions {

namespace {

const char kUsage[] =
    "usage: zev-scanner-sim [options]\n"
    "Runs a scanner on a pseudo-terminal and prints \"DEVICE /dev/pts/N\" as the first line.\n"
    "  --password PW          the scanner's password, up to 8 characters (default 1234)\n"
    "  --machine-id ID        up to 8 characters, blank-padded (default ZEV00001)\n"
    "  --records N            N generated records (default 0)\n"
    "  --records-file FILE    one barcode per line, stored as Code 128; timestamps generated\n"
    "  --seed N               seed of the generated records and timestamps (default 1)\n"
    "  --clock 'YYYY-MM-DD HH:MM:SS'  the scanner's clock at start (default: this PC's time)\n"
    "  --pace BYTES_PER_SEC   output rate (default 1920, the line rate of 19200 baud; 0 = unpaced)\n"
    "  --erase-delay MS       time until the erase is acknowledged (default 1000)\n"
    "  --fault refuse|silent|one-byte|garbled|delay:MS|hangup:N|noise|short:K|silent-download\n"
    "                         refuse every frame, never answer, answer one byte, answer 5\n"
    "                         garbled bytes, answer MS late, close the line after N bytes,\n"
    "                         answer the download with noise without end, announce every\n"
    "                         record and send only the first K, or never answer the download\n"
    "  --link PATH            make PATH a symbolic link to the device (removed on exit)\n"
    "  --memory FILE          keep the records, password, machine ID and settings image in\n"
    "                         FILE across runs: read at start when it exists (it then stands\n"
    "                         for --password, --machine-id, --records and --records-file),\n"
    "                         written again after every change (an erase, for one)\n"
    "  --control PATH         make PATH a named pipe (removed on exit) that takes one command\n"
    "                         a line: 'add N' (N new records, scanned up to the clock's now),\n"
    "                         'scan BARCODE' (one Code 128 record), 'out' (taken out of the\n"
    "                         cradle: it answers nothing), 'dock' (back in the cradle)\n"
    "  --undocked             start out of the cradle\n"

    "  --quiet                no log of frames and replies on stderr\n"
    "  --help                 this text\n"
    "SIGUSR1 takes the scanner out of the cradle, or docks it again; SIGTERM or Ctrl-C end it.\n";

} // namespace

bool toInt(const QByteArray &text, int min, int max, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

int parseArgs(int argc, char **argv, Options *o)
{
    const QDateTime now = QDateTime::currentDateTime();
    o->config.clock = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()),
                                QTimeZone::utc());
    auto fail = [](const char *what, const char *value) {
        std::fprintf(stderr, "zev-scanner-sim: %s: %s\n%s", what, value, kUsage);
        return 1;
    };
    for (int i = 1; i < argc; ++i) {
        const QByteArray opt = argv[i];
        if (opt == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (opt == "--quiet") {
            o->quiet = true;
            continue;
        }
        if (opt == "--undocked") {
            o->config.docked = false;
            continue;
        }
        if (i + 1 >= argc)
            return fail("missing value or unknown option", argv[i]);
        const QByteArray value = argv[++i];
        int n = 0;
        if (opt == "--password") {
            if (value.size() > 8)
                return fail("a password has at most 8 characters", value);
            o->config.password = value;
        } else if (opt == "--machine-id") {
            if (value.isEmpty() || value.size() > 8)
                return fail("a machine ID has 1 to 8 characters", value);
            o->config.machineId = value;
        } else if (opt == "--records") {
            if (!toInt(value, 0, 99999, &o->recordCount))
                return fail("not a record count from 0 to 99999", value);
        } else if (opt == "--records-file") {
            o->recordsFile = value;
        } else if (opt == "--seed") {
            if (!toInt(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), &o->seed))
                return fail("not a number", value);
        } else if (opt == "--clock") {
            QDateTime c = QDateTime::fromString(QString::fromLatin1(value), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!c.isValid() || c.date().year() < 2000 || c.date().year() > 2099)
                return fail("not a time of the form 'YYYY-MM-DD HH:MM:SS' from 2000 to 2099", value);
            o->config.clock = QDateTime(c.date(), c.time(), QTimeZone::utc());
        } else if (opt == "--pace") {
            if (!toInt(value, 0, 1000000, &o->config.bytesPerSecond))
                return fail("not a rate from 0 to 1000000", value);
        } else if (opt == "--erase-delay") {
            if (!toInt(value, 0, 3600000, &o->config.eraseDelayMs))
                return fail("not a time in ms", value);
        } else if (opt == "--fault") {
            using F = ScannerModel::Fault;
            if (value == "refuse")
                o->config.fault = F::RefuseAll;
            else if (value == "silent")
                o->config.fault = F::Silent;
            else if (value == "one-byte")
                o->config.fault = F::OneByteReply;
            else if (value == "garbled")
                o->config.fault = F::GarbledReply;
            else if (value.startsWith("delay:") && toInt(value.mid(6), 0, 3600000, &n))
                o->config.replyDelayMs = n;
            else if (value.startsWith("hangup:") && toInt(value.mid(7), 0, std::numeric_limits<int>::max(), &n)) {
                o->config.fault = F::HangUpAfterBytes;
                o->config.hangUpAfterBytes = n;
            } else if (value == "silent-download") {
                o->config.fault = F::SilentDownload;
            } else if (value == "noise") {
                o->config.fault = F::Noise;
            } else if (value.startsWith("short:") && toInt(value.mid(6), 0, 99999, &n)) {
                o->config.fault = F::ShortDownload;
                o->config.shortRecords = n;
            } else
                return fail("unknown fault", value);
        } else if (opt == "--link") {
            o->link = value;
        } else if (opt == "--memory") {
            o->memoryFile = value;
        } else if (opt == "--control") {
            o->control = value;
        } else {
            return fail("unknown option", argv[i - 1]);
        }
    }
    return 0;
}

namespace {

// 0 when there is no memory file yet, 1 when it was read, -1 when it cannot be.
int loadMemory(Options *o)
{
    if (o->memoryFile.isEmpty())
        return 0;
    QFile f(QString::fromLocal8Bit(o->memoryFile));
    if (!f.exists())
        return 0;
    QString error;
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.errorString();
    } else if (f.size() > 64 << 20) {
        error = QStringLiteral("larger than 64 MiB");
    } else if (ScannerMemory::read(f.readAll(), &o->config, &error)) {
        return 1;
    }
    std::fprintf(stderr, "zev-scanner-sim: cannot read the memory %s: %s\n", o->memoryFile.constData(),
                 qPrintable(error));
    return -1;
}

} // namespace

bool saveMemory(const QByteArray &file, const ScannerModel &model)
{
    QSaveFile f(QString::fromLocal8Bit(file));
    if (f.open(QIODevice::WriteOnly) && f.write(ScannerMemory::text(model)) >= 0 && f.commit())
        return true;
    std::fprintf(stderr, "zev-scanner-sim: cannot write the memory %s: %s\n", file.constData(),
                 qPrintable(f.errorString()));
    return false;
}

bool loadRecords(Options *o)
{
    const int memory = loadMemory(o);
    if (memory != 0)
        return memory > 0;
    QList<QByteArray> lines;
    if (!o->recordsFile.isEmpty()) {
        QFile f(QString::fromLocal8Bit(o->recordsFile));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "zev-scanner-sim: cannot read %s: %s\n", o->recordsFile.constData(),
                         qPrintable(f.errorString()));
            return false;
        }
        for (QByteArray line : f.readAll().split('\n')) {
            while (line.endsWith('\r'))
                line.chop(1);
            if (!line.isEmpty())
                lines.append(line);
        }
        if (lines.size() > 99999) {
            std::fprintf(stderr, "zev-scanner-sim: %s holds more than 99999 barcodes\n", o->recordsFile.constData());
            return false;
        }
    }
    const int count = lines.isEmpty() ? o->recordCount : int(lines.size());
    // The records were read before the clock shows now: at most 900 s apart.
    const QDateTime start = o->config.clock.addSecs(-qint64(count) * 901);
    o->config.records = ScannerModel::generateRecords(count, start, o->seed);
    for (qsizetype i = 0; i < lines.size(); ++i)
        o->config.records[i].data = 'C' + lines.at(i);
    return true;
}

} // namespace SimOptions
