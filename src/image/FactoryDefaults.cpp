#include "image/FactoryDefaults.h"

#include "core/Session.h"
#include "image/ImageText.h"
#include "platform/UserFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

bool LoadFactoryDefaults(Session &session, const QString &dir)
{
    const UserFile::ReadResult r = UserFile::read(QDir(dir).filePath(QStringLiteral("Default.mag")), ImageText::ImageChars);
    if (!r.ok() || r.bytes.size() != ImageText::ImageChars)
        return false;
    const ImageText::Image image = ImageText::decode(r.bytes);
    std::copy(image.begin(), image.end(), session.ParamImage.begin());
    session.Rs232Interface = false;
    return true;
}

QStringList factoryDefaultsPaths()
{
    const QDir exe(QCoreApplication::applicationDirPath());
    return {exe.filePath(QStringLiteral("Default.mag")),
            QDir::cleanPath(exe.filePath(QStringLiteral("../share/zev-setting/Default.mag")))};
}

bool LoadFactoryDefaults(Session &session)
{
    for (const QString &path : factoryDefaultsPaths())
        if (LoadFactoryDefaults(session, QFileInfo(path).path()))
            return true;
    return false;
}
