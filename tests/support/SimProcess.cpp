#include "support/SimProcess.h"

#include "support/TestFiles.h"

#include <QElapsedTimer>

SimProcess::SimProcess(const QStringList &args)
{
    m_process.start(TestFiles::binDir() + QStringLiteral("/zev-scanner-sim"), args);
    if (!m_process.waitForStarted(10000)) {
        m_error = m_process.errorString();
        return;
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        if (m_process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
            if (line.startsWith(QLatin1String("DEVICE "))) {
                m_device = line.mid(7);
                return;
            }
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
        m_process.waitForReadyRead(100);
    }
    m_error = QStringLiteral("the simulator gave no device: ") + QString::fromLocal8Bit(m_process.readAllStandardError());
}

SimProcess::~SimProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

QString SimProcess::log()
{
    m_log += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_log;
}

ToolRun runTool(const QString &program, const QStringList &args, int timeoutMs, int terminateAfterMs)
{
    QProcess p;
    p.start(TestFiles::binDir() + QLatin1Char('/') + program, args);
    ToolRun r;
    if (terminateAfterMs >= 0 && !p.waitForFinished(terminateAfterMs))
        p.terminate();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}
