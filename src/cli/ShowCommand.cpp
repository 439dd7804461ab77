#include "cli/Command.h"

#include "cli/ZevCtl.h"

namespace ZevCtl {

int show(Command &c)
{
    if (c.args.size() != 1)
        return c.fail(Usage, QStringLiteral("expected one FILE"));
    const auto content = readSettingsFile(c, c.args.first());
    if (!content)
        return FileError;
    QByteArray listing;
    for (int r = 0; r < 8; ++r) {
        for (int col = 0; col < 16; ++col) {
            if (col)
                listing += ' ';
            listing += QByteArray::number(content->image[16 * r + col], 16).rightJustified(2, '0').toUpper();
        }
        listing += '\n';
    }
    auto text = [](bool b) { return b ? QByteArrayLiteral("True") : QByteArrayLiteral("False"); };
    if (content->flags)
        listing += "RtcFlag=" + text(content->flags->rtc) + " MidFlag=" + text(content->flags->mid) + '\n';
    else
        listing += "no flags\n";
    return c.print(listing);
}

} // namespace ZevCtl
