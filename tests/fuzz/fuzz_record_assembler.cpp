// The download stream comes from the scanner: any bytes must assemble or end
// in a fault, quickly, with text no larger than a small multiple of the input.
#include "collect/RecordAssembler.h"
#include "collect/RecordExport.h"

#include <cstdint>
#include <cstdlib>

namespace {
void require(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype bound = 4 * qsizetype(size) + 256;
    RecordAssembler::Result results[4];
    for (int flags = 0; flags < 4; ++flags) {
        qsizetype calls = 0;
        results[flags] = RecordAssembler::assemble(stream, flags & 1, flags & 2, 2025, [&](qsizetype n) {
            require(n == calls++);
        });
        const auto &r = results[flags];
        require(r.text.size() <= bound);
        require(r.records <= calls && calls <= qsizetype(size) / 2);
        if (!r.ok())
            require(r.text.isEmpty() && !r.description.isEmpty() && calls == 0);
        else
            require(r.headerOnly == (calls == 0));
    }
    // The flags choose what is shown, never what is found.
    const auto &plain = results[0], &mid = results[1], &rtc = results[2], &both = results[3];
    for (const auto *r : {&mid, &rtc, &both})
        require(r->fault == plain.fault && r->records == plain.records);
    if (plain.ok()) {
        require(mid.text.startsWith("Machine ID: ") && mid.text.endsWith(plain.text));
        require(both.text.startsWith("Machine ID: ") && both.text.endsWith(rtc.text));
        require(rtc.text.size() >= plain.text.size());
        // Every terminated record is listed, lies inside the stream, and exports.
        require(plain.download.list.size() == plain.terminated && plain.download.announced == plain.announced);
        for (const RecordAssembler::Record &r : plain.download.list)
            require(r.offset >= 0 && r.size >= 0 && r.offset + r.size <= stream.size());
        require(RecordExport::csv(plain.download).startsWith("machine_id,timestamp,data\r\n"));
        require(RecordExport::json(plain.download, true).endsWith("]}\n"));
    }
    return 0;
}
