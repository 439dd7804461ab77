#pragma once

#include "platform/PortDiscovery.h"

#include <QDialog>
#include <QMap>
#include <functional>

class PortNames;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "Serial Ports": which device each COM number means. Lists what the system
// reports, takes a typed path (pseudo-terminals and links are never listed),
// and on OK stores the choices in the per-user setting Ports/COMn.
class SerialPortsDialog : public QDialog
{
    Q_OBJECT
public:
    using Discover = std::function<QList<PortInfo>()>;
    SerialPortsDialog(PortNames &names, int comNumber, Discover discover = PortDiscovery::systemPorts,
                      QWidget *parent = nullptr);

    void refresh();
    // The COM number shown last: the caller may take it over.
    int comNumber() const;

protected:
    void accept() override;

private:
    void showCom(int comNumber);
    void portClicked(int row);
    void deviceEdited(const QString &text);
    void fillMapping();

    PortNames &m_names;
    Discover m_discover;
    QList<PortInfo> m_ports;
    QMap<int, QString> m_pending; // COM number -> device typed or picked; empty: back to the default
    QTableWidget *tblPorts;
    QPushButton *cmdRefresh;
    QComboBox *cboCom;
    QLineEdit *txtDevice;
    QLabel *lblSource;
    QTableWidget *tblMapping;
};
