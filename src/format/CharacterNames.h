#pragma once

#include <QString>

// How a character code is named on screen. Codes outside 0-255 have no name.

// As an RS-232 character: control abbreviations, "SP", the character, "DEL";
// nothing above 127.
QString AsciiName(int code);

// As a keyboard key: function and editing keys by name, the character for
// 33-126; " " for 0 and nothing for codes without a key.
QString KeyName(int code);
