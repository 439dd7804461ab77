#include "image/SettingsFile.h"

#include "core/Session.h"
#include "image/ImageText.h"
#include "platform/Ui.h"
#include "platform/UserFile.h"

#include <QFileInfo>
#include <algorithm>

SaveResult SaveSettingsFile(Session &session, Ui &ui, const QString &path)
{
    QByteArray text = ImageText::encode(session.ParamImage.data());
    text += ImageText::flagChar(session.RtcFlag, session.MidFlag);

    // Anything at the path, even a folder, counts as existing: only then is
    // overwriting worth a question.
    if (!QFileInfo::exists(path))
        return UserFile::write(path, text).isEmpty() ? SaveResult::Saved : SaveResult::NotSaved;

    const QString question =
        QStringLiteral("File '") + path + QStringLiteral("' exist. Do you want to overwrite it ? ");
    if (ui.messageBox(question, Ui::Buttons::YesNo, Ui::Icon::None) != Ui::Answer::Yes)
        return SaveResult::NotSaved;
    return UserFile::write(path, text).isEmpty() ? SaveResult::Saved : SaveResult::Error;
}

SettingsFileRead ReadSettingsFile(const QString &path)
{
    SettingsFileRead read;
    // One character more than a settings file holds is enough to refuse it.
    const UserFile::ReadResult r = UserFile::read(path, ImageText::FileChars);
    if (!r.error.isEmpty()) {
        read.result = OpenResult::ReadError;
        read.reason = r.error;
    } else if (r.tooLong) {
        read.reason = QStringLiteral("it has more than %1 characters; a settings file has 408 or 409")
                          .arg(ImageText::FileChars);
    } else if (r.bytes.isEmpty()) {
        read.result = OpenResult::ReadError;
        read.reason = QStringLiteral("the file is empty");
    } else if ((read.content = ImageText::parseSettingsText(r.bytes, &read.reason))) {
        read.result = OpenResult::Loaded;
    }
    return read;
}

OpenResult OpenSettingsFile(Session &session, const QString &path, QString *reason)
{
    const SettingsFileRead read = ReadSettingsFile(path);
    if (reason)
        *reason = read.reason;
    if (!read.content)
        return read.result;
    std::copy(read.content->image.begin(), read.content->image.end(), session.ParamImage.begin());
    if (read.content->flags) {
        session.RtcFlag = read.content->flags->rtc;
        session.MidFlag = read.content->flags->mid;
    }
    return OpenResult::Loaded;
}
