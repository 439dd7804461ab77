#include "image/FactoryDefaults.h"

#include "core/Session.h"
#include "image/ImageText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

bool LoadFactoryDefaults(Session &session, const QString &dir)
{
    QFile file(QDir(dir).filePath(QStringLiteral("Default.mag")));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError || text.size() != ImageText::ImageChars)
        return false;
    const ImageText::Image image = ImageText::decode(text);
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
