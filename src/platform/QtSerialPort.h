#pragma once

#include "platform/SerialPort.h"

#include <QLoggingCategory>
#include <QSerialPort>

class PortNames;

Q_DECLARE_LOGGING_CATEGORY(zevLinkLowLevel)

// SerialPort on QSerialPort. No flow control; the modem lines are left alone.
// Traffic is logged in hex under "zev.link.lowlevel" (off by default).
class QtSerialPort : public SerialPort
{
public:
    explicit QtSerialPort(const PortNames &names);
    ~QtSerialPort() override;

    void setPortNumber(int comNumber) override;
    int portNumber() const override { return m_number; }
    void setSettings(const QString &settings) override;
    void setInputBufferSize(int bytes) override { m_inputBufferSize = bytes; }
    bool open() override;
    void close() override;
    bool isOpen() const override;
    QString errorString() const override { return m_error; }
    PortProblem problem() const override { return m_problem; }
    void discardInput() override;
    int bytesWaiting() override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;

    QString deviceName() const;
    // Bytes handed to the line since this port was made.
    qint64 bytesWritten() const { return m_written; }

private:
    void onError(QSerialPort::SerialPortError error);
    void pull();
    void noteProblem(PortFacts::When when, QSerialPort::SerialPortError error);

    const PortNames &m_names;
    QSerialPort m_port;
    int m_number = 1;
    int m_inputBufferSize = 1024;
    qint32 m_baud = 19200;
    QSerialPort::Parity m_parity = QSerialPort::NoParity;
    QSerialPort::DataBits m_dataBits = QSerialPort::Data8;
    QSerialPort::StopBits m_stopBits = QSerialPort::OneStop;
    QString m_error;
    PortProblem m_problem;
    QByteArray m_beforeFailure; // what had arrived when the line failed, still to be read
    qint64 m_written = 0;
};
