#pragma once

// A serial device server in transparent mode in front of a simulated line: it listens on 127.0.0.1,
// takes one TCP client at a time and passes its bytes to the line (the slave side of the simulator's
// pseudo-terminal) and the line's bytes back, unchanged. What the simulator does (faults, wire time,
// its record of requests) is the same as over the terminal.
//
//     Simulator sim;
//     sim.open();
//     SimTcpServer server(sim);
//     server.listen();                          // a free port
//     link.OpenPort(server.url());              // "tcp://127.0.0.1:PORT"
//     server.dropClient();                      // the device server resets the connection
//     server.close(); ... server.listen(port);  // it goes away and comes back

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class Simulator;

class SimTcpServer : public QObject {
    Q_OBJECT
public:
    explicit SimTcpServer(Simulator& sim, QObject* parent = nullptr);
    ~SimTcpServer() override;

    // Listens on 127.0.0.1:`port` (0: a free port the system picks). False, with errorString(), when
    // the port is taken or the line cannot be opened.
    bool listen(quint16 port = 0);
    bool isListening() const;
    quint16 port() const { return port_; }
    // "tcp://127.0.0.1:PORT"
    QString url() const;
    QString errorString() const { return error_; }

    // The server goes away: the client's connection is closed and no other is taken until listen().
    void close();
    // Closes the client's connection; the server goes on listening.
    void dropClient();
    bool hasClient() const;
    // Connections taken since the server was made.
    int connectionCount() const { return connections_; }

signals:
    void clientConnected();
    void clientDisconnected();

private:
    bool openLine();
    void closeLine();
    void onNewConnection();
    void onClientData();
    void onLineReadable();
    void flushToLine();

    Simulator& sim_;
    QTcpServer* server_ = nullptr;
    QPointer<QTcpSocket> client_;
    int lineFd_ = -1;
    QSocketNotifier* lineRead_ = nullptr;
    QSocketNotifier* lineWrite_ = nullptr;
    QByteArray toLine_;
    quint16 port_ = 0;
    QString error_;
    int connections_ = 0;
};
