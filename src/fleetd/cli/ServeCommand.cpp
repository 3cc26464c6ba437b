#include "fleetd/cli/ServeCommand.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/LogRedaction.h"
#include "fleetd/cli/PushCommand.h"
#include "fleetd/http/PushHub.h"
#include "fleetd/http/FleetHttpServer.h"
#include "fleetd/http/FleetRoutes.h"
#include "fleetd/http/RouteRateLimits.h"
#include "fleetd/storage/FleetStore.h"
#include "fleetd/storage/HistoryPruner.h"
#include "platform/linux/SignalWatcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QUrl>
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

// The server's certificate chain and key from PEM files; on failure says which file is wrong.
std::optional<QSslConfiguration> tlsConfiguration(const ServeOptions &options, QString *error)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(options.tlsCert, QSsl::Pem);
    if (chain.isEmpty()) {
        *error = QStringLiteral("no PEM certificate in ") + options.tlsCert;
        return std::nullopt;
    }
    QFile keyFile(options.tlsKey);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + options.tlsKey + QStringLiteral(": ") + keyFile.errorString();
        return std::nullopt;
    }
    const QByteArray pem = keyFile.readAll();
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        key = QSslKey(pem, algorithm, QSsl::Pem);
        if (!key.isNull())
            break;
    }
    if (key.isNull()) {
        *error = QStringLiteral("no unencrypted PEM private key in ") + options.tlsKey;
        return std::nullopt;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    return configuration;
}

} // namespace

int runServeCommand(const ListenAddress &listen, const QString &dbPath, const ServeOptions &options, QTextStream &out,
                    QTextStream &err)
{
    raiseDescriptorLimit();
    // Qt's own debug output prints request headers; fleet keys never reach the log whole.
    installLogRedaction();
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

    const FleetContext context{store, [] { return QDateTime::currentDateTimeUtc(); }, options.redeliverAfter,
                               dbPath};
    // Declared after the store so it is destroyed first: no request runs on a closed store.
    PushHub push([] { return QDateTime::currentDateTimeUtc(); });
    FleetHttpServer server(RouteRateLimits::apply(fleetRoutes(context, &push), context), options.limits);
    server.acceptWebSockets([&push](std::unique_ptr<QWebSocket> socket) { push.adopt(std::move(socket)); });
    PushAdminListener pushAdmin(push);
    if (!pushAdmin.listen(dbPath))
        qCWarning(lcFleetd) << "no local push socket at" << PushAdminListener::socketPath(dbPath)
                            << "; push test and instant pushes for queued commands are off";
    const bool tls = !options.tlsCert.isEmpty();
    if (tls) {
        QString error;
        const std::optional<QSslConfiguration> configuration = tlsConfiguration(options, &error);
        if (!configuration) {
            err << "vesk-fleetd: " << error << Qt::endl;
            return 1;
        }
        server.useTls(*configuration);
    }
    const quint16 port = server.listen(listen.address, listen.port);
    if (port == 0) {
        err << "vesk-fleetd: cannot listen on " << listen.host << ':' << listen.port << Qt::endl;
        return 1;
    }

    HistoryPruner pruner(store.retention(), context.now, {.retentionDays = options.retentionDays});
    pruner.start();

    QUrl baseUrl(listen.baseUrl(port));
    if (tls)
        baseUrl.setScheme(QStringLiteral("https"));
    out << baseUrl.toString() << Qt::endl;
    const int code = QCoreApplication::exec();
    qCInfo(lcFleetd) << "stopped";
    return code;
}

} // namespace vesk::fleetd
