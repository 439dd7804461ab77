#include "image/FactoryDefaults.h"

#include "core/Session.h"
#include "image/ImageText.h"
#include "platform/UserFile.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>

namespace {

bool loadFile(Session &session, const QString &path)
{
    const UserFile::ReadResult r = UserFile::read(path, ImageText::ImageChars);
    if (!r.ok() || r.bytes.size() != ImageText::ImageChars)
        return false;
    const ImageText::Image image = ImageText::decode(r.bytes);
    std::copy(image.begin(), image.end(), session.ParamImage.begin());
    session.Rs232Interface = false;
    return true;
}

} // namespace

QStringList factoryDefaultsPaths(const QString &programDir)
{
    const QDir dir(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir);
    return {dir.filePath(QStringLiteral("Default.mag")),
            QDir::cleanPath(dir.filePath(QStringLiteral("../share/zev-setting/Default.mag")))};
}

bool LoadFactoryDefaults(Session &session, const QString &programDir)
{
    const QStringList paths = factoryDefaultsPaths(programDir);
    return std::any_of(paths.cbegin(), paths.cend(), [&session](const QString &path) { return loadFile(session, path); });
}
