#pragma once

#include <memory>

struct Session;
struct Platform;
class MDIfrmMain;

// The start-up routine: session start values, the factory settings, the login
// dialog, and the main window only after an acknowledged login.
class Program
{
public:
    Program(Session &session, Platform &platform);
    ~Program();

    // False when the program ends at once; exitCode() then says how.
    bool start();
    int exitCode() const { return m_exitCode; }
    MDIfrmMain *mainWindow() const { return m_main.get(); }

    // The windows the navigation menu opens.
    static void registerWindows(MDIfrmMain &main, Session &session, Platform &platform);

private:
    Session &m_session;
    Platform &m_platform;
    std::unique_ptr<MDIfrmMain> m_main;
    int m_exitCode = 0;
};
