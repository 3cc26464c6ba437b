#pragma once

#include "platform/HttpTransport.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QSslCertificate>

class QNetworkAccessManager;

namespace vesk {

// Whom QtHttpTransport trusts, and whether the fleet key may travel in clear.
struct TransportSecurity {
    QString caFile;              // PEM certificates trusted besides the system's; empty: none
    bool allowPlainHttp = false; // let the fleet key go over plain HTTP to any host
};

// HTTP over QNetworkAccessManager: each request's inactivity time-out, total deadline and
// response caps, no redirects followed, and the agent's own User-Agent on every request.
// HTTPS is verified against the system's trust store plus an optional CA file. A request that
// carries the fleet key (X-Fleet-Key) over plain HTTP to anything but loopback is refused
// unless plain HTTP was explicitly allowed: the key would cross the network in clear.
class QtHttpTransport final : public QObject, public HttpTransport {
    Q_OBJECT
public:
    using Security = TransportSecurity;

    // appVersion goes into the User-Agent header.
    explicit QtHttpTransport(const QString &appVersion, Security security = {}, QObject *parent = nullptr);
    QCoro::Task<HttpResult> send(HttpRequest request) override;

    // "VeskWarden/<version> (Linux; <cpu architecture>)".
    static QByteArray userAgent(const QString &appVersion);

    // Ends every request still in flight as cancelled and lets the tasks awaiting them run to
    // their end, instead of staying suspended (and leaked) past the event loop. For shutdown,
    // once the loops are stopped.
    void cancelPending();

    // The certificates of the CA file, trusted besides the system's; empty without one.
    const QList<QSslCertificate> &caCertificates() const { return m_caCertificates; }

    // Why `request` must not be sent as it is; empty when it may.
    static QString plainHttpRefusal(const HttpRequest &request);

private:
    QNetworkAccessManager *m_manager;
    QByteArray m_userAgent;
    Security m_security;
    QList<QSslCertificate> m_caCertificates;
    QString m_caError;
    QSet<QString> m_warnedHosts;
};

} // namespace vesk
