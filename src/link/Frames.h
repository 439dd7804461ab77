#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The scanner's frames: STX, body, CR, check character, ETX for every request
// but the settings transmission, which has its own shape.
namespace Link {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char ACK = 0x06;
constexpr char CR = 0x0D;
constexpr char NAK = 0x15;

// The scanner's two replies, compared as whole strings.
inline const QByteArray AckFrame = QByteArrayLiteral("\x02\x06\x0D\x33\x03");
inline const QByteArray NakFrame = QByteArrayLiteral("\x02\x15\x0D\x22\x03");

// One or more whole AckFrames and nothing else: the command line takes it as an
// acknowledgement (a late one to the password check may come first).
bool isAcknowledgement(const QByteArray &reply);
// Whole AckFrames, if any, then the first bytes of one more: what a line lost
// in the middle of an acknowledgement leaves.
bool isCutAcknowledgement(const QByteArray &reply);

inline const QString LineSettings = QStringLiteral("19200,n,8,1");

// The password boxes' key rule: letters "A" to "Z", "a" to "z" and digits, at
// most 8 of them (what a frame carries).
constexpr int PasswordMaxLength = 8;
bool isPasswordCharacter(QChar c);
bool isPasswordText(const QString &text);

} // namespace Link

// Right-pads password to 8 characters with spaces and returns its 7-bit running
// sum, the padding counted as 32 each. An empty password becomes 8 spaces with
// sum 256 (the same check as 0). Longer passwords are left as they are.
void PadPassword(QString &password, int &sum);

// ((sum of the body bytes + CR) mod 128) OR 0x20.
quint8 CheckChar(const QByteArray &body);

namespace Link {

// STX + body + CR + CheckChar + ETX.
QByteArray requestFrame(const QByteArray &body);

// "P" before the password: the login dialog's handshake.
QByteArray loginFrame(const QString &typedPassword);
// Password first, then the command letter and its data (P, D, E, T, R).
QByteArray commandFrame(const QString &password, char letter, const QByteArray &data = QByteArray());
// Current password, "C", new password.
QByteArray changePasswordFrame(const QString &currentPassword, const QString &newPassword);

// Six bytes, each value + 16: year within the century, month, day, hour, minute, second.
QByteArray clockBytes(const QDateTime &time);
QByteArray setClockFrame(const QString &password, const QDateTime &time);
QByteArray readClockFrame(const QString &password, const QDateTime &time);

// The settings transmission: STX, password (trimmed, then padded), "Z", the 128
// values and the check value each as two nibble characters ('0' + nibble),
// ETX; 269 bytes. image must hold 128 values.
constexpr int TransmitFrameSize = 269;
quint8 transmitCheckValue(const QString &loginPassword, const quint8 *image);
QByteArray transmitFrame(const QString &loginPassword, const quint8 *image);

} // namespace Link
