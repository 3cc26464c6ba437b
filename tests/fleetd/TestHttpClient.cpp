#include "TestHttpClient.h"

#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>

#include <memory>

TestHttpClient::TestHttpClient()
{
    m_manager.setProxy(QNetworkProxy::NoProxy);
}

HttpAnswer TestHttpClient::send(const QByteArray &method, const QUrl &url, const QByteArray &body,
                                const QByteArray &contentType,
                                const QList<std::pair<QByteArray, QByteArray>> &headers)
{
    QNetworkRequest request(url);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    if (!contentType.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    std::unique_ptr<QNetworkReply> reply(m_manager.sendCustomRequest(request, method, body));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(5000))
        return {};

    HttpAnswer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    answer.json = QJsonDocument::fromJson(answer.body).object();
    answer.contentType = reply->rawHeader("Content-Type");
    answer.allow = reply->rawHeader("Allow");
    for (const auto &pair : reply->rawHeaderPairs())
        answer.headers.append({pair.first, pair.second});
    return answer;
}
