// CSV and JSON of generated downloads written as the records are found:
// throughput, and the memory taken beyond the stream (peak resident growth).
#include "GeneratedStream.h"
#include "PeakMemory.h"
#include "collect/RecordAssembler.h"
#include "collect/RecordExport.h"

#include <benchmark/benchmark.h>

namespace {

// One export as zevctl does it: a scan for the counts, then the records
// written in pieces to a sink that only counts them (the output's own cost
// is not the export's).
qint64 exportOnce(const QByteArray &stream, RecordExport::Format format)
{
    const RecordAssembler::Result scanned = RecordAssembler::scan(stream, 2025);
    qint64 bytes = 0;
    RecordExport::write(format, scanned, 2025, true, [&bytes](const QByteArray &piece) {
        bytes += piece.size();
        benchmark::DoNotOptimize(piece.constData());
        return true;
    });
    return bytes;
}

void exportBench(benchmark::State &state, RecordExport::Format format)
{
    const QByteArray &stream = streamOf(state.range(0));
    double growth = -1;
    if (resetPeakRss()) {
        const long before = statusKb("VmRSS:");
        exportOnce(stream, format);
        growth = double(statusKb("VmHWM:") - before) * 1024;
    }
    qint64 out = 0;
    for (auto _ : state)
        out = exportOnce(stream, format);
    state.SetBytesProcessed(qint64(state.iterations()) * stream.size());
    state.counters["out_MB"] = double(out) / MB;
    state.counters["peak_growth_x_stream"] = growth < 0 ? -1 : growth / double(stream.size());
}

void BM_Csv(benchmark::State &state) { exportBench(state, RecordExport::Format::Csv); }
void BM_Json(benchmark::State &state) { exportBench(state, RecordExport::Format::Json); }

} // namespace

BENCHMARK(BM_Csv)->ArgName("MB")->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Json)->ArgName("MB")->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
