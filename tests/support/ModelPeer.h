#pragma once

#include "sim/ScannerModel.h"
#include "support/FakeSerialPort.h"

// The scanner model at the other end of a fake line.
class ModelPeer : public SerialPeer
{
public:
    explicit ModelPeer(ScannerModel::Config config = {}) : model(std::move(config)) {}
    void receive(const QByteArray &bytes, qint64 nowMs) override { model.receive(bytes, nowMs); }
    QByteArray takeOutput(qint64 nowMs) override { return model.takeOutput(nowMs); }
    bool hungUp(qint64 nowMs) const override { return model.hungUp(nowMs); }

    ScannerModel model;
};
