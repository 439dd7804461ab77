#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class Ui;
class SettingsStore;
class Clock;
class SerialPort;
class PortNames;
class QWidget;

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
    // Keeps a download's records in the collected-records store and says what
    // came of it ("N new, M already collected"); empty: nothing is recorded.
    std::function<QString(const QByteArray &stream, const QString &archiveName, bool complete, const QString &port)>
        recordDownload = nullptr;
    // Opens the "Records Store" dialog; empty: the data dialog offers none.
    std::function<void(QWidget *parent)> showRecordsStore = nullptr;
    // Opens the "Collected Records" window on the chosen store; empty: the
    // viewer's File menu and the navigation pane open nothing.
    std::function<void(QWidget *parent)> showCollectedRecords = nullptr;
};
