// The data dialog after a download of 99,999 records: from the read that took
// the last byte to the viewer shown, with the scanner model on a fake line and
// the virtual clock (the download's own waits take no time here). Argument 1
// also records the download in a fresh SQLite store, as the program does.
#include "BenchMain.h"
#include "PeakMemory.h"
#include "collect/Data.h"
#include "collect/frmDownLoad.h"
#include "core/Platform.h"
#include "core/Session.h"
#include "ledger/LedgerSettings.h"
#include "platform/QtSettingsStore.h"
#include "support/FakeSerialPort.h"
#include "support/ModelPeer.h"
#include "support/ScriptedUi.h"
#include "support/VirtualClock.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The scanner model, noting when the window took its last byte.
class TimedPeer : public ModelPeer
{
public:
    using ModelPeer::ModelPeer;
    QByteArray takeOutput(qint64 nowMs) override
    {
        QByteArray bytes = ModelPeer::takeOutput(nowMs);
        if (!bytes.isEmpty()) {
            lastByte = Clock::now();
            lastByteCpu = cpuSeconds();
            lastByteFaults = minorFaults();
        }
        return bytes;
    }
    Clock::time_point lastByte;
    double lastByteCpu = 0;
    long lastByteFaults = 0;
};

void BM_DownloadWindow(benchmark::State &state)
{
    const bool withStore = state.range(0) != 0;
    VirtualClock clock;
    ScannerModel::Config config;
    config.bytesPerSecond = 0;
    config.clock = clock.now();
    config.records = ScannerModel::generateRecords(99999, clock.now().addDays(-30), 7);
    double cpu = 0, faults = 0;
    qsizetype lines = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
        QtSettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
        ScriptedUi ui;
        TimedPeer peer(config);
        Platform platform{ui, store, clock, [&]() { return std::make_unique<FakeSerialPort>(peer, clock); }, QString()};
        if (withStore) {
            LedgerSettings::setUrl(store, dir.filePath(QStringLiteral("records.sqlite")));
            platform.recordDownload = [&](const QByteArray &stream, const QString &archiveName, bool complete,
                                          const QString &port) {
                return LedgerSettings::recordForWindow(store, stream, archiveName, complete, port, 2026);
            };
        }
        Session session;
        session.LoggedIn = true;
        session.LoginPassword = QStringLiteral("1234    ");
        session.MidFlag = true;
        session.RtcFlag = true;
        frmDownLoad window(session, platform);
        window.load();
        window.show();
        window.activate();
        Clock::time_point shown;
        double shownCpu = 0;
        long shownFaults = 0;
        ui.onModal([&](QDialog &viewer) {
            viewer.show();
            QApplication::processEvents();
            shown = Clock::now();
            shownCpu = cpuSeconds();
            shownFaults = minorFaults();
            lines = static_cast<Data &>(viewer).text().count('\n');
            viewer.hide();
            return 0;
        });
        window.cmdOK_Click();
        state.SetIterationTime(std::chrono::duration<double>(shown - peer.lastByte).count());
        cpu += shownCpu - peer.lastByteCpu;
        faults += double(shownFaults - peer.lastByteFaults);
        if (ui.modalWindows != QStringList{QStringLiteral("Data")} || !ui.boxes.isEmpty()) {
            state.SkipWithError("the viewer did not come up alone");
            return;
        }
    }
    state.counters["cpu_s"] = cpu / double(state.iterations());
    state.counters["page_faults"] = faults / double(state.iterations());
    state.counters["lines"] = double(lines);
}
BENCHMARK(BM_DownloadWindow)->ArgName("store")->Arg(0)->Arg(1)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    drawOffScreenUnlessTold();
    return runBenchmarks<QApplication>(argc, argv);
}
