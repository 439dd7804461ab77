#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

// The program-wide state every window shares. main creates the one instance;
// tests create their own.
struct Session
{
    // Bytes 0-127 are the settings image; 128 and 129 carry the check value and
    // the end byte while the transmit frame is built.
    static constexpr int ImageSize = 128;
    std::array<quint8, ImageSize + 2> ParamImage{};

    bool SettingsChanged = false;
    bool Rs232Interface = true;
    qint16 CommPortNumber = 1;
    QString LoginPassword = QString(8, QLatin1Char(' '));
    bool LoggedIn = false;
    bool RtcFlag = false;
    bool MidFlag = false;
    bool HostTimeSync = false;
    qint16 LastMenuItem = 0;
    qint16 BusyCount = 0;

    // Picker results, read by the caller after the modal picker returns.
    QString PickedCode;
    QString PickedName;
    QString PadResult;
};
