#include "fleetd/cli/PushCommand.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/PushHub.h"

#include <QJsonObject>
#include <QLocalSocket>

#include <optional>

namespace vesk::fleetd {

namespace {

constexpr int kWaitMs = 5000;

// Sends one request line to the running server; its answer, none when no server listens.
std::optional<int> ask(const QString &dbPath, const QString &line)
{
    QLocalSocket socket;
    socket.connectToServer(PushAdminListener::socketPath(dbPath));
    if (!socket.waitForConnected(kWaitMs))
        return std::nullopt;
    socket.write(line.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(kWaitMs))
        return std::nullopt;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kWaitMs))
            return std::nullopt;
    }
    bool ok = false;
    const int delivered = socket.readLine().trimmed().toInt(&ok);
    return ok ? std::optional<int>(delivered) : std::nullopt;
}

} // namespace

PushAdminListener::PushAdminListener(PushHub &hub, QObject *parent) : QObject(parent), m_hub(hub)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

QString PushAdminListener::socketPath(const QString &dbPath)
{
    return dbPath + QStringLiteral(".push");
}

bool PushAdminListener::listen(const QString &dbPath)
{
    QLocalServer::removeServer(socketPath(dbPath)); // a stale socket of an ended server
    return m_server.listen(socketPath(dbPath));
}

void PushAdminListener::serve(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > 1024)
                socket->abort();
            return;
        }
        const QStringList words = QString::fromUtf8(socket->readLine(1024)).simplified().split(QLatin1Char(' '));
        int delivered = -1;
        if (words.size() == 2 && words[0] == QLatin1String("pending")) {
            delivered = m_hub.commandPending(words[1]);
        } else if (words.size() == 2 && words[0] == QLatin1String("test")) {
            delivered = m_hub.push(words[1], QJsonObject{{QStringLiteral("type"), QStringLiteral("test")},
                                                         {QStringLiteral("title"), QStringLiteral("Test Push Notification")}});
            qCInfo(lcFleetd) << "test push for" << words[1] << "reached" << delivered << "channel(s)";
        }
        socket->write(QByteArray::number(delivered) + '\n');
        socket->disconnectFromServer();
    });
}

int runPushTest(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    const QString serial = commandLine.operands.value(0);
    const std::optional<int> delivered = ask(commandLine.dbPath, QStringLiteral("test ") + serial);
    if (!delivered) {
        err << "vesk-fleetd: no running server for " << commandLine.dbPath << Qt::endl;
        return 1;
    }
    if (*delivered <= 0) {
        err << "vesk-fleetd: " << serial << " has no open push channel" << Qt::endl;
        return 1;
    }
    out << "Test push sent to " << *delivered << " channel(s) of " << serial << Qt::endl;
    return 0;
}

bool announcePendingCommand(const QString &dbPath, const QString &serial)
{
    return ask(dbPath, QStringLiteral("pending ") + serial).has_value();
}

} // namespace vesk::fleetd
