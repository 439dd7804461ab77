#include "image/ImageText.h"

namespace ImageText {

namespace {
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

const char kUpperHex[] = "0123456789ABCDEF";
} // namespace

quint8 hexPairValue(char high, char low)
{
    const int h = hexDigit(high);
    if (h < 0)
        return 0;
    const int l = hexDigit(low);
    if (l < 0)
        return quint8(h);
    return quint8(h * 16 + l);
}

Image decode(const QByteArray &text)
{
    Q_ASSERT(text.size() >= ImageChars);
    Image image{};
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 16; ++c) {
            const int pos = 3 * (17 * r + c) + 1;
            image[16 * r + c] = hexPairValue(text[pos], text[pos + 1]);
        }
    }
    return image;
}

QByteArray encode(const quint8 *image)
{
    QByteArray text;
    text.reserve(ImageChars);
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 16; ++c) {
            const quint8 v = image[16 * r + c];
            text += c == 0 ? '>' : ',';
            text += kUpperHex[v >> 4];
            text += kUpperHex[v & 0x0F];
        }
        text += ",\r\n";
    }
    return text;
}

char flagChar(bool rtcFlag, bool midFlag)
{
    return char(30 + (rtcFlag ? 1 : 0) + (midFlag ? 2 : 0));
}

std::optional<Flags> decodeFlagChar(char c)
{
    const int n = static_cast<unsigned char>(c) - 30;
    if (n < 0 || n > 3)
        return std::nullopt;
    return Flags{(n & 1) != 0, (n & 2) != 0};
}

std::optional<SettingsContent> parseSettingsText(const QByteArray &text, QString *reason)
{
    auto refuse = [reason](const QString &why) -> std::optional<SettingsContent> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    if (text.size() != ImageChars && text.size() != FileChars)
        return refuse(QStringLiteral("the file has %1 characters; a settings file has 408 or 409")
                          .arg(text.size()));
    SettingsContent content;
    content.image = decode(text);
    if (text.size() == FileChars) {
        content.flags = decodeFlagChar(text[ImageChars]);
        if (!content.flags)
            return refuse(QStringLiteral("the last character (code %1) is not a flag character (codes 30 to 33)")
                              .arg(static_cast<unsigned char>(text[ImageChars])));
    }
    return content;
}

} // namespace ImageText
