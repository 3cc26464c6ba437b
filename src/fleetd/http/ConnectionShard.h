#pragma once

#include <QTcpServer>

namespace vesk::fleetd {

// A QTcpServer that never listens: FleetHttpServer's real listener hands it
// accepted sockets, and the QHttpServer bound to it serves them. QHttpServer 6.4
// finds the socket behind every event by walking all of its connections, so one
// server with ten thousand agents spends most of its time there; spreading the
// agents over several shards divides that walk.
//
// Qt's server classes insist on a listening socket, so each shard holds one on an
// OS-chosen loopback port with accepting paused: nothing is ever accepted there.
class ConnectionShard : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

    bool open()
    {
        if (!listen(QHostAddress::LocalHost, 0))
            return false;
        pauseAccepting();
        return true;
    }
    void adopt(QTcpSocket *socket) { addPendingConnection(socket); }
};

} // namespace vesk::fleetd
