// Filling the data viewer with the text of a 10 MB download.
#include "BenchMain.h"
#include "GeneratedStream.h"
#include "SilentUi.h"
#include "collect/Data.h"
#include "collect/RecordAssembler.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>

namespace {

void BM_FillViewer(benchmark::State &state)
{
    const QByteArray text = RecordAssembler::assemble(streamOf(state.range(0)), true, true, 2025).text;
    SilentUi ui;
    Data viewer(ui);
    for (auto _ : state) {
        viewer.setText(text);
        benchmark::DoNotOptimize(viewer.RichTextBox1->document()->blockCount());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * text.size());
    state.counters["lines"] = double(viewer.RichTextBox1->document()->blockCount());
}

} // namespace

BENCHMARK(BM_FillViewer)->ArgName("MB")->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    drawOffScreenUnlessTold();
    return runBenchmarks<QApplication>(argc, argv);
}
