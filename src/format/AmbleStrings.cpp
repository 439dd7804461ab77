#include "format/AmbleStrings.h"

#include "format/ByteText.h"
#include "format/CharacterNames.h"

namespace AmbleStrings {

QString escapedCaption(const QString &name)
{
    return name == QLatin1String("&") ? QStringLiteral("&&") : name;
}

QString caption(int code, bool rs232Interface)
{
    return escapedCaption(rs232Interface ? AsciiName(code) : KeyName(code));
}

Failure store(const std::array<QString, Cells> &codeTexts, quint8 *image)
{
    std::array<quint8, Cells> codes{};
    for (int cell = 0; cell < Cells; ++cell) {
        const std::optional<quint8> code = ByteText::code(codeTexts[size_t(cell)]);
        if (!code)
            return Failure{Failure::Range, cell};
        codes[size_t(cell)] = *code;
        const bool firstOfString = cell % CellsPerString == 0;
        if (!firstOfString && codes[size_t(cell - 1)] == 0 && *code > 0)
            return Failure{cell < CellsPerString ? Failure::PreambleGap : Failure::PostambleGap, cell};
    }
    for (int cell = 0; cell < Cells; ++cell)
        image[byteOf(cell)] = codes[size_t(cell)];
    return Failure{};
}

void clear(quint8 *image)
{
    for (int cell = 0; cell < Cells; ++cell)
        image[byteOf(cell)] = 0;
}

} // namespace AmbleStrings
