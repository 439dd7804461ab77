// Assembly of generated downloads of 1, 10 and 100 MB: throughput, and the
// memory one assembly takes beyond the stream itself.
#include "BenchMain.h"
#include "GeneratedStream.h"
#include "PeakMemory.h"
#include "collect/RecordAssembler.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

// Peak resident growth of one assembly, in bytes; -1 where it cannot be measured.
double peakGrowth(const QByteArray &stream, bool mid, bool rtc)
{
    if (!resetPeakRss())
        return -1;
    const long before = statusKb("VmRSS:");
    {
        const auto r = RecordAssembler::assemble(stream, mid, rtc, 2025);
        benchmark::DoNotOptimize(r.text.constData());
    }
    const long peak = statusKb("VmHWM:");
    return before < 0 || peak < 0 ? -1 : double(peak - before) * 1024;
}

void assembleBench(benchmark::State &state, bool mid, bool rtc, bool withProgress)
{
    const QByteArray &stream = streamOf(state.range(0));
    const double growth = peakGrowth(stream, mid, rtc);
    qsizetype steps = 0;
    RecordAssembler::Progress progress;
    if (withProgress)
        progress = [&steps](qsizetype) { ++steps; };
    qsizetype records = 0, textBytes = 0;
    const long faultsBefore = minorFaults();
    for (auto _ : state) {
        const auto r = RecordAssembler::assemble(stream, mid, rtc, 2025, progress);
        records = r.records;
        textBytes = r.text.size();
        benchmark::DoNotOptimize(r.text.constData());
    }
    benchmark::DoNotOptimize(steps);
    state.counters["page_faults"] = double(minorFaults() - faultsBefore) / double(state.iterations());
    state.SetBytesProcessed(qint64(state.iterations()) * stream.size());
    state.counters["records"] = double(records);
    state.counters["text_per_stream"] = double(textBytes) / double(stream.size());
    if (growth >= 0)
        state.counters["peak_rss_growth_per_stream"] = growth / double(stream.size());
}

void BM_AssembleBothFlags(benchmark::State &state) { assembleBench(state, true, true, false); }
void BM_AssembleBothFlagsWithProgress(benchmark::State &state) { assembleBench(state, true, true, true); }
void BM_AssembleNoFlags(benchmark::State &state) { assembleBench(state, false, false, false); }

} // namespace

BENCHMARK(BM_AssembleBothFlags)->ArgName("MB")->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssembleBothFlagsWithProgress)->ArgName("MB")->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssembleNoFlags)->ArgName("MB")->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // A download is assembled once, into fresh memory. The C library would
    // hand blocks below 32 MB back to the next iteration with their pages
    // already there, and larger ones fresh: every size gets fresh memory
    // here, or with --reused-memory every size reuses the pages of the last.
    if (argc > 1 && std::strcmp(argv[argc - 1], "--reused-memory") == 0) {
        --argc;
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
    } else {
        mallopt(M_MMAP_THRESHOLD, 1 << 20);
    }
    return runBenchmarks(argc, argv);
}
