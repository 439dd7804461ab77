#pragma once

#include <QString>

class QLabel;
class QWidget;

// What a screen reader says for a control that has no caption of its own.
namespace AccessibleName {
// A caption as it is spoken: no mnemonic marks, no closing colon or spaces.
QString spoken(const QString &caption);
// The control is read by its label's caption, and the label's mnemonic moves to it.
void byLabel(QLabel *label, QWidget *control);
// The control is read by what it sets (a member of a row: "Preamble 1").
void set(QWidget *control, const QString &caption);
} // namespace AccessibleName
