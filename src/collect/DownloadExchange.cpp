#include "collect/DownloadExchange.h"

#include "core/Session.h"
#include "link/Frames.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

DownloadStream receiveDownload(SerialPort &checkPort, SerialPort &dataPort, Clock &clock, const Session &session,
                               const DownloadProgress &progress)
{
    DownloadStream result;
    checkPort.close();
    dataPort.close();
    checkPort.setPortNumber(session.CommPortNumber);
    dataPort.setPortNumber(session.CommPortNumber);

    const PasswordCheckResult check = runPasswordCheck(checkPort, clock, session, PasswordCheckVariant::Download);
    if (check.kind == PasswordCheckResult::PortError) {
        result.kind = DownloadStream::PortError;
        result.error = check.error;
        return result;
    }
    if (!check.passed()) {
        result.kind = DownloadStream::CheckFailed;
        return result;
    }

    auto portFailed = [&]() {
        result.kind = DownloadStream::PortError;
        result.error = dataPort.errorString();
        dataPort.close();
        return result;
    };
    if (!dataPort.open())
        return portFailed();
    dataPort.readAll();
    if (!dataPort.write(Link::commandFrame(session.LoginPassword, 'D')))
        return portFailed();
    clock.waitMs(180);
    if (progress.receiving)
        progress.receiving();

    // Collect until a 0.3 s pause in which nothing came.
    while (dataPort.bytesWaiting() != 0) {
        result.bytes += dataPort.readAll();
        if (progress.received)
            progress.received(result.bytes);
        if (dataPort.bytesWaiting() == 0)
            clock.waitMs(300);
        if (progress.step)
            progress.step();
        clock.processEvents();
    }
    // A line that fails mid-stream still leaves what came before it.
    if (!dataPort.isOpen() && result.bytes.isEmpty())
        return portFailed();
    dataPort.close();
    return result;
}
