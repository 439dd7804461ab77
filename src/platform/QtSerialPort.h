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
    // Input is never capped: a read takes everything that has arrived.
    void setInputBufferSize(int) override {}
    bool open() override;
    void close() override;
    bool isOpen() const override;
    QString errorString() const override { return m_error; }
    PortProblem problem() const override { return m_problem; }
    void discardInput() override;
    int bytesWaiting() override;
    bool write(const QByteArray &bytes, bool more = false) override;
    QByteArray readAll() override;
    qintptr inputDescriptor() const override;
    int bytesPerSecond() const override { return qMax(1, int(m_baud / 10)); }

    QString deviceName() const;
    // Bytes handed to the line since this port was made.
    qint64 bytesWritten() const { return m_written; }

private:
    void onError(QSerialPort::SerialPortError error);
    void pull();
    void readDescriptor();
    void lineFailed(QSerialPort::SerialPortError error, const QString &reason);
    void noteProblem(PortFacts::When when, QSerialPort::SerialPortError error);

    const PortNames &m_names;
    QSerialPort m_port;
    int m_number = 1;
    qint32 m_baud = 19200;
    QSerialPort::Parity m_parity = QSerialPort::NoParity;
    QSerialPort::DataBits m_dataBits = QSerialPort::Data8;
    QSerialPort::StopBits m_stopBits = QSerialPort::OneStop;
    QString m_error;
    PortProblem m_problem;
    QByteArray m_input; // received and not yet read; kept when the line fails
    // Unix: input is read from the descriptor here, whole, when asked for; the
    // library's own reader, which would wake the event loop for every byte, is off.
    bool m_direct = false;
    qint64 m_written = 0;
};
