#pragma once

#include <QString>
#include <functional>
#include <memory>

class Ui;
class SettingsStore;
class Clock;
class SerialPort;
class PortNames;

// What the windows get from the machine. main wires the real parts; tests
// their stand-ins. Every window that talks to the scanner makes its own port.
struct Platform
{
    Ui &ui;
    SettingsStore &store;
    Clock &clock;
    std::function<std::unique_ptr<SerialPort>()> makePort;
    // Where "Default.mag" is looked for first (then ../share/zev-setting/);
    // empty means the executable's folder.
    QString factoryDir;
    // Which device each COM number means; the Serial Ports dialog changes it.
    // Without it the windows offer no "Ports..." button.
    PortNames *portNames = nullptr;
};
