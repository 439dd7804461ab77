#include "format/CharacterNames.h"

namespace {
const char *const kControlNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                       "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                       "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                       "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// Keys 13 to 28 (26 has none).
const char *const kKeyNames[16] = {"Enter", "Tab", "BS",  "Up",  "Down", "Left", "Right", "Home",
                                   "End",   "PgUp", "PgDn", "Ins", "Del", "",     "Esc",   "S-Tab"};

bool printable(int code)
{
    return code >= 33 && code <= 126;
}
} // namespace

QString AsciiName(int code)
{
    if (code >= 0 && code < 32)
        return QString::fromLatin1(kControlNames[code]);
    if (code == 32)
        return QStringLiteral("SP");
    if (printable(code))
        return QString(QChar(code));
    if (code == 127)
        return QStringLiteral("DEL");
    return QString();
}

QString KeyName(int code)
{
    if (code == 0)
        return QStringLiteral(" ");
    if (code >= 1 && code <= 12)
        return QStringLiteral("F ") + QString::number(code);
    if (code >= 13 && code <= 28)
        return QString::fromLatin1(kKeyNames[code - 13]);
    if (code == 32)
        return QStringLiteral("Space");
    if (printable(code))
        return QString(QChar(code));
    return QString();
}
