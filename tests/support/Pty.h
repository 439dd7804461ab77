#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal whose slave side the code under test opens as its serial
// port, while the test plays the scanner on the master side.
class Pty
{
public:
    Pty();
    ~Pty();
    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slave; }
    QString error() const { return m_error; }

    bool write(const QByteArray &bytes);
    // Reads what has arrived within timeoutMs (stops early once `want` bytes came).
    QByteArray read(int timeoutMs, int want = -1);
    // The scanner side goes away: the slave side then sees a hang-up.
    void closeMaster();

private:
    int m_master = -1;
    QString m_slave;
    QString m_error;
};
