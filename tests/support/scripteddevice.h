#pragma once

// A stand-in for the serial port whose answers a test scripts: every request written to it is
// recorded and handed to the responder, whose reply arrives through the event loop like serial
// input (in the pieces the responder returns).

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QTimer>

#include <functional>

class ScriptedDevice : public QIODevice {
    Q_OBJECT
public:
    // Returns the pieces of the reply to one request (none: silence).
    using Responder = std::function<QList<QByteArray>(const QByteArray& request)>;

    explicit ScriptedDevice(Responder responder, QObject* parent = nullptr)
        : QIODevice(parent), responder_(std::move(responder)) {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }

    QList<QByteArray> requests;

    // Makes characters arrive on the line now (noise, late replies).
    void Arrive(const QByteArray& data) {
        input_.append(data);
        emit readyRead();
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return input_.size() + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = qMin<qint64>(maxSize, input_.size());
        std::copy_n(input_.constData(), n, data);
        input_.remove(0, n);
        return n;
    }
    qint64 writeData(const char* data, qint64 size) override {
        const QByteArray request(data, size);
        requests.append(request);
        int delay = 0;
        for (const QByteArray& piece : responder_(request)) {
            QTimer::singleShot(delay++, this, [this, piece] { Arrive(piece); });
        }
        return size;
    }

private:
    Responder responder_;
    QByteArray input_;
};
