#pragma once

#include "ledger/Ledger.h"

class SettingsStore;
class QWidget;
class Ui;

// The per-user settings of the store (section Ledger: url, enabled), shared
// by the windows and zevctl, and the windows' use of them.
namespace LedgerSettings {

QString url(SettingsStore &store);
void setUrl(SettingsStore &store, const QString &url);
// false when the setting enabled is "false": downloads are not recorded.
bool enabled(SettingsStore &store);

// What the data dialog shows after a download: "N new, M already collected",
// or why the records were not kept.
QString recordForWindow(SettingsStore &store, const QByteArray &stream, const QString &archiveName, bool complete,
                        const QString &port, int currentYear);

// "Records Store": the store's address and the store in use.
void showDialog(SettingsStore &store, QWidget *parent);

// "Collected Records" on the store in use, opened now; a store that cannot be
// opened is said in a message box instead.
void showRecords(SettingsStore &store, Ui &ui, QWidget *parent);

} // namespace LedgerSettings
