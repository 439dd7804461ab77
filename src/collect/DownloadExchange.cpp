#include "collect/DownloadExchange.h"

#include "collect/RecordAssembler.h"
#include "core/Session.h"
#include "link/Frames.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

bool DownloadStream::refused() const
{
    return kind == Received && bytes == Link::NakFrame;
}

bool DownloadStream::incomplete(const RecordAssembler::Result &assembled) const
{
    return kind == Received && (end != Paused || assembled.terminated < assembled.announced);
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

    const PasswordCheckResult check = runPasswordCheck(checkPort, clock, session, PasswordCheckVariant::Download);
    if (check.kind == PasswordCheckResult::PortError) {
        result.kind = DownloadStream::PortError;
        result.opened = check.opened;
        result.error = check.error;
        return result;
    }
    // Stopped during the check: "D" would start a stream nobody reads.
    if (!check.passed() || clock.stopping()) {
        result.kind = DownloadStream::CheckFailed;
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
    dataPort.readAll();
    if (!dataPort.write(Link::commandFrame(session.LoginPassword, 'D')))
        return portFailed(true);
    const qint64 sent = clock.tickCount();
    bool going = clock.waitMs(180);
    if (progress.receiving)
        progress.receiving();

    // Collect until a 0.3 s pause in which nothing came.
    while (going && dataPort.bytesWaiting() != 0) {
        result.bytes += dataPort.readAll();
        if (progress.received)
            progress.received(result.bytes);
        if (dataPort.bytesWaiting() == 0)
            going = clock.waitMs(300);
        if (progress.step)
            progress.step();
        clock.processEvents();
        if (timeLimitMs > 0 && clock.tickCount() - sent >= timeLimitMs)
            going = false;
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
