// The store's two windows, apart from the settings so that zevctl, which
// reads the settings, links no window.
#include "ledger/LedgerSettings.h"
#include "ledger/LedgerUrl.h"
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

QString inUse(const QString &url)
{
    const LedgerLocation l = parseLedgerUrl(url);
    return l.ok() ? QStringLiteral("In use: ") + l.describe() : l.error;
}

} // namespace

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
