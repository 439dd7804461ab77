#include "platform/QtSerialPort.h"

#include "platform/PortNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <QFile>

#include <climits>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(zevLinkLowLevel, "zev.link.lowlevel", QtWarningMsg)

namespace {
QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ')).toUpper();
}
#ifdef Q_OS_UNIX
QString programName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
}

// Who holds the device: the lock file the serial port library takes (in the
// folders it looks in), else a process with the device open (as far as
// /proc lets this user see: ModemManager, say, takes no lock).
void readHolder(PortFacts &f)
{
    QString name = f.device.startsWith(QLatin1String("/dev/")) ? f.device.mid(5) : f.device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp",
                            "/var/lock/lockdev", "/run/lock"}) {
        QFile lock(QLatin1String(dir) + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        f.lockFile = lock.fileName();
        const QList<QByteArray> lines = lock.read(4096).split('\n');
        f.holderPid = lines.value(0).trimmed().toLongLong();
        if (f.holderPid > 0) {
            f.holderProgram = programName(f.holderPid);
            if (f.holderProgram.isEmpty())
                f.holderProgram = QString::fromLocal8Bit(lines.value(1).trimmed());
        }
        return;
    }
    const QString device = QFileInfo(f.device).canonicalFilePath();
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!pid.front().isDigit() || pid == self)
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == device) {
                f.holderPid = pid.toLongLong();
                f.holderProgram = programName(f.holderPid);
                return;
            }
        }
    }
}

void readOwnership(PortFacts &f)
{
    struct stat st {};
    if (::stat(QFile::encodeName(f.device).constData(), &st) != 0) {
        f.exists = false;
        return;
    }
    f.isCharDevice = S_ISCHR(st.st_mode);
    f.accessible = ::access(QFile::encodeName(f.device).constData(), R_OK | W_OK) == 0;
    f.mode = st.st_mode & 07777;
    if (const passwd *pw = ::getpwuid(st.st_uid))
        f.owner = QString::fromLocal8Bit(pw->pw_name);
    const group *gr = ::getgrgid(st.st_gid);
    if (gr)
        f.group = QString::fromLocal8Bit(gr->gr_name);
    if (gr && !f.accessible) {
        const passwd *me = ::getpwuid(::getuid());
        for (char **member = gr->gr_mem; me && *member; ++member)
            if (qstrcmp(*member, me->pw_name) == 0)
                f.userListedInGroup = true;
    }
    for (const char *usual : {"dialout", "uucp"}) {
        if (::getgrnam(usual)) {
            f.usualGroup = QLatin1String(usual);
            break;
        }
    }
}
#endif

PortFacts::Error errorClass(QSerialPort::SerialPortError e)
{
    return e == QSerialPort::DeviceNotFoundError ? PortFacts::NotFound
         : e == QSerialPort::PermissionError     ? PortFacts::Permission
                                                 : PortFacts::Other;
}
} // namespace

QtSerialPort::QtSerialPort(const PortNames &names) : m_names(names)
{
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError e) { onError(e); });
}

QtSerialPort::~QtSerialPort()
{
    close();
}

void QtSerialPort::setPortNumber(int comNumber)
{
    if (!m_port.isOpen())
        m_number = comNumber;
}

QString QtSerialPort::deviceName() const
{
    return m_names.deviceFor(m_number);
}

void QtSerialPort::setSettings(const QString &settings)
{
    // "baud,parity,data,stop" as the old port control took it.
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return;
    m_baud = parts[0].toInt();
    const QChar p = parts[1].isEmpty() ? QLatin1Char('n') : parts[1].at(0).toLower();
    m_parity = p == QLatin1Char('e') ? QSerialPort::EvenParity
             : p == QLatin1Char('o') ? QSerialPort::OddParity
                                     : QSerialPort::NoParity;
    m_dataBits = parts[2] == QLatin1String("7") ? QSerialPort::Data7 : QSerialPort::Data8;
    m_stopBits = parts[3] == QLatin1String("2") ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

bool QtSerialPort::open()
{
    if (m_port.isOpen())
        return true;
    m_error.clear();
    m_problem = PortProblem();
    m_input.clear();
    m_direct = false;
    m_port.setPortName(deviceName());
    m_port.setReadBufferSize(0);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = m_port.errorString();
        noteProblem(PortFacts::Opening, m_port.error());
        qCDebug(zevLinkLowLevel) << "open" << deviceName() << "failed:" << m_error;
        return false;
    }
    // A pseudo-terminal only takes the default 8N1; a refusal here is not worth failing for.
    m_port.setBaudRate(m_baud);
    m_port.setParity(m_parity);
    m_port.setDataBits(m_dataBits);
    m_port.setStopBits(m_stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clearError();
#ifdef Q_OS_UNIX
    // The library reads whenever the event loop sees a byte, which wakes every
    // wait once per byte or two. Its reader is turned off; input is read from
    // the descriptor when an exchange asks, and waits sleep on the descriptor.
    for (QSocketNotifier *n : m_port.findChildren<QSocketNotifier *>()) {
        if (n->type() == QSocketNotifier::Read && n->socket() == m_port.handle()) {
            n->setEnabled(false);
            m_direct = true;
        }
    }
#endif
    qCDebug(zevLinkLowLevel) << "open" << deviceName();
    return true;
}

void QtSerialPort::close()
{
    m_input.clear();
    m_direct = false;
    if (m_port.isOpen()) {
        m_port.close();
        qCDebug(zevLinkLowLevel) << "close" << deviceName();
    }
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen();
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    // Qt repeats read and resource errors without end once the device is gone;
    // close at the first one and keep its reason.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError
        && error != QSerialPort::WriteError)
        return;
    if (m_port.isOpen())
        lineFailed(error, m_port.errorString());
}

void QtSerialPort::lineFailed(QSerialPort::SerialPortError error, const QString &reason)
{
    m_error = reason;
    noteProblem(PortFacts::WhileOpen, error);
    qCWarning(zevLinkLowLevel) << "port" << deviceName() << "failed:" << m_error;
    // Closing drops Qt's buffer; what arrived before the failure is kept for readAll.
    if (!m_direct)
        m_input += m_port.readAll();
    m_direct = false;
    m_port.close();
}

void QtSerialPort::noteProblem(PortFacts::When when, QSerialPort::SerialPortError error)
{
    PortFacts f;
    f.device = deviceName();
    f.when = when;
    f.error = errorClass(error);
    f.osReason = m_error;
#ifdef Q_OS_UNIX
    if (when == PortFacts::Opening) {
        readOwnership(f);
        if (f.exists && f.accessible && f.error == PortFacts::Permission)
            readHolder(f);
    }
#endif
    m_problem = PortProblem::diagnose(f);
    // The library calls a device locked by another program a permission error; say what it is.
    m_error = m_problem.reason;
}

void QtSerialPort::pull()
{
    if (!m_port.isOpen())
        return;
    if (m_port.bytesToWrite() > 0)
        m_port.flush();
    if (m_direct && m_port.isOpen()) {
        readDescriptor();
        return;
    }
    if (m_port.isOpen())
        m_port.waitForReadyRead(0);
    if (m_port.isOpen() && m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    if (m_port.isOpen())
        m_input += m_port.readAll();
}

// Everything waiting, in reads as large as what the driver counts. The line
// is set to return at once, so a read finding nothing cannot be told from a
// hang-up: when nothing is counted and nothing was read, poll says which.
void QtSerialPort::readDescriptor()
{
#ifdef Q_OS_UNIX
    const int fd = int(m_port.handle());
    bool took = false;
    for (;;) {
        int waiting = 0;
        if (::ioctl(fd, FIONREAD, &waiting) < 0 || waiting < 1) {
            if (took)
                return;
            pollfd p{fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, 0);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return;
            waiting = 1;
        }
        const qsizetype at = m_input.size();
        m_input.resize(at + waiting);
        const ssize_t n = ::read(fd, m_input.data() + at, size_t(waiting));
        const int readErrno = errno;
        m_input.resize(at + qMax<ssize_t>(n, 0));
        took = took || n > 0;
        if (n > 0)
            continue;
        if (n < 0 && readErrno == EINTR)
            continue;
        if (n < 0 && readErrno == EAGAIN)
            return;
        lineFailed(n == 0 ? QSerialPort::ResourceError : QSerialPort::ReadError,
                   n == 0 ? QStringLiteral("the device hung up") : QString::fromLocal8Bit(std::strerror(readErrno)));
        return;
    }
#endif
}

qintptr QtSerialPort::inputDescriptor() const
{
    return m_direct && m_port.isOpen() ? m_port.handle() : -1;
}

void QtSerialPort::discardInput()
{
    m_input.clear();
    if (!m_port.isOpen())
        return;
    pull();
    m_input.clear();
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Input);
}

int QtSerialPort::bytesWaiting()
{
    pull();
    return int(qMin<qsizetype>(m_input.size(), INT_MAX));
}

bool QtSerialPort::write(const QByteArray &bytes, bool more)
{
    if (!m_port.isOpen())
        return false;
    qCDebug(zevLinkLowLevel).noquote() << "TX" << hex(bytes);
    if (m_port.write(bytes) != bytes.size())
        return false;
    m_written += bytes.size();
    // Exchanges may block without an event loop; hand the bytes to the driver
    // now, unless the frame goes on: one system call for the frame, not one
    // per piece (and one wake-up of the other end).
    if (!more)
        m_port.flush();
    return m_port.isOpen();
}

QByteArray QtSerialPort::readAll()
{
    // What a wait's look at the port found is taken as it is; bytes that came
    // since are the next read's.
    if (m_input.isEmpty())
        pull();
    QByteArray bytes;
    bytes.swap(m_input);
    if (!bytes.isEmpty())
        qCDebug(zevLinkLowLevel).noquote() << "RX" << hex(bytes);
    return bytes;
}
