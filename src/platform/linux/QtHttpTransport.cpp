#include "platform/linux/QtHttpTransport.h"

#include <QBuffer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <qcoro/qcoronetworkreply.h>

#include <algorithm>
#include <climits>

namespace vesk {

QtHttpTransport::QtHttpTransport(QObject *parent) : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

QCoro::Task<HttpResult> QtHttpTransport::send(HttpRequest request)
{
    QNetworkRequest qreq(request.url);
    for (const auto &[name, value] : request.headers)
        qreq.setRawHeader(name, value);
    // Qt takes an int of milliseconds; a longer time-out must not wrap into a negative one.
    qreq.setTransferTimeout(static_cast<int>(std::clamp<qint64>(request.timeout.count(), 0, INT_MAX)));
    qreq.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    auto *body = new QBuffer();
    body->setData(request.body);
    body->open(QIODevice::ReadOnly);
    QPointer<QNetworkReply> reply = m_manager->sendCustomRequest(qreq, request.method, body);
    body->setParent(reply);

    co_await qCoro(reply.get()).waitForFinished();
    if (!reply)
        co_return HttpResult::failure(QStringLiteral("The request was cancelled."));
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        // Qt reports its transfer time-out as an abort; say what happened.
        if (reply->error() == QNetworkReply::OperationCanceledError
            || reply->error() == QNetworkReply::TimeoutError)
            co_return HttpResult::failure(QStringLiteral("The request timed out."));
        co_return HttpResult::failure(reply->errorString());
    }
    HttpResponse response;
    response.status = status.toInt();
    response.headers = reply->rawHeaderPairs();
    response.body = reply->readAll();
    co_return HttpResult{std::move(response), {}};
}

} // namespace vesk
