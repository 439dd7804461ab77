#include "ledger/DayChart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QStackedBarSeries>
#include <QValueAxis>

namespace DayChart {

QStackedBarSeries *fill(QChart *chart, const QStringList &machines, const QList<DayCount> &counts, QList<QDate> &days)
{
    chart->removeAllSeries();
    // removeAxis gives the axis back rather than deleting it.
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    QMap<QDate, QHash<QString, qint64>> perDay;
    for (const DayCount &c : counts)
        if (c.day.isValid()) // a timestamp that failed its check has no day
            perDay[c.day][c.machineId] = c.count;
    days = perDay.keys();
    auto *series = new QStackedBarSeries;
    for (const QString &m : machines) {
        auto *set = new QBarSet(m.isEmpty() ? QStringLiteral("(no ID)") : m);
        for (const QDate &day : std::as_const(days))
            *set << double(perDay[day].value(m));
        series->append(set);
    }
    chart->addSeries(series);
    QStringList categories;
    for (const QDate &day : std::as_const(days))
        categories << day.toString(u"MM-dd");
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    auto *y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    y->applyNiceNumbers(); // round steps, and the highest bar below the top
    return series;
}

} // namespace DayChart
