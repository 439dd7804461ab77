// The "Collected Records" window on a store of 1,000,000 records: the first
// rows shown, a filter by text, a jump deep into the table in each order, and
// the counts and chart under a filter (the chart is counted in another thread:
// BM_ChartShown is the time until it is drawn). The store is made through the store's
// own API (8 machines, collected and erased daily over 50 days); set
// ZEV_BENCH_STORE to a file to keep it between runs.
#include "BenchMain.h"
#include "SilentUi.h"
#include "ledger/frmRecords.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

namespace {

constexpr int Machines = 8;
constexpr int Days = 50;
constexpr int PerDownload = 2500; // 8 x 50 x 2,500 = 1,000,000

// One day's download of one scanner: EAN-13 numbers and lot labels, scanned from 08:00.
QByteArray download(int machine, int day, std::mt19937 &rng)
{
    const QDate date = QDate(2026, 10, 1).addDays(day);
    QByteArray s("\x02MID0000" + QByteArray::number(machine));
    s += QByteArray::number(PerDownload).rightJustified(5, '0');
    for (int i = 0; i < PerDownload; ++i) {
        const int second = 8 * 3600 + i * 10;
        const int clock[6] = {date.year() - 2000, date.month(), date.day(), second / 3600, second / 60 % 60, second % 60};
        for (int v : clock)
            s += char(v + 16);
        s += '0';
        if (rng() % 5 < 3) {
            for (int d = 0; d < 13; ++d)
                s += char('0' + rng() % 10);
        } else {
            s += "LOT-" + QByteArray::number(100000 + rng() % 900000);
        }
        s += "?\r";
    }
    return s;
}

struct Store
{
    QTemporaryDir dir;
    std::unique_ptr<Ledger> ledger;
};

Store &store()
{
    static Store s;
    if (s.ledger)
        return s;
    const QString path = qEnvironmentVariable("ZEV_BENCH_STORE", s.dir.filePath(QStringLiteral("records.sqlite")));
    s.ledger = std::move(Ledger::open(path).ledger);
    if (!s.ledger || s.ledger->count({}) == qint64(Machines) * Days * PerDownload)
        return s;
    std::fprintf(stderr, "making a store of %d records in %s\n", Machines * Days * PerDownload, qPrintable(path));
    std::mt19937 rng(42);
    for (int day = 0; day < Days; ++day) {
        for (int m = 1; m <= Machines; ++m) {
            LedgerDownload d;
            const QByteArray stream = download(m, day, rng);
            d.records = RecordAssembler::assemble(stream, false, false, 2026).download;
            d.complete = !(m == 3 && day == Days - 1); // one cut short on the last day
            d.when = QDateTime(QDate(2026, 10, 1).addDays(day), QTime(17, 0));
            d.host = m <= 4 ? QStringLiteral("dock-east") : QStringLiteral("dock-west");
            d.portDevice = QStringLiteral("/dev/zev-com%1").arg(m);
            const Recorded r = s.ledger->record(d);
            if (r.ok && d.complete)
                s.ledger->markErased(r.scannerKey, r.generation);
        }
    }
    return s;
}

void report(benchmark::State &state, qint64 rows)
{
    state.counters["rows"] = double(rows);
}

void BM_FirstRowsShown(benchmark::State &state)
{
    SilentUi ui;
    qint64 rows = 0;
    for (auto _ : state) {
        auto w = std::make_unique<frmRecords>(*store().ledger, ui);
        w->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(w->model()->index(0, 2).data());
        rows = w->model()->total();
        state.PauseTiming();
        w.reset(); // waits for the chart's count
        state.ResumeTiming();
    }
    report(state, rows);
}

// Until the chart, counted in another thread, is drawn as well.
void BM_ChartShown(benchmark::State &state)
{
    SilentUi ui;
    for (auto _ : state) {
        frmRecords w(*store().ledger, ui);
        w.show();
        while (w.chartPending())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

const char *const Texts[] = {"4711", "LOT-5", "LOT-123456"};

void BM_FilterByText(benchmark::State &state)
{
    SilentUi ui;
    frmRecords w(*store().ledger, ui);
    w.show();
    QApplication::processEvents();
    const QString text = QString::fromLatin1(Texts[state.range(0)]);
    for (auto _ : state) {
        w.txtFind->setText(text);
        w.applyFilters();
        QApplication::processEvents();
        benchmark::DoNotOptimize(w.model()->index(0, 2).data());
        state.PauseTiming();
        report(state, w.model()->total());
        while (w.chartPending())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        w.txtFind->clear();
        w.applyFilters();
        state.ResumeTiming();
    }
    state.SetLabel(qPrintable(text));
}

// A row at a fraction of the table (per mille), in the order of one column, its page not fetched yet.
void BM_JumpTo(benchmark::State &state)
{
    SilentUi ui;
    frmRecords w(*store().ledger, ui);
    const int column = int(state.range(0));
    w.tblRecords->sortByColumn(column, Qt::AscendingOrder);
    CollectedRecordsModel *model = w.model();
    const int row = int(model->total() * state.range(1) / 1000);
    for (auto _ : state) {
        state.PauseTiming();
        model->setFilter(model->filter()); // forgets the pages fetched
        state.ResumeTiming();
        benchmark::DoNotOptimize(model->index(qMin(row, model->rowCount() - 1), column).data());
    }
    state.SetLabel(qPrintable(model->headerData(column, Qt::Horizontal).toString()));
}

// A click on a column's title: the first rows in that order.
void BM_SortBy(benchmark::State &state)
{
    SilentUi ui;
    frmRecords w(*store().ledger, ui);
    const int column = int(state.range(0));
    for (auto _ : state) {
        w.tblRecords->sortByColumn(column, Qt::DescendingOrder);
        benchmark::DoNotOptimize(w.model()->index(0, column).data());
        state.PauseTiming();
        w.tblRecords->sortByColumn(column == 1 ? 0 : 1, Qt::AscendingOrder);
        state.ResumeTiming();
    }
    state.SetLabel(qPrintable(w.model()->headerData(column, Qt::Horizontal).toString()));
}

// What a filter asks of the store beside the page: the count, the chart and the machines' counts.
void BM_CountsUnderFilter(benchmark::State &state)
{
    Ledger &ledger = *store().ledger;
    RecordFilter f;
    if (state.range(0) == 0)
        f.text = QStringLiteral("LOT-5");
    else {
        f.since = QDate(2026, 10, 10);
        f.until = QDate(2026, 10, 16);
    }
    qint64 n = 0;
    for (auto _ : state) {
        n = ledger.count(f);
        benchmark::DoNotOptimize(ledger.countsPerDay(f));
        benchmark::DoNotOptimize(ledger.countsPerMachine(f));
    }
    report(state, n);
    state.SetLabel(state.range(0) == 0 ? "text LOT-5" : "seven days");
}

} // namespace

BENCHMARK(BM_FirstRowsShown)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ChartShown)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FilterByText)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_JumpTo)->ArgsProduct({{0, 1, 2, 3, 4}, {500, 999}})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortBy)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CountsUnderFilter)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    drawOffScreenUnlessTold();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    store(); // made before anything is timed
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
