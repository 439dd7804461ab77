#include "link/Frames.h"

#include <algorithm>

void PadPassword(QString &password, int &sum)
{
    sum = 0;
    if (password.isEmpty()) {
        password = QString(8, QLatin1Char(' '));
        sum = 256;
        return;
    }
    for (const QChar c : std::as_const(password))
        sum = (sum + c.unicode()) % 128;
    while (password.size() < 8) {
        sum = (sum + 32) % 128;
        password += QLatin1Char(' ');
    }
}

quint8 CheckChar(const QByteArray &body)
{
    int sum = Link::CR;
    for (const char c : body)
        sum = (sum + static_cast<unsigned char>(c)) % 128;
    return quint8(sum | 0x20);
}

namespace Link {

bool isPasswordCharacter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

bool isPasswordText(const QString &text)
{
    return text.size() <= PasswordMaxLength && std::all_of(text.begin(), text.end(), isPasswordCharacter);
}

namespace {
QByteArray padded(const QString &password)
{
    QString p = password;
    int sum = 0;
    PadPassword(p, sum);
    return p.toLatin1();
}
} // namespace

QByteArray requestFrame(const QByteArray &body)
{
    QByteArray frame;
    frame.reserve(body.size() + 4);
    frame += STX;
    frame += body;
    frame += CR;
    frame += char(CheckChar(body));
    frame += ETX;
    return frame;
}

QByteArray loginFrame(const QString &typedPassword)
{
    return requestFrame('P' + padded(typedPassword));
}

QByteArray commandFrame(const QString &password, char letter, const QByteArray &data)
{
    return requestFrame(padded(password) + letter + data);
}

QByteArray changePasswordFrame(const QString &currentPassword, const QString &newPassword)
{
    return requestFrame(padded(currentPassword) + 'C' + padded(newPassword));
}

QByteArray clockBytes(const QDateTime &time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    const int values[6] = {d.year() % 100, d.month(), d.day(), t.hour(), t.minute(), t.second()};
    QByteArray bytes;
    for (int v : values)
        bytes += char(v + 16);
    return bytes;
}

QByteArray setClockFrame(const QString &password, const QDateTime &time)
{
    return commandFrame(password, 'T', clockBytes(time));
}

QByteArray readClockFrame(const QString &password, const QDateTime &time)
{
    return commandFrame(password, 'R', clockBytes(time));
}

quint8 transmitCheckValue(const QString &loginPassword, const quint8 *image)
{
    QString password = loginPassword.trimmed();
    int sum = 0;
    PadPassword(password, sum);
    sum += 'Z';
    for (int i = 0; i < 128; ++i)
        sum += image[i];
    return quint8((sum % 128) | 0x20);
}

QByteArray transmitFrame(const QString &loginPassword, const quint8 *image)
{
    QByteArray frame;
    frame.reserve(TransmitFrameSize);
    frame += STX;
    frame += padded(loginPassword.trimmed());
    frame += 'Z';
    auto nibbles = [&frame](quint8 v) {
        frame += char((v >> 4) + 0x30);
        frame += char((v & 0x0F) + 0x30);
    };
    for (int i = 0; i < 128; ++i)
        nibbles(image[i]);
    nibbles(transmitCheckValue(loginPassword, image));
    frame += ETX;
    return frame;
}

} // namespace Link

bool Link::isAcknowledgement(const QByteArray &reply)
{
    if (reply.isEmpty() || reply.size() % AckFrame.size() != 0)
        return false;
    for (qsizetype i = 0; i < reply.size(); i += AckFrame.size()) {
        if (reply.mid(i, AckFrame.size()) != AckFrame)
            return false;
    }
    return true;
}

bool Link::isCutAcknowledgement(const QByteArray &reply)
{
    const qsizetype whole = reply.size() / AckFrame.size() * AckFrame.size();
    const QByteArray tail = reply.mid(whole);
    return !tail.isEmpty() && AckFrame.startsWith(tail) && (whole == 0 || isAcknowledgement(reply.left(whole)));
}
