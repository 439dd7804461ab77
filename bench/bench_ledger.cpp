// The collected-records store: recording downloads, recognising a re-download,
// exporting the new records. SQLite in a temporary folder; PostgreSQL when
// ZEV_BENCH_POSTGRES names a database (run under pg_virtualenv).
#include "ledger/Ledger.h"
#include "ledger/RecordsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

// A scanner's memory: the scans in the order they were taken, a few seconds
// apart; each seed's download is later than the one before.
QByteArray download(const QByteArray &machineId, int records, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray s("\x02");
    s += machineId.leftJustified(8, ' ', true);
    s += QByteArray::number(records).rightJustified(5, '0');
    QDateTime t(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    t = t.addSecs(qint64(seed) * records * 60);
    for (int i = 0; i < records; ++i) {
        t = t.addSecs(1 + rng() % 59);
        const QDate day = t.date();
        const QTime time = t.time();
        for (int v : {day.year() - 2000, day.month(), day.day(), time.hour(), time.minute(), time.second()})
            s += char(v + 16);
        s += '0';
        s += "4006381333931-" + QByteArray::number(rng() % 1000000);
        s += "?\r";
    }
    return s;
}

LedgerDownload taken(const QByteArray &stream)
{
    return downloadTakenNow(RecordAssembler::assemble(stream, false, false, 2026).download, stream, true,
                            QStringLiteral("/dev/ttyUSB0"), QString());
}

std::unique_ptr<Ledger> store(QTemporaryDir &dir, bool postgres)
{
    const QString url = postgres ? qEnvironmentVariable("ZEV_BENCH_POSTGRES") : dir.filePath(QStringLiteral("bench.sqlite"));
    Ledger::Opened o = Ledger::open(url);
    return std::move(o.ledger);
}

void recordNew(benchmark::State &state, bool postgres)
{
    if (postgres && qEnvironmentVariableIsEmpty("ZEV_BENCH_POSTGRES")) {
        state.SkipWithError("ZEV_BENCH_POSTGRES is not set");
        return;
    }
    QTemporaryDir dir;
    auto ledger = store(dir, postgres);
    int n = 0;
    const unsigned salt = std::random_device{}();
    for (auto _ : state) {
        state.PauseTiming();
        ++n;
        const LedgerDownload d = taken(download("B" + QByteArray::number(salt % 1000) + "-" + QByteArray::number(n), 2000, unsigned(n)));
        state.ResumeTiming();
        const Recorded r = ledger->record(d);
        if (r.fresh != 2000)
            state.SkipWithError(qPrintable(r.error));
    }
}

void BM_Record2000Sqlite(benchmark::State &state) { recordNew(state, false); }
void BM_Record2000Postgres(benchmark::State &state) { recordNew(state, true); }

void BM_Redownload10000(benchmark::State &state)
{
    QTemporaryDir dir;
    auto ledger = store(dir, false);
    const LedgerDownload d = taken(download("AGAIN", 10000, 1));
    ledger->record(d);
    for (auto _ : state) {
        const Recorded r = ledger->record(d);
        if (r.already != 10000)
            state.SkipWithError(qPrintable(r.error));
    }
}

void BM_Export100000Of1000000(benchmark::State &state)
{
    QTemporaryDir dir;
    auto ledger = store(dir, false);
    for (int i = 0; i < 90; ++i)
        ledger->record(taken(download("OLD" + QByteArray::number(i), 10000, unsigned(i))));
    ledger->markDone(ledger->newBatch(QStringLiteral("erp")).id);
    for (int i = 0; i < 10; ++i)
        ledger->record(taken(download("NEW" + QByteArray::number(i), 10000, unsigned(100 + i))));
    for (auto _ : state) {
        const ExportBatch b = ledger->newBatch(QStringLiteral("erp"));
        const QByteArray csv = RecordsFile::write(ledger->batchRecords(b.id), RecordExport::Format::Csv);
        ledger->markDone(b.id);
        if (b.rows != 100000 || csv.isEmpty())
            state.SkipWithError("not 100,000 new");
    }
}

} // namespace

BENCHMARK(BM_Record2000Sqlite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Record2000Postgres)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Redownload10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export100000Of1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
