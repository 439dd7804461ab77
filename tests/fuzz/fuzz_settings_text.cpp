// Settings files and "Default.mag" come from outside: any bytes must parse or
// be refused, never crash, and a parsed image must encode back to a file of
// the same values.
#include "image/ImageText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    QString reason;
    const auto content = ImageText::parseSettingsText(text, &reason);
    if (!content) {
        if (reason.isEmpty())
            std::abort();
        return 0;
    }
    if (size != 408 && size != 409)
        std::abort();
    const QByteArray again = ImageText::encode(content->image.data());
    const auto back = ImageText::parseSettingsText(again);
    if (!back || back->image != content->image)
        std::abort();
    return 0;
}
