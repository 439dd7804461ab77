#include "app/FlagStore.h"
#include "app/Session.h"
#include "image/FactoryDefaults.h"
#include "platform/QtUi.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEV"));
    Session session;
    QtUi ui;
    if (!LoadFactoryDefaults(session)) {
        ui.messageBox(QStringLiteral("Cannot open file 'Default.mag', Program terminate ! "), Ui::Buttons::Ok,
                      Ui::Icon::Critical);
        return 1;
    }
    session.SettingsChanged = false;
    session.Rs232Interface = true;
    ui.messageBox(QStringLiteral("Factory settings loaded. The main window is not built yet."), Ui::Buttons::Ok,
                  Ui::Icon::Information);
    return 0;
}
