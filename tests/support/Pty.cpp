#include "support/Pty.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = QString::fromLocal8Bit(strerror(errno));
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
        return;
    }
    m_slave = QString::fromLocal8Bit(ptsname(m_master));
    // Raw on the slave side, so no byte is echoed or translated.
    const int slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty()
{
    closeMaster();
}

bool Pty::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else
            usleep(1000);
    }
    return done == bytes.size();
}

QByteArray Pty::read(int timeoutMs, int want)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (m_master >= 0 && t.elapsed() < timeoutMs && (want < 0 || out.size() < want)) {
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, int(qMax<qint64>(1, timeoutMs - t.elapsed()))) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0)
            out.append(buf, n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break; // EIO: nobody has the slave side open
    }
    return out;
}

void Pty::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
