#include "cli/StderrProgress.h"

#include "cli/Command.h"

StderrProgress::StderrProgress(QIODevice &err) : m_err(err)
{
    m_active = ZevCtl::isTerminal(err);
}

void StderrProgress::update(const QByteArray &soFar)
{
    m_counter.update(soFar);
    const QString text = m_counter.describe();
    if (text.isEmpty() || text == m_shown)
        return;
    m_shown = text;
    // Back to the line's start, the text, then clear what a longer text left.
    m_err.write("\r" + text.toLocal8Bit() + "\x1b[K");
}

void StderrProgress::discarding(const QString &command, qint64 discarded)
{
    if (!m_active) {
        if (!m_told)
            m_err.write(QStringLiteral("zevctl %1: the scanner is still sending: waiting until it has finished\n")
                            .arg(command)
                            .toLocal8Bit());
        m_told = true;
        return;
    }
    m_shown = QStringLiteral("the scanner is still sending: %1 bytes discarded").arg(discarded);
    m_err.write("\r" + m_shown.toLocal8Bit() + "\x1b[K");
}

void StderrProgress::finish()
{
    if (!m_shown.isEmpty())
        m_err.write("\n");
    m_shown.clear();
}
