#pragma once

#include "platform/Ui.h"

#include <QString>
#include <functional>

class QDate;
class QLocale;
struct Session;
struct Platform;

// The menu's File commands (Default, Open, Save, Exit) and the save offered
// when the main window closes. They act on ParamImage through the factory and
// settings files; what they need of the main window comes in as MainWindowHooks.
class FileCommands
{
public:
    struct MainWindowHooks
    {
        std::function<void()> clear;    // hide Dtable and give frmBase the focus
        std::function<void()> reloaded; // the factory settings came back unasked
    };

    FileCommands(Session &session, Platform &platform, MainWindowHooks hooks);

    void fileDefault();
    void fileOpen();
    void fileSave();
    // false when the user cancelled; otherwise the program ends
    bool fileExit();
    // Asks to save unsaved settings when the main window closes; true when it may close.
    bool mayClose();

    // The suggested name of every save dialog.
    QString suggestedFileName() const;
    static QString suggestedFileName(const QDate &date, double secondsSinceMidnight, const QLocale &locale);

private:
    enum class SaveOutcome { Saved, NoName, NotSaved, Cancelled, Error };
    // The save dialog and the save; says "O.K." itself on success.
    SaveOutcome saveThroughDialog(const QString &filter);
    Ui::Answer askToSave();
    bool loadFactoryDefaults();

    Session &m_session;
    Platform &m_platform;
    MainWindowHooks m_hooks;
};
