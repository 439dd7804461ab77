// A download's own cost at the line rate, in this process: a simulator on a
// pseudo-terminal sends N records at 1920 bytes a second; the exchange runs
// on real ports and the real clock, sleeping as zevctl does (Sleep) or with
// the window's event loop (Events). CPU time and voluntary context switches
// (the wake-ups) are this process's own, from getrusage.
#include "collect/DownloadExchange.h"
#include "core/Session.h"
#include "link/Frames.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "BenchMain.h"

#include <QCoreApplication>
#include <QProcess>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

double cpuSeconds(const rusage &u)
{
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_Download(benchmark::State &state)
{
    const auto records = state.range(0);
    const auto waits = state.range(1) == 0 ? QtClock::Waits::Sleep : QtClock::Waits::Events;
    state.SetLabel(waits == QtClock::Waits::Sleep ? "sleeping on the port" : "event loop");
    double cpu = 0;
    double wakes = 0;
    double bytes = 0;
    double wall = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QProcess sim;
        sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zev-scanner-sim"),
                  {QStringLiteral("--quiet"), QStringLiteral("--password"), QStringLiteral("1234"),
                   QStringLiteral("--records"), QString::number(records)});
        if (!sim.waitForReadyRead(10000)) {
            state.SkipWithError("no simulator");
            return;
        }
        PortNames names;
        names.setOverride(1, QString::fromLocal8Bit(sim.readLine()).trimmed().mid(7));
        QtSerialPort check(names);
        QtSerialPort data(names);
        for (QtSerialPort *p : {&check, &data})
            p->setSettings(Link::LineSettings);
        Session session;
        session.LoginPassword = QStringLiteral("1234");
        int sum = 0;
        PadPassword(session.LoginPassword, sum);
        QtClock clock(waits);
        rusage before {};
        rusage after {};
        state.ResumeTiming();
        getrusage(RUSAGE_SELF, &before);
        const qint64 start = clock.tickCount();
        const DownloadStream s = receiveDownload(check, data, clock, session);
        wall += double(clock.tickCount() - start) / 1000;
        getrusage(RUSAGE_SELF, &after);
        state.PauseTiming();
        if (s.kind != DownloadStream::Received || s.bytes.isEmpty())
            state.SkipWithError("no download");
        cpu += cpuSeconds(after) - cpuSeconds(before);
        wakes += double(after.ru_nvcsw - before.ru_nvcsw);
        bytes += double(s.bytes.size());
        sim.terminate();
        sim.waitForFinished();
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["cpu_ms"] = cpu / n * 1000;
    state.counters["wakeups"] = wakes / n;
    state.counters["wakeups_per_s"] = wakes / wall;
    state.counters["bytes"] = bytes / n;
}
BENCHMARK(BM_Download)
    ->ArgsProduct({{40, 2000}, {0, 1}})
    ->ArgNames({"records", "events"})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
