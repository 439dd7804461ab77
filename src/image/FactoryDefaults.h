#pragma once

#include <QString>
#include <QStringList>

struct Session;

// Reads "Default.mag" (exactly 408 characters) from dir into ParamImage 0-127
// and sets Rs232Interface to False. On any failure returns false and leaves
// the session untouched. Never creates the file.
bool LoadFactoryDefaults(Session &session, const QString &dir);
// The same from the folder of the executable, else from ../share/zev-setting/
// relative to it (an installed or relocated package).
bool LoadFactoryDefaults(Session &session);
// The files that one looks for, in order.
QStringList factoryDefaultsPaths();
