#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// zev-scanner-sim started for one test; ended when this goes out of scope.
class SimProcess
{
public:
    explicit SimProcess(const QStringList &args);
    ~SimProcess();
    bool started() const { return !m_device.isEmpty(); }
    QString device() const { return m_device; }
    QString error() const { return m_error; }
    // Its log so far (one line per frame and reply).
    QString log();

private:
    QProcess m_process;
    QString m_device;
    QString m_error;
    QString m_log;
};

// One run of a built program of this project.
struct ToolRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};
// terminateAfterMs >= 0: SIGTERM after that long, if the program still runs.
ToolRun runTool(const QString &program, const QStringList &args, int timeoutMs = 60000, int terminateAfterMs = -1);
