#include "tcpserver.h"

#include "simulator.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

SimTcpServer::SimTcpServer(Simulator& sim, QObject* parent) : QObject(parent), sim_(sim) {
    server_ = new QTcpServer(this);
    server_->setMaxPendingConnections(1);
    connect(server_, &QTcpServer::newConnection, this, &SimTcpServer::onNewConnection);
}

SimTcpServer::~SimTcpServer() {
    close();
    closeLine();
}

bool SimTcpServer::openLine() {
    if (lineFd_ >= 0) {
        return true;
    }
    const QByteArray path = QFile::encodeName(sim_.devicePath());
    if (path.isEmpty()) {
        error_ = QStringLiteral("the simulator has no line open");
        return false;
    }
    lineFd_ = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (lineFd_ < 0) {
        error_ =
            QStringLiteral("%1: %2").arg(sim_.devicePath(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    lineRead_ = new QSocketNotifier(lineFd_, QSocketNotifier::Read, this);
    connect(lineRead_, &QSocketNotifier::activated, this, &SimTcpServer::onLineReadable);
    lineWrite_ = new QSocketNotifier(lineFd_, QSocketNotifier::Write, this);
    lineWrite_->setEnabled(false);
    connect(lineWrite_, &QSocketNotifier::activated, this, &SimTcpServer::flushToLine);
    return true;
}

void SimTcpServer::closeLine() {
    delete lineRead_;
    lineRead_ = nullptr;
    delete lineWrite_;
    lineWrite_ = nullptr;
    if (lineFd_ >= 0) {
        ::close(lineFd_);
        lineFd_ = -1;
    }
    toLine_.clear();
}

bool SimTcpServer::listen(quint16 port) {
    if (!openLine()) {
        return false;
    }
    if (server_->isListening()) {
        return true;
    }
    if (!server_->listen(QHostAddress::LocalHost, port)) {
        error_ = server_->errorString();
        return false;
    }
    port_ = server_->serverPort();
    return true;
}

bool SimTcpServer::isListening() const {
    return server_->isListening();
}

QString SimTcpServer::url() const {
    return QStringLiteral("tcp://127.0.0.1:%1").arg(port_);
}

void SimTcpServer::close() {
    server_->close();
    dropClient();
}

void SimTcpServer::dropClient() {
    if (client_) {
        QTcpSocket* client = client_;
        client_ = nullptr;
        disconnect(client, nullptr, this, nullptr);
        client->abort();
        client->deleteLater();
        emit clientDisconnected();
    }
    toLine_.clear();
}

bool SimTcpServer::hasClient() const {
    return client_ != nullptr;
}

void SimTcpServer::onNewConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (client_) {
            // A device server in transparent mode serves one master at a time.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++connections_;
        client_ = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &SimTcpServer::onClientData);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (client_ == socket) {
                dropClient();
            }
        });
        emit clientConnected();
    }
}

void SimTcpServer::onClientData() {
    if (!client_) {
        return;
    }
    toLine_ += client_->readAll();
    flushToLine();
}

void SimTcpServer::flushToLine() {
    while (!toLine_.isEmpty() && lineFd_ >= 0) {
        const ssize_t n = ::write(lineFd_, toLine_.constData(), size_t(toLine_.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break; // the terminal's buffer is full: go on when it takes more
        }
        toLine_.remove(0, n);
    }
    if (lineWrite_) {
        lineWrite_->setEnabled(!toLine_.isEmpty());
    }
}

void SimTcpServer::onLineReadable() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(lineFd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        // Without a client, what the line says is lost, as on a device server.
        if (client_) {
            client_->write(buffer, n);
        }
    }
}
