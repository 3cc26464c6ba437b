#include "FleetServer.h"

#include <QUrl>

FleetServer::~FleetServer()
{
    if (port == 0)
        return; // it never answered: QProcess's own teardown kills it
    process.terminate();
    process.waitForFinished(10000);
}

bool FleetServer::start(int machines, QTextStream &out)
{
    fleet = FleetFixture::create(db, machines);
    if (!fleet.error.isEmpty()) {
        out << "setup failed: " << fleet.error << Qt::endl;
        return false;
    }
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_LOGGING_RULES", "fleetd.info=false");
    process.setProcessEnvironment(env);
    process.start(VESK_FLEETD_BINARY, {"serve", "--listen", "127.0.0.1:0", "--db", db});
    if (!process.waitForReadyRead(10000)) {
        out << "vesk-fleetd did not start" << Qt::endl;
        return false;
    }
    port = static_cast<quint16>(QUrl(QString::fromUtf8(process.readLine().trimmed())).port());
    return true;
}
