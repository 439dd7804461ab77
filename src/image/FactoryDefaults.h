#pragma once

#include <QString>

struct Session;

// Reads "Default.mag" (exactly 408 characters) from dir into ParamImage 0-127
// and sets Rs232Interface to False. On any failure returns false and leaves
// the session untouched. Never creates the file.
bool LoadFactoryDefaults(Session &session, const QString &dir);
// The same from the directory of the executable.
bool LoadFactoryDefaults(Session &session);
