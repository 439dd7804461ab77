#include "image/SettingsFile.h"

#include "core/Session.h"
#include "image/ImageText.h"
#include "platform/Ui.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace {

bool writeWhole(const QString &path, const QByteArray &bytes)
{
    // Unbuffered, so a short write (disk full) is seen here; QSaveFile would
    // otherwise commit the truncated file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

SaveResult SaveSettingsFile(Session &session, Ui &ui, const QString &path)
{
    QByteArray text = ImageText::encode(session.ParamImage.data());
    text += ImageText::flagChar(session.RtcFlag, session.MidFlag);

    // Anything at the path, even a folder, counts as existing: only then is
    // overwriting worth a question.
    if (!QFileInfo::exists(path))
        return writeWhole(path, text) ? SaveResult::Saved : SaveResult::NotSaved;

    const QString question =
        QStringLiteral("File '") + path + QStringLiteral("' exist. Do you want to overwrite it ? ");
    if (ui.messageBox(question, Ui::Buttons::YesNo, Ui::Icon::None) != Ui::Answer::Yes)
        return SaveResult::NotSaved;
    return writeWhole(path, text) ? SaveResult::Saved : SaveResult::Error;
}

OpenResult OpenSettingsFile(Session &session, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return OpenResult::ReadError;
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError || text.isEmpty())
        return OpenResult::ReadError;
    const auto content = ImageText::parseSettingsText(text);
    if (!content)
        return OpenResult::Refused;
    std::copy(content->image.begin(), content->image.end(), session.ParamImage.begin());
    if (content->flags) {
        session.RtcFlag = content->flags->rtc;
        session.MidFlag = content->flags->mid;
    }
    return OpenResult::Loaded;
}
