#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

// The preamble (bytes 80-87) and postamble (bytes 88-95) strings of the
// settings image. Each is packed from its first byte: no code after a 0.
namespace AmbleStrings {

constexpr int PreambleByte = 0x50;
constexpr int PostambleByte = 0x58;
constexpr int CellsPerString = 8;
constexpr int Cells = 2 * CellsPerString; // preamble cells 0-7, then postamble cells 8-15

constexpr int byteOf(int cell)
{
    return PreambleByte + cell;
}

// The name a cell's button shows for a code, by the interface's naming rule.
// A lone "&" is doubled: on a button it would mark an access key and vanish.
QString caption(int code, bool rs232Interface);
QString escapedCaption(const QString &name);

struct Failure
{
    enum Kind { None, Range, PreambleGap, PostambleGap };
    Kind kind = None;
    int cell = -1;
};

// Reads every cell's code text (ByteText::code) and checks, cell by cell in
// order, its range and that no code follows an empty position of its string.
// Only when all is well are the sixteen bytes written.
Failure store(const std::array<QString, Cells> &codeTexts, quint8 *image);

// Both strings empty.
void clear(quint8 *image);

} // namespace AmbleStrings
