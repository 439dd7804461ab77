#include "format/GeneralParameters.h"

#include "format/ByteText.h"

#include <array>

namespace GeneralParameters {

namespace {
constexpr std::array<quint8, 3> kCaseCodes{2, 0, 8}; // by option index; ALT Mode has none
constexpr quint8 kBeeperBit = 0x04;
constexpr quint8 kPrefixBit = 0x01;
constexpr quint8 kDelayBit = 0x02;

void setBit(quint8 &byte, quint8 bit, bool on)
{
    byte = on ? quint8(byte | bit) : quint8(byte & ~bit);
}

std::optional<quint8> boxValue(const QString &text)
{
    return text.isEmpty() ? std::optional<quint8>(0) : ByteText::decimal(text);
}
} // namespace

std::optional<int> caseOptionFor(quint8 caseByte)
{
    const quint8 code = caseByte & 0x0F;
    for (int i = 0; i < int(kCaseCodes.size()); ++i)
        if (kCaseCodes[size_t(i)] == code)
            return i;
    return std::nullopt;
}

Controls load(const quint8 *image)
{
    Controls c;
    c.pitch = QString::number(image[PitchByte]);
    c.duration = QString::number(image[DurationByte]);
    c.caseOption = caseOptionFor(image[CaseByte]);
    c.beeper = image[BeeperByte] & kBeeperBit;
    c.prefixMachineId = image[TetheredByte] & kPrefixBit;
    c.scanDelay = image[TetheredByte] & kDelayBit;
    return c;
}

Failure store(const Controls &controls, quint8 *image)
{
    // Both boxes are checked before anything is written.
    const std::optional<quint8> pitch = boxValue(controls.pitch);
    if (!pitch)
        return Failure::Pitch;
    const std::optional<quint8> duration = boxValue(controls.duration);
    if (!duration)
        return Failure::Duration;

    image[PitchByte] = *pitch;
    image[DurationByte] = *duration;
    if (controls.caseOption && *controls.caseOption >= 0 && *controls.caseOption < int(kCaseCodes.size()))
        image[CaseByte] = quint8((image[CaseByte] & 0xF0) | kCaseCodes[size_t(*controls.caseOption)]);
    setBit(image[BeeperByte], kBeeperBit, controls.beeper);
    setBit(image[TetheredByte], kPrefixBit, controls.prefixMachineId);
    setBit(image[TetheredByte], kDelayBit, controls.scanDelay);
    return Failure::None;
}

void setDefaults(quint8 *image)
{
    image[PitchByte] = 22;
    image[DurationByte] = 4;
    image[CaseByte] &= 0x50; // Lower Case; bits 5 and 7 cleared with the rest
    image[BeeperByte] |= kBeeperBit;
    image[TetheredByte] = kPrefixBit; // the whole byte: the symbology bits go too
}

} // namespace GeneralParameters
