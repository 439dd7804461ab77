#pragma once

#include "ledger/Ledger.h"

class QChart;
class QStackedBarSeries;

// Scans per day per machine as stacked bars: one bar set per machine (in the
// order given), one bar per day that has any. Returns the series and its days.
namespace DayChart {

QStackedBarSeries *fill(QChart *chart, const QStringList &machines, const QList<DayCount> &counts, QList<QDate> &days);

} // namespace DayChart
