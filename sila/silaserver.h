#pragma once

#include <QString>

#include <memory>

class RemoteDesk;
class SilaBoard;
class SilaIdentity;

namespace grpc {
class Server;
}

// The panel's SiLA 2 server: SiLAService, LockController and the pump's own PumpControl on
// gRPC over TLS, listening on 127.0.0.1 only. It runs on gRPC's own threads and never blocks
// the panel's: a command is handed to the desk on the panel's thread and its reply awaited
// for a bounded time; watched state is read from the board. Hostile input is answered with
// gRPC's own errors: a message over kMaxReceiveBytes, metadata the call does not take, too
// many streams on a connection, too many calls at once.
class SilaServer
{
public:
    static constexpr int kMaxReceiveBytes = 64 * 1024;
    static constexpr int kMaxStreamsPerConnection = 100;
    static constexpr int kMaxThreads = 64;

    SilaServer(RemoteDesk *desk, SilaBoard *board, SilaIdentity *identity, const QString &version);
    ~SilaServer();

    // port 0: one the system chooses. Empty when listening; else why not.
    QString start(int port);
    void stop();
    bool isRunning() const { return m_server != nullptr; }
    int port() const { return m_port; }

    // The features served, by fully qualified identifier.
    static QStringList featureIdentifiers();

private:
    struct Services;

    RemoteDesk *m_desk;
    SilaBoard *m_board;
    SilaIdentity *m_identity;
    QString m_version;
    std::unique_ptr<Services> m_services;
    std::unique_ptr<grpc::Server> m_server;
    int m_port = 0;
};
