#include "ledger/frmRecords.h"

#include "ledger/DayChart.h"
#include "ledger/RecordsFile.h"
#include "ledger/TablePrinter.h"
#include "platform/Ui.h"
#include "platform/UserFile.h"

#include <QChartView>
#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QBarSet>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QCheckBox *labelledCheck(const QString &text, const QString &name, QWidget *parent)
{
    auto *c = new QCheckBox(text, parent);
    c->setObjectName(name);
    return c;
}

QDateEdit *dateEdit(const QString &name, const QString &accessible, QWidget *parent)
{
    auto *d = new QDateEdit(QDate::currentDate(), parent);
    d->setObjectName(name);
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    d->setAccessibleName(accessible);
    return d;
}

} // namespace

frmRecords::frmRecords(Ledger &ledger, Ui &ui, QWidget *parent) : QDialog(parent), m_ledger(ledger), m_ui(ui)
{
    setObjectName(QStringLiteral("frmRecords"));
    setWindowTitle(QStringLiteral("Collected Records"));
    resize(1000, 720);

    m_model = new CollectedRecordsModel(ledger, this);

    lstMachines = new QListWidget(this);
    lstMachines->setObjectName(QStringLiteral("lstMachines"));
    lstMachines->setAccessibleName(QStringLiteral("Machine IDs"));
    chkSince = labelledCheck(QStringLiteral("&From"), QStringLiteral("chkSince"), this);
    dtpSince = dateEdit(QStringLiteral("dtpSince"), QStringLiteral("From date"), this);
    chkUntil = labelledCheck(QStringLiteral("&To"), QStringLiteral("chkUntil"), this);
    dtpUntil = dateEdit(QStringLiteral("dtpUntil"), QStringLiteral("To date"), this);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setPlaceholderText(QStringLiteral("Text in the data"));
    txtFind->setAccessibleName(QStringLiteral("Text in the data"));
    txtFind->setClearButtonEnabled(true);
    auto *lblFind = new QLabel(QStringLiteral("Te&xt:"), this);
    lblFind->setBuddy(txtFind);
    auto *lblMachines = new QLabel(QStringLiteral("&Machine IDs:"), this);
    lblMachines->setBuddy(lstMachines);
    lblShown = new QLabel(this);
    lblShown->setObjectName(QStringLiteral("lblShown"));

    auto *filters = new QVBoxLayout;
    filters->addWidget(lblMachines);
    filters->addWidget(lstMachines, 1);
    auto *dates = new QFormLayout;
    dates->addRow(chkSince, dtpSince);
    dates->addRow(chkUntil, dtpUntil);
    dates->addRow(lblFind, txtFind);
    filters->addLayout(dates);
    filters->addWidget(lblShown);

    chtDays = new QChartView(this);
    chtDays->setObjectName(QStringLiteral("chtDays"));
    chtDays->setAccessibleName(QStringLiteral("Scans per day per machine"));
    chtDays->setRenderHint(QPainter::Antialiasing);
    chtDays->setMinimumHeight(220);
    chtDays->chart()->legend()->setAlignment(Qt::AlignRight);
    chtDays->chart()->setTitle(QStringLiteral("Scans per day"));

    tblRecords = new QTableView(this);
    tblRecords->setObjectName(QStringLiteral("tblRecords"));
    tblRecords->setAccessibleName(QStringLiteral("Records"));
    tblRecords->setModel(m_model);
    tblRecords->setSortingEnabled(true);
    tblRecords->sortByColumn(0, Qt::AscendingOrder);
    tblRecords->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblRecords->verticalHeader()->setDefaultSectionSize(tblRecords->fontMetrics().height() + 6);
    tblRecords->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    tblMachines = new QTableWidget(0, 7, this);
    tblMachines->setObjectName(QStringLiteral("tblMachines"));
    tblMachines->setAccessibleName(QStringLiteral("Per machine"));
    tblMachines->setHorizontalHeaderLabels({QStringLiteral("Machine ID"), QStringLiteral("Last Collected"),
                                            QStringLiteral("Station"), QStringLiteral("Last Download"),
                                            QStringLiteral("Records Held"), QStringLiteral("In Store"),
                                            QStringLiteral("Last Erased")});
    tblMachines->horizontalHeaderItem(4)->setToolTip(
        QStringLiteral("Records the scanner held at its last download; none after it was erased here"));
    tblMachines->horizontalHeaderItem(5)->setToolTip(QStringLiteral("Records of this machine the store keeps"));
    tblMachines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblMachines->verticalHeader()->hide();
    tblMachines->verticalHeader()->setDefaultSectionSize(tblRecords->verticalHeader()->defaultSectionSize());
    tblMachines->horizontalHeader()->setStretchLastSection(true);

    auto *cmdExport = new QPushButton(QStringLiteral("&Export..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    auto *cmdPrint = new QPushButton(QStringLiteral("&Print..."), this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    auto *cmdPreview = new QPushButton(QStringLiteral("Print Pre&view..."), this);
    cmdPreview->setObjectName(QStringLiteral("cmdPreview"));
    auto *cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdPreview);
    buttons->addWidget(cmdClose);

    auto *right = new QSplitter(Qt::Vertical, this);
    right->addWidget(chtDays);
    right->addWidget(tblRecords);
    right->addWidget(tblMachines);
    right->setStretchFactor(1, 1);
    auto *main = new QHBoxLayout;
    main->addLayout(filters);
    main->addWidget(right, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(main, 1);
    layout->addLayout(buttons);

    setTabOrder(lstMachines, chkSince);
    setTabOrder(chkSince, dtpSince);
    setTabOrder(dtpSince, chkUntil);
    setTabOrder(chkUntil, dtpUntil);
    setTabOrder(dtpUntil, txtFind);
    setTabOrder(txtFind, tblRecords);
    setTabOrder(tblRecords, tblMachines);

    // Typing waits for a pause before the store is asked again.
    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(300);
    connect(m_typing, &QTimer::timeout, this, &frmRecords::applyFilters);
    connect(txtFind, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
    connect(txtFind, &QLineEdit::returnPressed, this, &frmRecords::applyFilters);
    connect(lstMachines, &QListWidget::itemChanged, this, &frmRecords::applyFilters);
    for (QCheckBox *c : {chkSince, chkUntil})
        connect(c, &QCheckBox::toggled, this, &frmRecords::applyFilters);
    for (QDateEdit *d : {dtpSince, dtpUntil})
        connect(d, &QDateEdit::dateChanged, this, &frmRecords::applyFilters);
    connect(cmdExport, &QPushButton::clicked, this, &frmRecords::cmdExport_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmRecords::cmdPrint_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &frmRecords::cmdPreview_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    fillMachines();
    applyFilters();
    fitColumns();
}

QChart *frmRecords::chart() const
{
    return chtDays->chart();
}

// The machine list with each one's count, and the summary per machine, from one look at the scanners.
void frmRecords::fillMachines()
{
    const QList<ScannerStats> stats = m_ledger.stats();
    QMap<QString, qint64> perMachine; // scanners without machine ID share one entry
    for (const ScannerStats &s : stats)
        perMachine[s.machineId] += s.records;
    {
        const QSignalBlocker blocker(lstMachines);
        lstMachines->clear();
        for (auto it = perMachine.cbegin(); it != perMachine.cend(); ++it) {
            auto *item = new QListWidgetItem(
                QStringLiteral("%1 (%2)").arg(it.key().isEmpty() ? QStringLiteral("(no ID)") : it.key()).arg(it.value()),
                lstMachines);
            item->setData(Qt::UserRole, it.key());
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    tblMachines->setRowCount(int(stats.size()));
    for (int i = 0; i < stats.size(); ++i) {
        const ScannerStats &s = stats[i];
        const QStringList cells{Ledger::scannerName(s.machineId, s.portDevice),
                                Ledger::localText(s.lastSeenUtc), s.lastStation,
                                s.lastComplete ? QStringLiteral("Complete") : QStringLiteral("Incomplete"),
                                QString::number(s.held), QString::number(s.records), Ledger::localText(s.lastErasedUtc)};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == 4 || c == 5)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tblMachines->setItem(i, c, item);
        }
    }
    tblMachines->resizeColumnsToContents();
    // Up to six machines in view without scrolling.
    tblMachines->setMaximumHeight(tblMachines->horizontalHeader()->sizeHint().height() + 2 * tblMachines->frameWidth()
                                  + qBound(1, int(stats.size()), 6) * tblMachines->verticalHeader()->defaultSectionSize());
}

// Every column as wide as its values need (measured on the first page and the
// fixed-width texts, never on all rows); the data takes what is left.
void frmRecords::fitColumns()
{
    const QFontMetrics fm = tblRecords->fontMetrics();
    const int pad = 3 * fm.averageCharWidth();
    QHeaderView *header = tblRecords->horizontalHeader();
    for (int c = 0; c < CollectedRecordsModel::Columns; ++c) {
        int w = header->fontMetrics().horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString());
        if (c == 1 || c == 3)
            w = qMax(w, fm.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")));
        for (int r = 0; r < qMin(m_model->rowCount(), int(CollectedRecordsModel::PageRows)); ++r)
            w = qMax(w, fm.horizontalAdvance(m_model->index(r, c).data().toString()));
        // Room for the sort indicator beside the title.
        tblRecords->setColumnWidth(c, qMin(w + pad + fm.height(), 30 * fm.averageCharWidth()));
    }
    header->setSectionResizeMode(2, QHeaderView::Stretch);
}

void frmRecords::applyFilters()
{
    m_typing->stop();
    RecordFilter f;
    for (int i = 0; i < lstMachines->count(); ++i)
        if (lstMachines->item(i)->checkState() == Qt::Checked)
            f.machines << lstMachines->item(i)->data(Qt::UserRole).toString();
    if (chkSince->isChecked())
        f.since = dtpSince->date();
    if (chkUntil->isChecked())
        f.until = dtpUntil->date();
    f.text = txtFind->text();
    m_model->setFilter(f);
    // The table's first page before the chart's count starts, so that they do not compete for the store.
    m_model->record(0);
    lblShown->setText(m_model->error().isEmpty() ? QStringLiteral("%L1 records shown").arg(m_model->total())
                                                 : QStringLiteral("The store could not be read: %1").arg(m_model->error()));
    fillChart();
}

void frmRecords::showDay(QDate day)
{
    const QSignalBlocker a(chkSince), b(chkUntil), c(dtpSince), d(dtpUntil);
    chkSince->setChecked(true);
    chkUntil->setChecked(true);
    dtpSince->setDate(day);
    dtpUntil->setDate(day);
    applyFilters();
}

frmRecords::~frmRecords()
{
    // A count still running reads through its own connection; it ends before the window does.
    for (QThread *job : std::as_const(m_jobs))
        job->wait();
    qDeleteAll(m_jobs);
}

// The chart reads every row the filter shows: on a connection of its own, in
// another thread, so that the table is there at once and stays responsive.
void frmRecords::fillChart()
{
    const quint64 serial = ++m_chartAsked;
    QThread *job = QThread::create([this, serial, url = m_ledger.location().url(), filter = m_model->filter()]() {
        QList<DayCount> counts;
        if (Ledger::Opened o = Ledger::open(url); o.ledger)
            counts = o.ledger->countsPerDay(filter);
        QMetaObject::invokeMethod(this, [this, serial, counts]() { showChart(serial, counts); }, Qt::QueuedConnection);
    });
    connect(job, &QThread::finished, this, [this, job]() {
        m_jobs.removeOne(job);
        delete job;
    });
    m_jobs << job;
    job->start();
}

void frmRecords::showChart(quint64 serial, const QList<DayCount> &counts)
{
    if (serial != m_chartAsked)
        return; // a later filter's count is on its way
    m_chartShown = serial;
    QStringList machines = m_model->filter().machines;
    if (machines.isEmpty())
        for (int i = 0; i < lstMachines->count(); ++i)
            machines << lstMachines->item(i)->data(Qt::UserRole).toString();
    QStackedBarSeries *series = DayChart::fill(chtDays->chart(), machines, counts, m_days);
    connect(series, &QStackedBarSeries::clicked, this, [this](int index, QBarSet *) {
        if (index >= 0 && index < m_days.size())
            showDay(m_days[index]);
    });
}

void frmRecords::cmdExport_Click()
{
    const Ui::FileAnswer answer = m_ui.saveFileDialog(
        {QStringLiteral("CSV(*.csv)|*.csv|JSON(*.json)|*.json|Spreadsheet(*.xlsx)|*.xlsx"), 1, QString()});
    if (answer.cancelled || answer.fileName.isEmpty())
        return;
    RecordExport::Format format = RecordExport::Format::Csv;
    const QString ext = answer.fileName.section(QLatin1Char('.'), -1).toLower();
    if (ext == u"json" || ext == u"xlsx")
        RecordExport::parseFormat(ext, format);
    QString error;
    const QByteArray bytes = RecordsFile::write(m_model->shownRows(), format, &error);
    if (error.isEmpty())
        error = m_model->error();
    if (error.isEmpty())
        error = UserFile::write(answer.fileName, bytes);
    if (!error.isEmpty())
        m_ui.messageBox(QStringLiteral("The records could not be written to %1.").arg(answer.fileName), Ui::Buttons::Ok,
                        Ui::Icon::Critical, QStringLiteral("Export"), BoxOptions{.detail = error});
}

void frmRecords::cmdPreview_Click()
{
    QPrinter printer;
    m_ui.printPreview(printer, [this](QPrinter &p) { paint(p); });
}

void frmRecords::cmdPrint_Click()
{
    QPrinter printer;
    if (!m_ui.printDialog(printer, tblRecords->selectionModel()->hasSelection()))
        return;
    if (!paint(printer))
        m_ui.messageBox(QStringLiteral("The records could not be printed."), Ui::Buttons::Ok, Ui::Icon::Critical,
                        QStringLiteral("Print"), BoxOptions{.detail = m_model->error()});
}

// The rows shown (or those selected, when the print dialog asked for them) as a
// table whose header row repeats on every page, fetched a piece at a time.
bool frmRecords::paint(QPrinter &printer)
{
    const auto cells = [](const RecordRow &r) {
        QStringList row;
        for (int c = 0; c < CollectedRecordsModel::Columns; ++c)
            row << CollectedRecordsModel::cellText(r, c);
        return row;
    };
    QStringList header;
    for (int c = 0; c < CollectedRecordsModel::Columns; ++c)
        header << m_model->headerData(c, Qt::Horizontal).toString();
    QList<QStringList> sample;
    for (int r = 0; r < qMin(m_model->rowCount(), int(CollectedRecordsModel::PageRows)); ++r)
        sample << cells(m_model->record(r));
    TablePrinter table(printer, header, sample);
    if (printer.printRange() == QPrinter::Selection) {
        QModelIndexList selected = tblRecords->selectionModel()->selectedRows();
        std::sort(selected.begin(), selected.end());
        for (const QModelIndex &i : std::as_const(selected))
            if (!table.row(cells(m_model->record(i.row()))))
                break;
        return table.finish();
    }
    const bool read = m_model->forEachShown([&](const QList<RecordRow> &rows) {
        for (const RecordRow &r : rows)
            if (!table.row(cells(r)))
                return false;
        return true;
    });
    return table.finish() && read;
}

#include "moc_frmRecords.cpp"
