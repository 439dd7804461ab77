#include "collect/DownloadExchange.h"

#include "collect/RecordAssembler.h"
#include "core/Session.h"
#include "link/Frames.h"
#include "link/QuietLine.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

bool DownloadStream::refused() const
{
    return kind == Received && bytes == Link::NakFrame;
}

bool DownloadStream::readable(const RecordAssembler::Result &assembled) const
{
    // STX, then the machine ID and the count: printable characters all, which
    // no reply frame and no record's timestamp bytes are.
    constexpr qsizetype HeaderChars = 14;
    if (!bytes.startsWith(Link::STX) || !assembled.ok() || bytes.size() < HeaderChars)
        return false;
    for (qsizetype i = 1; i < HeaderChars; ++i)
        if (static_cast<unsigned char>(bytes.at(i)) < 0x20)
            return false;
    return true;
}

bool DownloadStream::ended() const
{
    return end == Paused || bytes.endsWith(Link::ETX);
}

bool DownloadStream::incomplete(const RecordAssembler::Result &assembled) const
{
    return kind == Received && (!ended() || assembled.terminated < assembled.announced);
}

bool DownloadStream::overfull(const RecordAssembler::Result &assembled) const
{
    return kind == Received && assembled.terminated > assembled.announced;
}

QString incompleteDownloadText(qsizetype received, qint64 announced)
{
    const QString advice = QStringLiteral(" The scanner still holds its records: download again before erasing them.");
    if (received < announced)
        return QStringLiteral("Only %1 of %2 records were received.").arg(received).arg(announced) + advice;
    return QStringLiteral("The download was cut short after %1 of %2 records.").arg(received).arg(announced) + advice;
}

DownloadStream receiveDownload(SerialPort &checkPort, SerialPort &dataPort, Clock &clock, const Session &session,
                               const DownloadProgress &progress, qint64 timeLimitMs)
{
    DownloadStream result;
    checkPort.close();
    dataPort.close();
    checkPort.setPortNumber(session.CommPortNumber);
    dataPort.setPortNumber(session.CommPortNumber);

    const qint64 quietLimit = timeLimitMs > 0 ? timeLimitMs : QuietLine::LimitMs;
    const PasswordCheckResult check =
        runPasswordCheck(checkPort, clock, session, PasswordCheckVariant::Download, quietLimit);
    if (check.kind == PasswordCheckResult::PortError) {
        result.kind = DownloadStream::PortError;
        result.opened = check.opened;
        result.error = check.error;
        return result;
    }
    // Stopped during the check: "D" would start a stream nobody reads.
    if (!check.passed() || clock.stopping()) {
        result.kind = DownloadStream::CheckFailed;
        result.stillSending = check.stillSending;
        if (clock.stopping())
            result.end = DownloadStream::Stopped;
        return result;
    }

    auto portFailed = [&](bool opened) {
        result.kind = DownloadStream::PortError;
        result.opened = opened;
        result.error = dataPort.errorString();
        dataPort.close();
        return result;
    };
    if (!dataPort.open())
        return portFailed(false);
    // A late reply to the check, or an old stream, must not begin this one.
    if (!QuietLine::ready(dataPort, clock, result.stillSending, quietLimit)) {
        if (result.stillSending < 0)
            return portFailed(true);
        result.kind = DownloadStream::CheckFailed;
        return result;
    }
    if (!dataPort.write(Link::commandFrame(session.LoginPassword, 'D')))
        return portFailed(true);
    const qint64 sent = clock.tickCount();
    bool going = clock.waitMs(180);
    if (progress.receiving)
        progress.receiving();

    // Collect until 0.3 s have passed since the last byte came.
    qint64 lastByte = clock.tickCount();
    QuietLine::StreamReads reads(sent, dataPort.bytesPerSecond());
    bool talking = going && dataPort.bytesWaiting() != 0;
    while (talking) {
        const QByteArray got = dataPort.readAll();
        const qint64 now = clock.tickCount();
        reads.read(got.size(), now);
        if (!got.isEmpty()) {
            result.bytes += got;
            lastByte = now;
            if (progress.received)
                progress.received(result.bytes);
        }
        if (progress.step)
            progress.step();
        clock.processEvents();
        if (!dataPort.isOpen() || now - lastByte >= QuietLine::QuietMs)
            break;
        if (timeLimitMs > 0 && now - sent >= timeLimitMs) {
            going = false;
            break;
        }
        qint64 wait = QuietLine::QuietMs - (now - lastByte);
        if (timeLimitMs > 0)
            wait = qMin(wait, timeLimitMs - (now - sent));
        going = reads.awaitMore(dataPort, clock, wait);
        talking = going;
    }
    // What came before a failure or a stop is kept.
    if (!dataPort.isOpen()) {
        result.end = DownloadStream::LineFailed;
        result.error = dataPort.errorString();
    } else if (!going || clock.stopping()) {
        result.end = DownloadStream::Stopped;
        result.bytes += dataPort.readAll();
    }
    dataPort.close();
    return result;
}
