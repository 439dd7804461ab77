#include "sim/ScannerMemory.h"

namespace {

const QByteArray kHeader = "zev-scanner-sim memory 1";
const QString kTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
constexpr qsizetype kMaxRecords = 99999;

bool isHex(const QByteArray &text)
{
    if (text.size() % 2)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

} // namespace

QByteArray ScannerMemory::text(const ScannerModel &model)
{
    QByteArray t = kHeader + '\n';
    t += "password " + model.password().toHex() + '\n';
    t += "machine-id " + model.machineId().toHex() + '\n';
    if (model.hasImage())
        t += "image " + QByteArray(reinterpret_cast<const char *>(model.image().data()), 128).toHex() + '\n';
    for (const ScannerModel::Record &r : model.records())
        t += "record " + r.time.toString(kTimeFormat).toLatin1() + ' ' + r.data.toHex() + '\n';
    return t;
}

bool ScannerMemory::read(const QByteArray &text, ScannerModel::Config *config, QString *error)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.first().trimmed() != kHeader) {
        *error = QStringLiteral("line 1: not \"%1\"").arg(QString::fromLatin1(kHeader));
        return false;
    }
    ScannerModel::Config c = *config;
    c.records.clear();
    c.image.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> words = lines.at(i).trimmed().split(' ');
        const QByteArray &key = words.first();
        auto fail = [&](const QString &why) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
            return false;
        };
        if (key.isEmpty() && words.size() == 1)
            continue;
        // A record's data may be empty: "record TIME" alone.
        const bool record = key == "record";
        const QByteArray hex = words.size() > (record ? 2 : 1) ? words.last() : QByteArray();
        if (words.size() > (record ? 3 : 2) || words.size() < 2 || !isHex(hex))
            return fail(QStringLiteral("not \"%1\" and hex digits").arg(QString::fromLatin1(key)));
        const QByteArray bytes = QByteArray::fromHex(hex);
        if (key == "password" && bytes.size() <= 8) {
            c.password = bytes;
        } else if (key == "machine-id" && !bytes.isEmpty() && bytes.size() <= 8) {
            c.machineId = bytes;
        } else if (key == "image" && bytes.size() == 128) {
            c.image = bytes;
        } else if (record) {
            const QDateTime time = QDateTime::fromString(QString::fromLatin1(words.at(1)), kTimeFormat);
            if (!time.isValid())
                return fail(QStringLiteral("not a time of the form YYYY-MM-DDTHH:MM:SS"));
            if (c.records.size() == kMaxRecords)
                return fail(QStringLiteral("more than %1 records").arg(kMaxRecords));
            c.records.append({QDateTime(time.date(), time.time(), QTimeZone::utc()), bytes});
        } else {
            return fail(QStringLiteral("unknown item or wrong length"));
        }
    }
    *config = c;
    return true;
}
