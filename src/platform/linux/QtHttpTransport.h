#pragma once

#include "platform/HttpTransport.h"

#include <QObject>

class QNetworkAccessManager;

namespace vesk {

// HTTP over QNetworkAccessManager: per-request time-out, no redirects followed.
class QtHttpTransport final : public QObject, public HttpTransport {
    Q_OBJECT
public:
    explicit QtHttpTransport(QObject *parent = nullptr);
    QCoro::Task<HttpResult> send(HttpRequest request) override;

    // Ends every request still in flight as cancelled and lets the tasks awaiting them run to
    // their end, instead of staying suspended (and leaked) past the event loop. For shutdown,
    // once the loops are stopped.
    void cancelPending();

private:
    QNetworkAccessManager *m_manager;
};

} // namespace vesk
