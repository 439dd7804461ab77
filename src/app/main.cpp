#include "app/MDIfrmMain.h"
#include "core/Platform.h"
#include "core/Session.h"
#include "app/Startup.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "platform/QtUi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEV"));
    QApplication::setApplicationVersion(QStringLiteral(ZEV_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("ZEV Setting Utility: configures and reads out ZEV scanners."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption com(QStringLiteral("com"),
                                 QStringLiteral("Use DEVICE for COM port n (for example 1=/dev/ttyUSB0). Repeatable."),
                                 QStringLiteral("n=DEVICE"));
    parser.addOption(com);
    parser.process(app);

    QtSettingsStore store;
    PortNames names(&store);
    for (const QString &mapping : parser.values(com)) {
        if (!names.addOverride(mapping)) {
            QTextStream(stderr) << "zev-setting: --com takes n=DEVICE, not " << mapping << '\n';
            return 1;
        }
    }
    QtUi ui;
    QtClock clock;
    Platform platform{ui, store, clock, [&names]() { return std::make_unique<QtSerialPort>(names); }, QString(),
                      &names};
    Session session;
    Program program(session, platform);
    if (!program.start())
        return program.exitCode();
    ui.setParent(program.mainWindow());
    QObject::connect(program.mainWindow(), &MDIfrmMain::ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
