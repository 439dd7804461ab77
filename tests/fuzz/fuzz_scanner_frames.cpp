// The scanner reads whatever arrives on the line: any bytes, in any chunking
// and at any pace, must be answered without a crash, and every answer belongs
// to a frame, so the output stays bounded by the frames that came in.
#include "sim/ScannerModel.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    // Chunks, time steps and the fault mode follow from the input, so a crash repeats.
    quint64 h = 1469598103934665603ull;
    for (const char b : input)
        h = (h ^ quint8(b)) * 1099511628211ull;
    auto next = [&h] {
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdull;
        h ^= h >> 33;
        return h;
    };

    static const QList<ScannerModel::Record> records =
        ScannerModel::generateRecords(4, QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6), QTimeZone::utc()), 9);
    ScannerModel::Config config;
    config.records = records;
    config.bytesPerSecond = (next() % 2) ? 1920 : 0;
    config.fault = ScannerModel::Fault(next() % 8 % 6);
    config.hangUpAfterBytes = int(next() % 64);
    ScannerModel model(config);

    qsizetype longestReply = 10;
    {
        ScannerModel probe(config);
        probe.receive(QByteArray::fromHex("023132333420202020440d3b03"), 0);
        longestReply = std::max(longestReply, probe.takeOutput(1 << 30).size());
    }

    qint64 now = 0;
    qsizetype out = 0;
    for (qsizetype i = 0; i < input.size();) {
        const qsizetype n = qsizetype(1 + next() % 64);
        model.receive(input.mid(i, n), now);
        out += model.takeOutput(now).size();
        now += qint64(next() % 20);
        i += n;
    }
    out += model.takeOutput(now + 1000000000).size();

    if (out > input.count('\x03') * longestReply)
        std::abort();
    if (config.fault == ScannerModel::Fault::HangUpAfterBytes && out > config.hangUpAfterBytes)
        std::abort();
    if (model.nextOutputDueMs() != -1 || model.framesReceived().size() > 1000)
        std::abort();
    return 0;
}
