#include "ledger/LedgerSettings.h"

#include "ledger/frmRecords.h"
#include "platform/SettingsStore.h"
#include "platform/Ui.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace LedgerSettings {

namespace {

const QString App = QStringLiteral("ZEV1100");
const QString Section = QStringLiteral("Ledger");

QString inUse(const QString &url)
{
    const LedgerLocation l = parseLedgerUrl(url);
    return l.ok() ? QStringLiteral("In use: ") + l.describe() : l.error;
}

} // namespace

QString url(SettingsStore &store)
{
    return store.getSetting(App, Section, QStringLiteral("url"), QString());
}

void setUrl(SettingsStore &store, const QString &url)
{
    if (url.trimmed().isEmpty())
        store.removeSetting(App, Section, QStringLiteral("url"));
    else
        store.saveSetting(App, Section, QStringLiteral("url"), url.trimmed());
}

bool enabled(SettingsStore &store)
{
    return store.getSetting(App, Section, QStringLiteral("enabled"), QStringLiteral("true")) != QLatin1String("false");
}

QString recordForWindow(SettingsStore &store, const QByteArray &stream, const QString &archiveName, bool complete,
                        const QString &port, int currentYear)
{
    if (!enabled(store))
        return QString();
    Ledger::Opened o = Ledger::open(url(store));
    if (!o.ledger)
        return QStringLiteral("Not kept in the records store: ") + o.error;
    const Recorded r = o.ledger->record(downloadTakenNow(RecordAssembler::assemble(stream, false, false, currentYear).download,
                                                         stream, complete, port, archiveName));
    if (!r.ok)
        return QStringLiteral("Not kept in the records store: ") + r.error;
    return QStringLiteral("%1 new, %2 already collected").arg(r.fresh).arg(r.already);
}

void showDialog(SettingsStore &store, QWidget *parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("RecordsStore"));
    dialog.setWindowTitle(QStringLiteral("Records Store"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("A SQLite file, or postgresql://[user@]host[:port]/dbname "
                                                "(empty: records.sqlite in the data folder)"), &dialog));
    auto *edit = new QLineEdit(url(store), &dialog);
    edit->setObjectName(QStringLiteral("txtUrl"));
    layout->addWidget(edit);
    auto *shown = new QLabel(inUse(edit->text()), &dialog);
    shown->setObjectName(QStringLiteral("lblInUse"));
    shown->setWordWrap(true);
    layout->addWidget(shown);
    QObject::connect(edit, &QLineEdit::textChanged, shown, [shown](const QString &t) { shown->setText(inUse(t)); });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&]() {
        // A password never goes into the setting.
        if (parseLedgerUrl(edit->text()).ok())
            dialog.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() == QDialog::Accepted)
        setUrl(store, edit->text());
}

void showRecords(SettingsStore &store, Ui &ui, QWidget *parent)
{
    Ledger::Opened o = Ledger::open(url(store));
    if (!o.ledger) {
        ui.messageBox(o.error, Ui::Buttons::Ok, Ui::Icon::Exclamation, QStringLiteral("Collected Records"));
        return;
    }
    frmRecords window(*o.ledger, ui, parent);
    ui.showModal(window);
}

} // namespace LedgerSettings
