#pragma once

#include "fleetd/cli/CommandLine.h"

#include <QLocalServer>
#include <QTextStream>

namespace vesk::fleetd {

class PushHub;

// The running server's local door for pushes asked from the command line: a socket next to
// the database (PATH.push), reachable only by the server's own user. One line in, one out:
// "test SERIAL" or "pending SERIAL" → the number of channels that got the push.
class PushAdminListener : public QObject {
    Q_OBJECT
public:
    PushAdminListener(PushHub &hub, QObject *parent = nullptr);
    bool listen(const QString &dbPath);

    static QString socketPath(const QString &dbPath);

private:
    void serve(class QLocalSocket *socket);

    PushHub &m_hub;
    QLocalServer m_server;
};

// `push test SERIAL`: a test push to the machine's open channels on the running server.
int runPushTest(const CommandLine &commandLine, QTextStream &out, QTextStream &err);
// Tells a running server that a command was queued for `serial`; false when none listens.
bool announcePendingCommand(const QString &dbPath, const QString &serial);

} // namespace vesk::fleetd
