#pragma once

#include "ledger/CollectedRecordsModel.h"

#include <QDialog>

class QCheckBox;
class QChart;
class QChartView;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPrinter;
class QTableView;
class QTableWidget;
class QThread;
class QTimer;
class Ui;

// The "Collected Records" window: the store's records, filtered by machine,
// scan date and text, a chart of scans per day per machine, each machine's
// summary, and the rows shown exported or printed.
class frmRecords : public QDialog
{
    Q_OBJECT
public:
    frmRecords(Ledger &ledger, Ui &ui, QWidget *parent = nullptr);
    ~frmRecords() override;

    CollectedRecordsModel *model() const { return m_model; }
    QChart *chart() const;
    // The chart of the filter in use is still being counted.
    bool chartPending() const { return m_chartShown != m_chartAsked; }

    // Reads the filter controls, then refreshes the table, the count and the chart.
    void applyFilters();
    // Shows one day only (a click on the chart's bar).
    void showDay(QDate day);
    void cmdExport_Click();
    void cmdPreview_Click();
    // The print dialog, then the rows shown (or the rows selected) on the printer chosen.
    void cmdPrint_Click();

    QListWidget *lstMachines = nullptr;
    QCheckBox *chkSince = nullptr;
    QDateEdit *dtpSince = nullptr;
    QCheckBox *chkUntil = nullptr;
    QDateEdit *dtpUntil = nullptr;
    QLineEdit *txtFind = nullptr;
    QLabel *lblShown = nullptr;
    QChartView *chtDays = nullptr;
    QTableView *tblRecords = nullptr;
    QTableWidget *tblMachines = nullptr;

private:
    void fillMachines();
    void fillChart();
    void showChart(quint64 serial, const QList<DayCount> &counts);
    void fitColumns();
    bool paint(QPrinter &printer);

    Ledger &m_ledger;
    Ui &m_ui;
    CollectedRecordsModel *m_model = nullptr;
    QTimer *m_typing = nullptr;
    QList<QDate> m_days; // the chart's categories
    quint64 m_chartAsked = 0, m_chartShown = 0;
    QList<QThread *> m_jobs;
};
