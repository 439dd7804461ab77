#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The general parameters' bytes of the settings image and how the window's
// controls map onto them. Only the listed bits of the shared bytes 29, 35 and
// 52 are touched.
namespace GeneralParameters {

constexpr int PitchByte = 0x39;    // whole byte
constexpr int DurationByte = 0x3A; // whole byte
constexpr int CaseByte = 0x34;     // low nibble: keyboard case code
constexpr int BeeperByte = 0x23;   // bit 2: power-on beeper
constexpr int TetheredByte = 0x1D; // bit 0: prefix machine ID, bit 1: 3-second scan delay

// Keyboard case options by index; ALT Mode has no code and cannot be chosen.
enum CaseOption { UpperCase = 0, LowerCase = 1, Universal = 2, AltMode = 3 };
constexpr int CaseOptions = 4;

// The option the low nibble of the case byte selects; none for codes without one.
std::optional<int> caseOptionFor(quint8 caseByte);

struct Controls
{
    QString pitch;    // Text1
    QString duration; // Text2
    std::optional<int> caseOption;
    bool beeper = false;
    bool prefixMachineId = false;
    bool scanDelay = false;
};

Controls load(const quint8 *image);

enum class Failure { None, Pitch, Duration };
// An empty box stores 0. On a failure nothing is written.
Failure store(const Controls &controls, quint8 *image);

// The factory values of this window's bytes.
void setDefaults(quint8 *image);

} // namespace GeneralParameters
