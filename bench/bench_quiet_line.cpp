// What the quiet-line check costs before every exchange when nobody talks:
// a real port (a pseudo-terminal of the simulator, idle) and the real clock.
#include "link/QuietLine.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "QtBenchmarkMain.h"

#include <QCoreApplication>
#include <QProcess>
#include <benchmark/benchmark.h>

namespace {

void BM_QuietLine(benchmark::State &state)
{
    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zev-scanner-sim"), {QStringLiteral("--quiet")});
    if (!sim.waitForReadyRead(10000)) {
        state.SkipWithError("no simulator");
        return;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed().mid(7);
    PortNames names;
    names.setOverride(1, device);
    QtSerialPort port(names);
    port.setPortNumber(1);
    port.setSettings(QStringLiteral("19200,n,8,1"));
    if (!port.open()) {
        state.SkipWithError("the port does not open");
        return;
    }
    QtClock clock;
    for (auto _ : state) {
        const QuietLine::Drained d = QuietLine::drain(port, clock);
        benchmark::DoNotOptimize(d);
        if (!d.quiet || d.discarded != 0)
            state.SkipWithError("the line was not quiet");
    }
    port.close();
    sim.terminate();
    sim.waitForFinished();
}
BENCHMARK(BM_QuietLine)->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

int main(int argc, char **argv)
{
    return runQtBenchmarks(argc, argv);
}
