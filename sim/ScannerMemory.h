#pragma once

// What a scanner keeps while it is switched off or out of its cradle: the
// password, the machine ID, the settings image and the records. Held as text,
// one item a line, byte values in hex so that any byte survives:
//   zev-scanner-sim memory 1
//   password 3132333420202020
//   machine-id 5a45563030303031
//   image 00...                       (256 hex digits, only once one came)
//   record 2026-01-01T07:00:00 41...  (the stored data, lead character first)

#include "sim/ScannerModel.h"

#include <QByteArray>
#include <QString>

namespace ScannerMemory {

QByteArray text(const ScannerModel &model);
// Sets config's password, machine ID, image and records from text. False,
// with the line and the reason in *error, when text is no memory.
bool read(const QByteArray &text, ScannerModel::Config *config, QString *error);

} // namespace ScannerMemory
