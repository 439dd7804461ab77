#include "platform/SerialPortsDialog.h"

#include "platform/PortNames.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QTableWidget *table(const QString &name, const QStringList &headers, QWidget *parent)
{
    auto *t = new QTableWidget(0, int(headers.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRow(QTableWidget *t, int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}
} // namespace

SerialPortsDialog::SerialPortsDialog(PortNames &names, int comNumber, Discover discover, QWidget *parent)
    : QDialog(parent), m_names(names), m_discover(std::move(discover))
{
    setObjectName(QStringLiteral("SerialPortsDialog"));
    setWindowTitle(QStringLiteral("Serial Ports"));

    auto *found = new QGroupBox(QStringLiteral("&Ports the system reports"), this);
    tblPorts = table(QStringLiteral("tblPorts"),
                     {QStringLiteral("Device"), QStringLiteral("Description"), QStringLiteral("Manufacturer"),
                      QStringLiteral("Serial number"), QStringLiteral("Stable name")},
                     found);
    cmdRefresh = new QPushButton(QStringLiteral("&Refresh"), found);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdRefresh->setAutoDefault(false);
    auto *foundLayout = new QGridLayout(found);
    foundLayout->addWidget(tblPorts, 0, 0, 1, 2);
    foundLayout->addWidget(new QLabel(QStringLiteral("Pick one, or type a device path below."), found), 1, 0);
    foundLayout->addWidget(cmdRefresh, 1, 1);

    auto *mapping = new QGroupBox(QStringLiteral("COM ports"), this);
    cboCom = new QComboBox(mapping);
    cboCom->setObjectName(QStringLiteral("cboCom"));
    for (int n = 1; n <= PortNames::Count; ++n)
        cboCom->addItem(QStringLiteral("COM %1").arg(n));
    txtDevice = new QLineEdit(mapping);
    txtDevice->setObjectName(QStringLiteral("txtDevice"));
    txtDevice->setPlaceholderText(QStringLiteral("the platform's name"));
    lblSource = new QLabel(mapping);
    lblSource->setObjectName(QStringLiteral("lblSource"));
    tblPorts->setAccessibleName(QStringLiteral("Ports the system reports"));
    tblMapping = table(QStringLiteral("tblMapping"),
                       {QStringLiteral("COM"), QStringLiteral("Device"), QStringLiteral("From")}, mapping);
    auto *mapLayout = new QGridLayout(mapping);
    auto *lblCom = new QLabel(QStringLiteral("&COM port:"), mapping);
    lblCom->setBuddy(cboCom);
    auto *lblDevice = new QLabel(QStringLiteral("&Device:"), mapping);
    lblDevice->setBuddy(txtDevice);
    mapLayout->addWidget(lblCom, 0, 0);
    mapLayout->addWidget(cboCom, 0, 1);
    mapLayout->addWidget(lblDevice, 0, 2);
    mapLayout->addWidget(txtDevice, 0, 3);
    mapLayout->addWidget(lblSource, 1, 0, 1, 4);
    mapLayout->addWidget(tblMapping, 2, 0, 1, 4);
    mapLayout->setColumnStretch(3, 1);
    tblMapping->setAccessibleName(QStringLiteral("COM ports"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(found, 1);
    layout->addWidget(mapping, 1);
    layout->addWidget(buttons);
    resize(720, 560);

    connect(cmdRefresh, &QPushButton::clicked, this, &SerialPortsDialog::refresh);
    connect(tblPorts, &QTableWidget::cellClicked, this, [this](int row, int) { portClicked(row); });
    connect(cboCom, &QComboBox::currentIndexChanged, this, [this](int index) { showCom(index + 1); });
    connect(txtDevice, &QLineEdit::textEdited, this, &SerialPortsDialog::deviceEdited);
    connect(tblMapping, &QTableWidget::cellClicked, this, [this](int row, int) { cboCom->setCurrentIndex(row); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    refresh();
    cboCom->setCurrentIndex(qBound(1, comNumber, int(PortNames::Count)) - 1);
    showCom(this->comNumber());
}

int SerialPortsDialog::comNumber() const
{
    return cboCom->currentIndex() + 1;
}

void SerialPortsDialog::refresh()
{
    m_ports = m_discover ? m_discover() : QList<PortInfo>();
    tblPorts->setRowCount(int(m_ports.size()));
    for (int r = 0; r < m_ports.size(); ++r) {
        const PortInfo &p = m_ports[r];
        setRow(tblPorts, r, {p.device, p.description, p.manufacturer, p.serialNumber, p.byId});
    }
    tblPorts->resizeColumnsToContents();
    fillMapping();
}

void SerialPortsDialog::showCom(int n)
{
    const PortNames::Mapping m = m_names.lookup(n);
    const auto pending = m_pending.find(n);
    txtDevice->setText(pending != m_pending.end() ? *pending : m_names.stored(n));
    if (m.source == PortNames::Source::Option || m.source == PortNames::Source::Environment)
        lblSource->setText(QStringLiteral("COM %1 is %2 by the %3 for this run; what you store here applies without it.")
                               .arg(n).arg(m.device, PortNames::sourceName(m.source)));
    else
        lblSource->setText(QStringLiteral("Left empty, COM %1 is the platform's %2.").arg(n).arg(PortNames::platformName(n)));
    tblMapping->selectRow(n - 1);
}

void SerialPortsDialog::portClicked(int row)
{
    if (row < 0 || row >= m_ports.size())
        return;
    txtDevice->setText(m_ports[row].preferredName());
    deviceEdited(txtDevice->text());
}

void SerialPortsDialog::deviceEdited(const QString &text)
{
    m_pending[comNumber()] = text.trimmed();
    fillMapping();
}

void SerialPortsDialog::fillMapping()
{
    tblMapping->setRowCount(PortNames::Count);
    for (int n = 1; n <= PortNames::Count; ++n) {
        PortNames::Mapping m = m_names.lookup(n);
        const auto pending = m_pending.find(n);
        const bool overridden = m.source == PortNames::Source::Option || m.source == PortNames::Source::Environment;
        if (pending != m_pending.end() && !overridden)
            m = pending->isEmpty() ? PortNames::Mapping{PortNames::platformName(n), PortNames::Source::PlatformDefault}
                                   : PortNames::Mapping{*pending, PortNames::Source::Setting};
        setRow(tblMapping, n - 1, {QStringLiteral("COM %1").arg(n), m.device, PortNames::sourceName(m.source)});
    }
}

void SerialPortsDialog::accept()
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        if (*it != m_names.stored(it.key()))
            m_names.store(it.key(), *it);
    QDialog::accept();
}

#include "moc_SerialPortsDialog.cpp"
