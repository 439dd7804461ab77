#pragma once

#include <QString>
#include <functional>
#include <memory>

class Ui;
class SettingsStore;
class Clock;
class SerialPort;

// What the windows get from the machine. main wires the real parts; tests
// their stand-ins. Every window that talks to the scanner makes its own port.
struct Platform
{
    Ui &ui;
    SettingsStore &store;
    Clock &clock;
    std::function<std::unique_ptr<SerialPort>()> makePort;
    // Folder of "Default.mag"; empty means the executable's folder.
    QString factoryDir;
};
