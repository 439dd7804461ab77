#pragma once

#include <QtGlobal>
#include <optional>

// The terminator codes of the settings image: byte 50 for the keyboard
// interface, byte 39 for RS-232.
namespace Terminators {

constexpr int KeyboardByte = 0x32;
constexpr int Rs232Byte = 0x27;
constexpr int KeyboardOptions = 7; // NONE CR SPACE TAB ESC CTRL-C EXEC
constexpr int Rs232Options = 11;   // the code is the option's index
constexpr int FactoryOption = 1;   // CR, in both

quint8 keyboardCode(int option);
// The option showing a code; none for the codes without one.
std::optional<int> keyboardOptionFor(quint8 code);
std::optional<int> rs232OptionFor(quint8 code);

// No option selected leaves its byte as it is: it holds a code that has no option.
void store(std::optional<int> keyboardOption, std::optional<int> rs232Option, quint8 *image);

} // namespace Terminators
