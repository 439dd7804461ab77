#include "ledger/LedgerSettings.h"
#include "ledger/frmRecords.h"
#include "platform/QtSettingsStore.h"
#include "support/ScriptedUi.h"
#include "support/TestFiles.h"

#include <QBarSet>
#include <QChart>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int Machines = 4;
constexpr int PerMachine = 25000; // 100,000 in all
constexpr int Days = 10;

QString machine(int m)
{
    return QStringLiteral("ZEV0000%1").arg(m);
}
QString dataOf(int m, int i)
{
    return QStringLiteral("%1%2").arg(m).arg(i, 6, 10, QLatin1Char('0'));
}
// The last machine was collected at another station.
QString stationOf(int m)
{
    return m == Machines ? QStringLiteral("dock-2") : QStringLiteral("station");
}
QDate dayOf(int i)
{
    return QDate(2024, 5, 1 + i % Days);
}

// One scanner's download: its records spread over ten days in May 2024.
QByteArray stream(int m)
{
    QByteArray s = "\x02" + machine(m).toLatin1() + QByteArray::number(PerMachine).rightJustified(5, '0');
    for (int i = 0; i < PerMachine; ++i) {
        const int values[6] = {24, 5, dayOf(i).day(), 8 + (i / 3600) % 10, (i / 60) % 60, i % 60};
        for (int v : values)
            s += char(v + 16);
        s += '0' + dataOf(m, i).toLatin1() + "?\r";
    }
    return s;
}

// What the generator put in the store that a test's predicate keeps.
template <typename Keep>
QList<QPair<int, int>> expected(Keep keep)
{
    QList<QPair<int, int>> out;
    for (int m = 1; m <= Machines; ++m)
        for (int i = 0; i < PerMachine; ++i)
            if (keep(m, i))
                out.append({m, i});
    return out;
}

} // namespace

class TestFrmRecords : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Ledger> m_ledger;
    ScriptedUi m_ui;

    void checkRow(frmRecords &w, int row, int m, int i)
    {
        const auto cell = [&](int c) { return w.model()->index(row, c).data().toString(); };
        QCOMPARE(cell(0), machine(m));
        QCOMPARE(cell(2), dataOf(m, i));
        QVERIFY2(cell(1).startsWith(dayOf(i).toString(Qt::ISODate)), qPrintable(cell(1)));
        QCOMPARE(cell(3), QStringLiteral("2024-05-11 09:00:00"));
        QCOMPARE(cell(4), stationOf(m));
    }

    // The chart holds one bar set per machine, one bar per day, the counts shown.
    void checkChart(frmRecords &w, const QList<QPair<int, int>> &shown)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!w.chartPending(), 60000);
        QMap<QDate, QHash<QString, int>> perDay;
        for (const auto &[m, i] : shown)
            ++perDay[dayOf(i)][machine(m)];
        const auto series = w.chart()->series();
        QCOMPARE(series.size(), 1);
        const auto *bars = qobject_cast<QStackedBarSeries *>(series.first());
        QVERIFY(bars);
        for (QBarSet *set : bars->barSets()) {
            QCOMPARE(set->count(), perDay.size());
            int k = 0;
            for (auto it = perDay.cbegin(); it != perDay.cend(); ++it, ++k)
                QCOMPARE(int(set->at(k)), it->value(set->label()));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        Ledger::Opened o = Ledger::open(m_dir.filePath(QStringLiteral("records.sqlite")));
        QVERIFY2(o.ledger, qPrintable(o.error));
        m_ledger = std::move(o.ledger);
        for (int m = 1; m <= Machines; ++m) {
            LedgerDownload d;
            d.records = RecordAssembler::assemble(stream(m), false, false, 2026).download;
            d.complete = true;
            d.when = QDateTime(QDate(2024, 5, 11), QTime(9, 0));
            d.host = stationOf(m);
            const Recorded r = m_ledger->record(d);
            QVERIFY2(r.ok, qPrintable(r.error));
        }
    }
    void init() { m_ui.clear(); }
    void cleanup() { QVERIFY2(m_ui.unscripted().isEmpty(), qPrintable(m_ui.unscripted().join(QLatin1String("; ")))); }

    void opensOnEveryRecord()
    {
        frmRecords w(*m_ledger, m_ui);
        QCOMPARE(w.windowTitle(), QStringLiteral("Collected Records"));
        QCOMPARE(w.model()->total(), qint64(Machines * PerMachine));
        QCOMPARE(w.model()->rowCount(), Machines * PerMachine);
        QVERIFY(w.lblShown->text().endsWith(QStringLiteral(" records shown")));
        QCOMPARE(w.lstMachines->count(), Machines);
        QCOMPARE(w.lstMachines->item(1)->text(), QStringLiteral("ZEV00002 (25000)"));
        QCOMPARE(w.tblMachines->rowCount(), Machines);
        // Per machine: when and where its last download was taken, whether it was complete, and the records held.
        const auto summary = [&w](int row) {
            QStringList cells;
            for (int c = 0; c < w.tblMachines->columnCount(); ++c)
                cells << w.tblMachines->item(row, c)->text();
            return cells;
        };
        QCOMPARE(summary(2), (QStringList{"ZEV00003", "2024-05-11 09:00:00", "station", "Complete", "25000", "25000", ""}));
        QCOMPARE(summary(3), (QStringList{"ZEV00004", "2024-05-11 09:00:00", "dock-2", "Complete", "25000", "25000", ""}));
        // Every column shows its title and its values whole, and all fit beside one another.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QStringList columns{"Machine ID", "Timestamp", "Data", "Downloaded At", "Station"};
        const QFontMetrics fm = w.tblRecords->fontMetrics();
        int width = 0;
        for (int c = 0; c < columns.size(); ++c) {
            QCOMPARE(w.model()->headerData(c, Qt::Horizontal).toString(), columns[c]);
            for (const QString &text : {columns[c], w.model()->index(0, c).data().toString()})
                QVERIFY2(w.tblRecords->columnWidth(c) > fm.horizontalAdvance(text), qPrintable(text));
            width += w.tblRecords->columnWidth(c);
        }
        QVERIFY2(width <= w.tblRecords->viewport()->width(), qPrintable(QString::number(width)));
        // Sorted by machine ID, then in the order they were stored; the last row comes from the last page.
        checkRow(w, 0, 1, 0);
        checkRow(w, Machines * PerMachine - 1, Machines, PerMachine - 1);
        checkChart(w, expected([](int, int) { return true; }));
        // For a person to look at: ZEV_SCREENSHOTS=DIR keeps a picture of the window.
        if (const QString dir = qEnvironmentVariable("ZEV_SCREENSHOTS"); !dir.isEmpty())
            QVERIFY(w.grab().save(dir + QStringLiteral("/collected-records.png")));
    }

    // The window opens on the store chosen in "Records Store", opened just then.
    void opensOnTheChosenStore_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opens");
        QTest::newRow("the store in use") << m_dir.filePath(QStringLiteral("records.sqlite")) << true;
        QTest::newRow("a folder that is a file") << m_dir.filePath(QStringLiteral("plain/records.sqlite")) << false;
    }
    void opensOnTheChosenStore()
    {
        QFETCH(QString, url);
        QFETCH(bool, opens);
        TestFiles::write(m_dir.filePath(QStringLiteral("plain")), "not a folder");
        QtSettingsStore settings(m_dir.filePath(QStringLiteral("settings.ini")));
        LedgerSettings::setUrl(settings, url);
        qint64 shown = -1;
        if (opens)
            m_ui.onModal([&shown](QDialog &d) {
                shown = static_cast<frmRecords &>(d).model()->total();
                return 0;
            });
        LedgerSettings::showRecords(settings, m_ui, nullptr);
        if (opens) {
            QCOMPARE(m_ui.modalWindows, QStringList{QStringLiteral("frmRecords")});
            QCOMPARE(shown, qint64(Machines * PerMachine));
            QVERIFY(m_ui.boxes.isEmpty());
        } else {
            const QString reason = Ledger::open(url).error;
            QVERIFY(!reason.isEmpty());
            QCOMPARE(m_ui.boxes, (QList<ScriptedUi::Box>{{reason, Ui::Buttons::Ok, Ui::Icon::Exclamation,
                                                          QStringLiteral("Collected Records")}}));
            QVERIFY(m_ui.modalWindows.isEmpty());
        }
    }

    void filters_data()
    {
        QTest::addColumn<QStringList>("machines");
        QTest::addColumn<QDate>("since");
        QTest::addColumn<QDate>("until");
        QTest::addColumn<QString>("text");
        QTest::newRow("one machine") << QStringList{"ZEV00002"} << QDate() << QDate() << QString();
        QTest::newRow("two machines, three days") << QStringList{"ZEV00001", "ZEV00004"} << QDate(2024, 5, 3)
                                                  << QDate(2024, 5, 5) << QString();
        QTest::newRow("text in the data") << QStringList() << QDate() << QDate() << QStringLiteral("0777");
        QTest::newRow("everything at once") << QStringList{"ZEV00003"} << QDate(2024, 5, 8) << QDate() << QStringLiteral("21");
        QTest::newRow("nothing") << QStringList() << QDate(2024, 6, 1) << QDate() << QString();
    }
    void filters()
    {
        QFETCH(QStringList, machines);
        QFETCH(QDate, since);
        QFETCH(QDate, until);
        QFETCH(QString, text);
        frmRecords w(*m_ledger, m_ui);
        for (int i = 0; i < w.lstMachines->count(); ++i)
            if (machines.contains(w.lstMachines->item(i)->data(Qt::UserRole).toString()))
                w.lstMachines->item(i)->setCheckState(Qt::Checked);
        w.chkSince->setChecked(since.isValid());
        if (since.isValid())
            w.dtpSince->setDate(since);
        w.chkUntil->setChecked(until.isValid());
        if (until.isValid())
            w.dtpUntil->setDate(until);
        w.txtFind->setText(text);
        w.applyFilters();
        const auto shown = expected([&](int m, int i) {
            return (machines.isEmpty() || machines.contains(machine(m))) && (!since.isValid() || dayOf(i) >= since)
                && (!until.isValid() || dayOf(i) <= until) && dataOf(m, i).contains(text);
        });
        QCOMPARE(w.model()->total(), qint64(shown.size()));
        QCOMPARE(w.model()->rowCount(), int(shown.size()));
        if (!shown.isEmpty()) {
            checkRow(w, 0, shown.first().first, shown.first().second);
            checkRow(w, int(shown.size()) - 1, shown.last().first, shown.last().second);
        }
        checkChart(w, shown);
    }

    // A click on a day's bar shows that day; sorting by data turns the order round.
    void dayAndSort()
    {
        frmRecords w(*m_ledger, m_ui);
        w.showDay(QDate(2024, 5, 7));
        const auto day = expected([](int, int i) { return dayOf(i) == QDate(2024, 5, 7); });
        QCOMPARE(w.model()->total(), qint64(day.size()));
        QVERIFY(w.chkSince->isChecked() && w.chkUntil->isChecked());
        w.tblRecords->sortByColumn(2, Qt::DescendingOrder);
        checkRow(w, 0, day.last().first, day.last().second);
        checkRow(w, 1, day.at(day.size() - 2).first, day.at(day.size() - 2).second);
        w.tblRecords->sortByColumn(2, Qt::AscendingOrder);
        checkRow(w, 0, day.first().first, day.first().second);
    }

    // Each column's order both ways, read at its ends, across a scanner's last
    // record, and in the middle: the rows the store's own order gives.
    void orders_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        for (int c = 0; c < CollectedRecordsModel::Columns; ++c)
            for (bool descending : {false, true})
                QTest::addRow("%d%s", c, descending ? " descending" : "") << c << descending;
    }
    void orders()
    {
        QFETCH(int, column);
        QFETCH(bool, descending);
        frmRecords w(*m_ledger, m_ui);
        w.tblRecords->sortByColumn(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        // Stored machine by machine, so a record's id follows (machine, index).
        const auto all = expected([](int, int) { return true; });
        const auto key = [column](const QPair<int, int> &r) {
            const auto &[m, i] = r;
            const QString id = QStringLiteral("%1/%2").arg(m).arg(i, 6, 10, QLatin1Char('0'));
            switch (column) {
            case 1: return QStringLiteral("%1 %2:%3:%4 ").arg(dayOf(i).toString(Qt::ISODate)).arg(8 + (i / 3600) % 10, 2, 10, QLatin1Char('0'))
                           .arg((i / 60) % 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0')) + id;
            case 2: return dataOf(m, i);
            case 4: return stationOf(m) + u' ' + id;
            default: return id; // one machine ID each; one download time for all
            }
        };
        QList<QPair<QString, QPair<int, int>>> keyed;
        for (const auto &r : std::as_const(all))
            keyed.append({key(r), r});
        std::sort(keyed.begin(), keyed.end());
        if (descending)
            std::reverse(keyed.begin(), keyed.end());
        for (int row : {0, PerMachine - 1, PerMachine, Machines * PerMachine / 2 + 17, Machines * PerMachine - 1})
            checkRow(w, row, keyed[row].second.first, keyed[row].second.second);
    }

    // Export writes the rows shown, in the order shown; CSV parsed back is what the store holds.
    void exportShownRows()
    {
        frmRecords w(*m_ledger, m_ui);
        w.lstMachines->item(2)->setCheckState(Qt::Checked);
        w.txtFind->setText(QStringLiteral("9"));
        w.applyFilters();
        const auto shown = expected([](int m, int i) { return m == 3 && dataOf(m, i).contains(u'9'); });
        const QString csv = m_dir.filePath(QStringLiteral("shown.csv"));
        m_ui.saveFile(csv);
        w.cmdExport_Click();
        QList<QStringList> rows = TestFiles::parseCsv(QString::fromUtf8(TestFiles::read(csv)));
        QCOMPARE(rows.takeFirst(), (QStringList{"machine_id", "port", "generation", "position", "timestamp", "data", "collected"}));
        QCOMPARE(rows.size(), shown.size());
        for (qsizetype k = 0; k < rows.size(); ++k) {
            const auto &[m, i] = shown[k];
            QCOMPARE(rows[k][0], machine(m));
            QCOMPARE(rows[k][5], dataOf(m, i));
            QCOMPARE(rows[k][3], QString::number(i + 1));
            QVERIFY(rows[k][4].startsWith(dayOf(i).toString(Qt::ISODate)));
        }
        m_ui.saveFile(m_dir.filePath(QStringLiteral("no/folder/x.xlsx")));
        w.cmdExport_Click();
        QCOMPARE(m_ui.boxes, (QList<ScriptedUi::Box>{{QStringLiteral("The records could not be written to %1.")
                                                          .arg(m_dir.filePath(QStringLiteral("no/folder/x.xlsx"))),
                                                      Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Export")}}));
    }

    // Print... prints the rows shown (or those selected) as a table whose header tops every page.
    void print_data()
    {
        QTest::addColumn<QString>("pdf");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("selection");
        QTest::newRow("the rows shown") << QStringLiteral("shown.pdf") << true << false;
        QTest::newRow("the rows selected") << QStringLiteral("selected.pdf") << true << true;
        QTest::newRow("cancelled") << QStringLiteral("cancelled.pdf") << false << false;
        QTest::newRow("a printer that fails") << QStringLiteral("no/folder/x.pdf") << true << false;
    }
    void print()
    {
        QFETCH(QString, pdf);
        QFETCH(bool, accept);
        QFETCH(bool, selection);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        frmRecords w(*m_ledger, m_ui);
        w.showDay(QDate(2024, 5, 4));
        w.txtFind->setText(QStringLiteral("99"));
        w.applyFilters();
        auto shown = expected([](int m, int i) { return dayOf(i) == QDate(2024, 5, 4) && dataOf(m, i).contains("99"); });
        if (selection) {
            w.tblRecords->selectRow(3);
            w.tblRecords->selectionModel()->select(w.model()->index(1, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
            shown = {shown[1], shown[3]};
        }
        const QString path = m_dir.filePath(pdf);
        m_ui.print({accept, path, 1, selection});
        w.cmdPrint_Click();
        if (!accept || pdf.contains(u'/')) {
            QVERIFY(!QFile::exists(path));
            const QList<ScriptedUi::Box> boxes{
                {QStringLiteral("The records could not be printed."), Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Print")}};
            QCOMPARE(m_ui.boxes, accept ? boxes : QList<ScriptedUi::Box>());
            return;
        }
        QVERIFY(m_ui.boxes.isEmpty());
        QStringList pages = TestFiles::pdfText(path).split(QLatin1Char('\f'));
        QVERIFY(pages.takeLast().trimmed().isEmpty());
        QVERIFY(selection || pages.size() >= 2);
        static const QRegularExpression header(QStringLiteral("^\\s*Machine ID +Timestamp +Data +Downloaded At +Station\\s*$"),
                                               QRegularExpression::MultilineOption);
        static const QRegularExpression data(QStringLiteral("\\b[1-4]\\d{6}\\b"));
        QStringList printed;
        for (const QString &page : std::as_const(pages)) {
            QCOMPARE(page.count(header), 1);
            QVERIFY(page.trimmed().startsWith(QStringLiteral("Machine ID")));
            for (const QRegularExpressionMatch &m : data.globalMatch(page))
                printed << m.captured();
        }
        QStringList want;
        for (const auto &[m, i] : shown)
            want << dataOf(m, i);
        QCOMPARE(printed, want);
        QVERIFY(pages.first().contains(stationOf(shown.first().first)));
    }
};

QTEST_MAIN(TestFrmRecords)
#include "tst_frmrecords.moc"
