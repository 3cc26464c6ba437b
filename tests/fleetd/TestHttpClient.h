#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QUrl>

// What a request got back; status 0 means no answer arrived within the bound.
struct HttpAnswer {
    int status = 0;
    QByteArray body;
    QJsonObject json;
    QByteArray contentType;
    QByteArray allow;
    QList<std::pair<QByteArray, QByteArray>> headers;

    QByteArray header(const QByteArray &name) const
    {
        for (const auto &[key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};

// Blocking-looking requests for tests: sends, then turns the event loop until the
// reply finishes or a short bound passes.
class TestHttpClient {
public:
    TestHttpClient();

    HttpAnswer send(const QByteArray &method, const QUrl &url, const QByteArray &body = {},
                    const QByteArray &contentType = "application/json",
                    const QList<std::pair<QByteArray, QByteArray>> &headers = {});

private:
    QNetworkAccessManager m_manager;
};
