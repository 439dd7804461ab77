#include "format/Terminators.h"

#include <array>

namespace Terminators {

namespace {
constexpr std::array<quint8, KeyboardOptions> kKeyboardCodes{0, 1, 4, 5, 6, 7, 8};
}

quint8 keyboardCode(int option)
{
    return kKeyboardCodes.at(size_t(option));
}

std::optional<int> keyboardOptionFor(quint8 code)
{
    for (int i = 0; i < KeyboardOptions; ++i)
        if (kKeyboardCodes[size_t(i)] == code)
            return i;
    return std::nullopt;
}

std::optional<int> rs232OptionFor(quint8 code)
{
    return code < Rs232Options ? std::optional<int>(code) : std::nullopt;
}

void store(std::optional<int> keyboardOption, std::optional<int> rs232Option, quint8 *image)
{
    if (rs232Option)
        image[Rs232Byte] = quint8(*rs232Option);
    if (keyboardOption)
        image[KeyboardByte] = keyboardCode(*keyboardOption);
}

} // namespace Terminators
