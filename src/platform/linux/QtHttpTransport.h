#pragma once

#include "platform/HttpTransport.h"

#include <QObject>

class QNetworkAccessManager;

namespace vesk {

// HTTP over QNetworkAccessManager: each request's inactivity time-out, total deadline and
// response caps, no redirects followed, and the agent's own User-Agent on every request.
class QtHttpTransport final : public QObject, public HttpTransport {
    Q_OBJECT
public:
    // appVersion goes into the User-Agent header.
    explicit QtHttpTransport(const QString &appVersion, QObject *parent = nullptr);
    QCoro::Task<HttpResult> send(HttpRequest request) override;

    // "VeskWarden/<version> (Linux; <cpu architecture>)".
    static QByteArray userAgent(const QString &appVersion);

    // Ends every request still in flight as cancelled and lets the tasks awaiting them run to
    // their end, instead of staying suspended (and leaked) past the event loop. For shutdown,
    // once the loops are stopped.
    void cancelPending();

private:
    QNetworkAccessManager *m_manager;
    QByteArray m_userAgent;
};

} // namespace vesk
