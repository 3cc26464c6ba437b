#include "fleetd/cli/ServeCommand.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/cli/PushCommand.h"
#include "fleetd/http/PushHub.h"
#include "fleetd/http/FleetHttpServer.h"
#include "fleetd/http/FleetRoutes.h"
#include "fleetd/storage/FleetStore.h"
#include "platform/linux/SignalWatcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QWebSocket>

#include <csignal>
#include <sys/resource.h>

namespace vesk::fleetd {

namespace {

// Every agent keeps a connection open; the default soft limit of 1024 descriptors
// would refuse the fleet long before the CPU is busy.
void raiseDescriptorLimit()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            qCWarning(lcFleetd) << "cannot raise the open-file limit";
    }
}

} // namespace

int runServeCommand(const ListenAddress &listen, const QString &dbPath, QTextStream &out, QTextStream &err)
{
    raiseDescriptorLimit();
    // Handlers go in first, so a signal that arrives while starting still stops us cleanly.
    SignalWatcher watcher({SIGTERM, SIGINT});
    if (!watcher.isActive()) {
        err << "vesk-fleetd: cannot install the SIGTERM/SIGINT handlers" << Qt::endl;
        return 1;
    }
    QObject::connect(&watcher, &SignalWatcher::received, QCoreApplication::instance(), [](int signalNumber) {
        qCInfo(lcFleetd) << "signal" << signalNumber << "received; stopping";
        QCoreApplication::quit();
    });

    FleetStore store;
    const StoreStatus opened = store.open(dbPath, FleetStore::OpenMode::CreateIfMissing);
    if (!opened.isOk()) {
        err << "vesk-fleetd: " << opened.message() << Qt::endl;
        return 1;
    }

    const FleetContext context{store, [] { return QDateTime::currentDateTimeUtc(); }};
    // Declared after the store so it is destroyed first: no request runs on a closed store.
    PushHub push([] { return QDateTime::currentDateTimeUtc(); });
    FleetHttpServer server(fleetRoutes(context, &push));
    server.acceptWebSockets([&push](std::unique_ptr<QWebSocket> socket) { push.adopt(std::move(socket)); });
    PushAdminListener pushAdmin(push);
    if (!pushAdmin.listen(dbPath))
        qCWarning(lcFleetd) << "no local push socket at" << PushAdminListener::socketPath(dbPath)
                            << "; push test and instant pushes for queued commands are off";
    const quint16 port = server.listen(listen.address, listen.port);
    if (port == 0) {
        err << "vesk-fleetd: cannot listen on " << listen.host << ':' << listen.port << Qt::endl;
        return 1;
    }

    out << listen.baseUrl(port) << Qt::endl;
    const int code = QCoreApplication::exec();
    qCInfo(lcFleetd) << "stopped";
    return code;
}

} // namespace vesk::fleetd
