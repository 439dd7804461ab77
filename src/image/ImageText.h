#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

// The text form of the settings image shared by "Default.mag" and settings
// files: 8 rows of 17 three-character cells; cell c of row r holds byte
// 16*r + c as two hex digits after one separator character.
namespace ImageText {

constexpr int ImageBytes = 128;
constexpr int RowChars = 51;
constexpr int ImageChars = 8 * RowChars; // 408
constexpr int FileChars = ImageChars + 1; // 409: the image plus FlagChar

using Image = std::array<quint8, ImageBytes>;

// Reads a pair the way the loader always has: hex digits of either case,
// stopping at the first non-hex character ("G1" is 0, "1G" is 1).
quint8 hexPairValue(char high, char low);

// Decodes the cells of the first 408 characters; separators are not checked.
// text must hold at least ImageChars characters.
Image decode(const QByteArray &text);

// The 408 characters of the image, upper-case digits, rows ending "," CR LF.
QByteArray encode(const quint8 *image);

// FlagChar carries RtcFlag and MidFlag as code 30 + rtc + 2*mid.
char flagChar(bool rtcFlag, bool midFlag);

struct Flags
{
    bool rtc = false;
    bool mid = false;
};
// Codes 30 to 33 only; anything else is no flag character the program writes.
std::optional<Flags> decodeFlagChar(char c);

// A settings file's content as the program reads it: 408 characters (image only)
// or 409 (image and FlagChar 30-33). reason says why anything else is refused.
struct SettingsContent
{
    Image image{};
    std::optional<Flags> flags;
};
std::optional<SettingsContent> parseSettingsText(const QByteArray &text, QString *reason = nullptr);

} // namespace ImageText
