#pragma once

#include "platform/SerialPort.h"

#include <QList>
#include <functional>

class Clock;

// The other end of a fake line: gets what the PC writes, gives bytes when their time has come.
class SerialPeer
{
public:
    virtual ~SerialPeer() = default;
    virtual void receive(const QByteArray &bytes, qint64 nowMs) = 0;
    virtual QByteArray takeOutput(qint64 nowMs) = 0;
    virtual bool hungUp(qint64 /*nowMs*/) const { return false; }
};

// A peer that answers each write with the next scripted reply after a delay.
class ScriptedPeer : public SerialPeer
{
public:
    struct Reply
    {
        Reply(QByteArray b = QByteArray(), int delay = 10, QList<QPair<int, QByteArray>> bursts = {})
            : bytes(std::move(b)), delayMs(delay), later(std::move(bursts)) {}
        QByteArray bytes;
        int delayMs = 10;
        QList<QPair<int, QByteArray>> later; // further bursts, delay from the write
    };
    QList<Reply> replies;   // one per write; none left: silence
    QList<QByteArray> received;

    void receive(const QByteArray &bytes, qint64 nowMs) override;
    QByteArray takeOutput(qint64 nowMs) override;

private:
    QList<QPair<qint64, QByteArray>> m_due;
};

// SerialPort for tests, joined to a peer on a (virtual) clock. Records what
// was written and can be told to fail to open or to break.
class FakeSerialPort : public SerialPort
{
public:
    FakeSerialPort(SerialPeer &peer, Clock &clock) : m_peer(peer), m_clock(clock) {}

    void setPortNumber(int comNumber) override;
    int portNumber() const override { return m_number; }
    void setSettings(const QString &settings) override { settingsSet << settings; }
    void setInputBufferSize(int bytes) override { inputBufferSize = bytes; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QString errorString() const override { return m_error; }
    void discardInput() override;
    int bytesWaiting() override;
    bool write(const QByteArray &bytes, bool more = false) override;
    QByteArray readAll() override;

    // Test controls
    bool failOpen = false;
    QString openError = QStringLiteral("No such file or directory");
    int inputBufferSize = 0;
    QStringList settingsSet;
    QList<QByteArray> writes;
    QList<int> portNumbersOpened;
    int opens = 0;
    int portNumberChangesWhileOpen = 0;
    QByteArray written() const;

private:
    void pull();
    SerialPeer &m_peer;
    Clock &m_clock;
    int m_number = 1;
    bool m_open = false;
    QString m_error;
    QByteArray m_input;
};
