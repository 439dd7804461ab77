// zevctl transmit to one scanner against --port given four times: four
// simulators on pseudo-terminals, each at the line rate.
#include "BenchMain.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

QString binary(const char *name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

// The simulators stay up for every run; each prints its device first.
std::vector<std::unique_ptr<QProcess>> g_sims;
QStringList g_devices;

bool startSimulators(int count)
{
    while (int(g_sims.size()) < count) {
        auto sim = std::make_unique<QProcess>();
        sim->start(binary("zev-scanner-sim"), {QStringLiteral("--quiet")});
        if (!sim->waitForReadyRead(10000))
            return false;
        const QString line = QString::fromLocal8Bit(sim->readLine()).trimmed();
        if (!line.startsWith(QLatin1String("DEVICE ")))
            return false;
        g_devices << line.mid(7);
        g_sims.push_back(std::move(sim));
    }
    return true;
}

void BM_Transmit(benchmark::State &state)
{
    const int ports = int(state.range(0));
    if (!startSimulators(ports)) {
        state.SkipWithError("no simulator on a pseudo-terminal");
        return;
    }
    QStringList args;
    for (int i = 0; i < ports; ++i)
        args << QStringLiteral("--port") << g_devices.at(i);
    args << QStringLiteral("--password") << QStringLiteral("1234") << QStringLiteral("transmit")
         << binary("Default.mag");
    for (auto _ : state) {
        QProcess zevctl;
        zevctl.start(binary("zevctl"), args);
        if (!zevctl.waitForFinished(60000) || zevctl.exitCode() != 0) {
            state.SkipWithError("zevctl transmit failed");
            return;
        }
    }
}
BENCHMARK(BM_Transmit)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv, []() {
        for (auto &sim : g_sims) {
            sim->terminate();
            sim->waitForFinished(5000);
        }
    });
}
