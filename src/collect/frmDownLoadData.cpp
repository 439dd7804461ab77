#include "collect/frmDownLoad.h"

#include "core/Exchange.h"
#include "core/Platform.h"
#include "core/Session.h"
#include "collect/Data.h"
#include "collect/DownloadArchive.h"
#include "collect/DownloadExchange.h"
#include "collect/PasswordCheck.h"
#include "collect/RecordAssembler.h"
#include "link/Frames.h"
#include "platform/Clock.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "platform/Ui.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

// A download: received with the bar and count kept up to date, archived,
// kept in the store, assembled and shown.

namespace {
// How often the bar, the count and the window's events are brought up to date.
constexpr qint64 ShowEveryMs = 50;
} // namespace

// Every download is kept before anything else happens to it; a failure is
// told and the download is still shown.
QString frmDownLoad::archive(const QByteArray &stream)
{
    const DownloadArchive::Saved saved = DownloadArchive::save(stream, m_platform.clock.now());
    if (!saved.ok)
        m_platform.ui.messageBox(
            QStringLiteral("This download could not be kept in the downloads folder. Save it before you close the viewer."),
            Ui::Buttons::Ok, Ui::Icon::Exclamation, QStringLiteral("Download Data From ZEV"),
            BoxOptions{QDir::toNativeSeparators(saved.path) + QStringLiteral(": ") + saved.error});
    return saved.ok ? QFileInfo(saved.path).fileName() : QString();
}

void frmDownLoad::download()
{
    if (!m_viewer)
        m_viewer = std::make_unique<Data>(m_platform.ui, this, m_platform.showCollectedRecords);
    m_viewer->clear();
    lblCollected->clear();
    DownloadProgress progress;
    progress.receiving = [this]() {
        setStatus(QStringLiteral("Downloading Data..."), QColor(255, 0, 0));
        ProgressBarM->setMaximum(100);
        ProgressBarM->setValue(0);
    };
    // Once the header is known the bar shows the records received of those
    // announced; before that, and for a header that cannot be read, it wraps.
    RecordAssembler::RecordCounter counter;
    auto counting = [&counter]() { return counter.headerKnown() && counter.announced() > 0; };
    qint64 shownAt = -ShowEveryMs;
    progress.received = [this, &counter, counting, &shownAt](const QByteArray &soFar) {
        counter.update(soFar);
        if (!counting())
            return;
        // The last count always shows; those before it at most every 50 ms.
        const qint64 now = m_platform.clock.tickCount();
        if (now - shownAt < ShowEveryMs && counter.received() < counter.announced())
            return;
        shownAt = now;
        ProgressBarM->setMaximum(int(qMin<qint64>(counter.announced(), 99999)));
        ProgressBarM->setValue(int(qMin(counter.received(), counter.announced())));
        lblRecords->setText(counter.describe());
        lblRecords->show();
    };
    progress.step = [this, counting]() {
        if (!counting())
            stepProgress();
    };
    DownloadStream stream;
    {
        const ExchangeGuard guard(m_platform.clock.gate());
        cmdStop->setEnabled(true);
        stream = receiveDownload(*MSComm1, *MPDComm, m_platform.clock, m_session, progress);
        cmdStop->setEnabled(false);
    }
    if (stream.kind == DownloadStream::Received && stream.end == DownloadStream::Stopped
        && !m_platform.clock.gate().stoppedForGood())
        awaitQuietLine();
    lblRecords->hide();
    ProgressBarM->setMaximum(100);
    // What came is archived even when the program is ending.
    QString archiveName;
    if (!stream.bytes.isEmpty() && !stream.refused())
        archiveName = archive(stream.bytes);
    if (m_platform.clock.gate().stoppedForGood()) {
        LBD->hide();
        endAfterFailure();
        return;
    }
    if (stream.kind == DownloadStream::CheckFailed && stream.end == DownloadStream::Stopped) {
        LBD->hide();
        endAfterFailure();
        return;
    }
    const QString title = passwordCheckFailureTitle(PasswordCheckVariant::Download);
    // Not one byte after "D" is a communication failure, not an empty download.
    if (stream.kind == DownloadStream::CheckFailed
        || (stream.kind == DownloadStream::Received && stream.bytes.isEmpty())) {
        m_platform.ui.messageBox(passwordCheckFailureText(PasswordCheckVariant::Download), Ui::Buttons::Ok,
                                 Ui::Icon::Information, title,
                                 {noReplyDetail(m_platform.portNames, MSComm1->portNumber())});
        LBD->hide();
        endAfterFailure();
        return;
    }
    if (stream.kind == DownloadStream::PortError) {
        fault(QStringLiteral("Cannot open the serial port: ") + stream.error, portDetail());
        return;
    }
    // An old stream's tail or a late reply is not this download.
    if (!stream.bytes.startsWith(Link::STX)) {
        fault(QStringLiteral("The download cannot be read: it does not begin with its header."));
        return;
    }
    ProgressBarM->setValue(ProgressBarM->maximum());
    setStatus(QStringLiteral("Adjusting Data..."), QColor(0, 128, 0));

    // Reading the header starts the bar again (on the 100 scale set above); it
    // steps after the first timestamp and after every record.
    // Every record is a step of the wrapping bar; the bar and the window's
    // events catch up at most every 50 ms, as a step per record costs more
    // than the assembly itself.
    ProgressBarM->setValue(0);
    qint64 steppedAt = -ShowEveryMs;
    const RecordAssembler::Result assembled = RecordAssembler::assemble(
        stream.bytes, m_session.MidFlag, m_session.RtcFlag, m_platform.clock.now().date().year(),
        [this, &steppedAt](qsizetype processed) {
            if (processed > 0)
                m_session.BusyCount = qint16(m_session.BusyCount + 1);
            const qint64 now = m_platform.clock.tickCount();
            if (now - steppedAt < ShowEveryMs)
                return;
            steppedAt = now;
            ProgressBarM->setValue(int((processed + 1) % 101));
            m_platform.clock.processEvents();
        });
    if (!assembled.ok()) {
        fault(assembled.description);
        return;
    }
    if (!stream.readable(assembled)) {
        fault(QStringLiteral("The download cannot be read: it does not begin with its header."));
        return;
    }
    if (assembled.headerOnly)
        cmdOK->setEnabled(true);
    LBD->hide();
    // Kept in the store before the user sees it, so closing the viewer loses nothing.
    const QString collected = m_platform.recordDownload
                                ? m_platform.recordDownload(stream.bytes, archiveName, !stream.incomplete(assembled),
                                                            QStringLiteral("COM%1").arg(m_session.CommPortNumber))
                                : QString();
    m_viewer->setText(assembled.text);
    m_viewer->setRecords(assembled.download);
    // The user learns that it is not all before reading the records; the bar
    // shows the share that came.
    if (stream.incomplete(assembled)) {
        const qint64 share = assembled.announced > 0 ? 100 * qint64(assembled.terminated) / assembled.announced : 0;
        ProgressBarM->setValue(int(qBound(qint64(0), share, qint64(ProgressBarM->maximum() - 1))));
        m_platform.ui.messageBox(incompleteDownloadText(assembled.terminated, assembled.announced), Ui::Buttons::Ok,
                                 Ui::Icon::Exclamation, title);
    } else {
        ProgressBarM->setValue(ProgressBarM->maximum());
    }
    m_platform.clock.processEvents();
    m_platform.ui.showModal(*m_viewer);
    lblCollected->setText(collected);
    ProgressBarM->setValue(0);
    m_session.BusyCount = 0;
    cmdOK->setEnabled(true);
}
