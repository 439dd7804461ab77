#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The text forms in which the format windows show and take byte values.
namespace ByteText {

// A whole decimal number from 0 to 255, blanks around it allowed. Signs,
// fractions and anything else are no byte.
std::optional<quint8> decimal(const QString &text);

// A cell's code text: empty is 0, "&H" starts hexadecimal digits, anything
// else is read as decimal() reads it.
std::optional<quint8> code(const QString &text);

// "&H" and the code in upper-case hexadecimal without leading zeros ("&HD").
QString hexText(int code);

} // namespace ByteText
