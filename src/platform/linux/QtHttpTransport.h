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

private:
    QNetworkAccessManager *m_manager;
};

} // namespace vesk
