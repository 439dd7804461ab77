#pragma once

#include <QString>
#include <QStringList>

struct Session;

// Reads "Default.mag" (exactly 408 characters) into ParamImage 0-127 and sets
// Rs232Interface to False: from programDir (empty: the folder of the
// executable), else from ../share/zev-setting/ relative to it (an installed or
// relocated package). On any failure returns false and leaves the session
// untouched. Never creates the file.
bool LoadFactoryDefaults(Session &session, const QString &programDir = QString());
// The files that it looks for, in order.
QStringList factoryDefaultsPaths(const QString &programDir = QString());
