#include "app/MDIfrmMain.h"
#include "core/Platform.h"
#include "core/Session.h"
#include "app/Startup.h"
#include "ledger/LedgerSettings.h"
#include "platform/PortNames.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "platform/QtUi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTextStream>

namespace {
QCommandLineOption setUp(QCommandLineParser &parser)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEV_VERSION));
    parser.setApplicationDescription(QStringLiteral("ZEV Setting Utility: configures and reads out ZEV scanners."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption com(QStringLiteral("com"),
                                 QStringLiteral("Use DEVICE for COM port n (for example 1=/dev/ttyUSB0). Repeatable."),
                                 QStringLiteral("n=DEVICE"));
    parser.addOption(com);
    return com;
}

// --help and --version are answered before any window system is needed, so
// they work without a display.
void answerInfoOptions(int argc, char **argv)
{
    static const QStringList info{QStringLiteral("-h"), QStringLiteral("-?"), QStringLiteral("--help"),
                                  QStringLiteral("--help-all"), QStringLiteral("-v"), QStringLiteral("--version")};
    for (int i = 1; i < argc; ++i) {
        if (info.contains(QString::fromLocal8Bit(argv[i]))) {
            QCoreApplication app(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral("zev-setting"));
            QCommandLineParser parser;
            setUp(parser);
            parser.process(app); // prints and exits
        }
    }
}
} // namespace

int main(int argc, char **argv)
{
    answerInfoOptions(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEV"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zev-setting"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/zev-setting-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    QCommandLineParser parser;
    const QCommandLineOption com = setUp(parser);
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
    platform.recordDownload = [&store, &clock](const QByteArray &stream, const QString &archiveName, bool complete,
                                               const QString &port) {
        return LedgerSettings::recordForWindow(store, stream, archiveName, complete, port, clock.now().date().year());
    };
    platform.showRecordsStore = [&store](QWidget *parent) { LedgerSettings::showDialog(store, parent); };
    platform.showCollectedRecords = [&store, &ui](QWidget *parent) { LedgerSettings::showRecords(store, ui, parent); };
    Session session;
    Program program(session, platform);
    if (!program.start())
        return program.exitCode();
    ui.setParent(program.mainWindow());
    QObject::connect(program.mainWindow(), &MDIfrmMain::ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
