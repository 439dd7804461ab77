#pragma once

#include "image/ImageText.h"

#include <QString>
#include <optional>

struct Session;
class Ui;

enum class SaveResult {
    Saved,
    NotSaved, // declined at the overwrite question, or the file could not be created
    Error,    // the overwrite was confirmed but writing failed; the old file is intact
};

enum class OpenResult {
    Loaded,
    Refused,   // wrong length or a bad flag character; nothing changed
    ReadError, // missing, empty or unreadable; nothing changed
};

// Writes ParamImage 0-127 and FlagChar (409 characters). An existing file is
// replaced only after the user confirms, and atomically, so a failed write
// leaves it byte for byte as it was.
SaveResult SaveSettingsFile(Session &session, Ui &ui, const QString &path);

// A settings file as the program takes it: read up to one character more than
// it may hold, then checked. reason says why it was refused or unreadable.
struct SettingsFileRead
{
    OpenResult result = OpenResult::Refused;
    std::optional<ImageText::SettingsContent> content; // when Loaded
    QString reason;
};
SettingsFileRead ReadSettingsFile(const QString &path);

// Loads a 408-character (image only) or 409-character (image and flags) file.
// reason, when given, says why it was refused or could not be read.
OpenResult OpenSettingsFile(Session &session, const QString &path, QString *reason = nullptr);
