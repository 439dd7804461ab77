#include "format/ByteText.h"

namespace {
int digitValue(QChar ch)
{
    const char16_t u = ch.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return 99;
}

// Digits of the given base only, value at most 255 (leading zeros allowed).
std::optional<quint8> digits(QStringView text, int base)
{
    if (text.isEmpty())
        return std::nullopt;
    int value = 0;
    for (QChar ch : text) {
        const int d = digitValue(ch);
        if (d >= base)
            return std::nullopt;
        value = value * base + d;
        if (value > 255)
            return std::nullopt;
    }
    return quint8(value);
}
} // namespace

namespace ByteText {

std::optional<quint8> decimal(const QString &text)
{
    return digits(QStringView(text).trimmed(), 10);
}

std::optional<quint8> code(const QString &text)
{
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty())
        return quint8(0);
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive))
        return digits(t.mid(2), 16);
    return digits(t, 10);
}

QString hexText(int code)
{
    return QStringLiteral("&H") + QString::number(code, 16).toUpper();
}

} // namespace ByteText
