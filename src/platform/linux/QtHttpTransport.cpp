#include "platform/linux/QtHttpTransport.h"

#include "platform/LogCategories.h"
#include "platform/linux/ReplyLimits.h"
#include "platform/linux/ResponseFileWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QSysInfo>

#include <qcoro/qcoronetworkreply.h>

#include <algorithm>
#include <climits>

namespace vesk {

QtHttpTransport::QtHttpTransport(const QString &appVersion, Security security, QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
    , m_userAgent(userAgent(appVersion))
    , m_security(std::move(security))
{
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    if (!m_security.caFile.isEmpty()) {
        m_caCertificates = QSslCertificate::fromPath(m_security.caFile, QSsl::Pem);
        if (m_caCertificates.isEmpty()) {
            m_caError = QStringLiteral("No PEM certificate could be read from the CA file %1.").arg(m_security.caFile);
            qCWarning(lcPlatform).noquote() << m_caError;
        }
    }
}

QString QtHttpTransport::plainHttpRefusal(const HttpRequest &request)
{
    if (request.url.scheme() != QLatin1String("http"))
        return {};
    const bool carriesKey = std::any_of(request.headers.begin(), request.headers.end(), [](const auto &header) {
        return header.first.compare("X-Fleet-Key", Qt::CaseInsensitive) == 0;
    });
    if (!carriesKey)
        return {};
    const QString host = request.url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback())
        return {};
    return QStringLiteral("Refusing to send the fleet key over plain HTTP to %1: use an https:// fleet URL "
                          "(or allow plain HTTP explicitly with --allow-plain-http / VESK_ALLOW_PLAIN_HTTP=1).")
        .arg(host);
}

QByteArray QtHttpTransport::userAgent(const QString &appVersion)
{
    return QStringLiteral("VeskWarden/%1 (Linux; %2)").arg(appVersion, QSysInfo::currentCpuArchitecture()).toUtf8();
}

namespace {

constexpr char kCancelled[] = "veskCancelled";
// How long an idle connection is kept for the next request: above the agent's longest loop
// (the 900 s heartbeat), so the low-data polls reuse one connection instead of paying a new
// TCP and TLS handshake each time. Qt's default (120 s) raced the 120 s poll.
constexpr int kIdleConnectionSeconds = 930;

int clampedMilliseconds(std::chrono::milliseconds duration)
{
    // Qt takes an int of milliseconds; a longer time must not wrap into a negative one.
    return static_cast<int>(std::clamp<qint64>(duration.count(), 0, INT_MAX));
}

// The request body as a device Qt reads while sending: the named file, or the bytes in memory.
QIODevice *openBody(const HttpRequest &request, QString *error)
{
    if (!request.bodyFile.isEmpty()) {
        auto *file = new QFile(request.bodyFile);
        if (!file->open(QIODevice::ReadOnly)) {
            *error = file->errorString();
            delete file;
            return nullptr;
        }
        return file;
    }
    auto *buffer = new QBuffer();
    buffer->setData(request.body);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

} // namespace

QCoro::Task<HttpResult> QtHttpTransport::send(HttpRequest request)
{
    if (!m_security.allowPlainHttp) {
        const QString refusal = plainHttpRefusal(request);
        if (!refusal.isEmpty()) {
            if (!m_warnedHosts.contains(request.url.host())) {
                m_warnedHosts.insert(request.url.host());
                qCWarning(lcPlatform).noquote() << refusal;
            }
            co_return HttpResult::failure(refusal);
        }
    }
    const bool https = request.url.scheme() == QLatin1String("https");
    if (https && !m_caError.isEmpty())
        co_return HttpResult::failure(m_caError);

    QNetworkRequest qreq(request.url);
    if (https && !m_caCertificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(m_caCertificates);
        qreq.setSslConfiguration(tls);
    }
    qreq.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    for (const auto &[name, value] : request.headers)
        qreq.setRawHeader(name, value);
    qreq.setTransferTimeout(clampedMilliseconds(request.timeout));
    qreq.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    qreq.setAttribute(QNetworkRequest::ConnectionCacheExpiryTimeoutSecondsAttribute, kIdleConnectionSeconds);

    QString bodyError;
    QIODevice *body = openBody(request, &bodyError);
    if (!body)
        co_return HttpResult::failure(QStringLiteral("Couldn't read the request body: ") + bodyError);
    // Qt knows a HEAD answer has no body only when asked through head(); sent as a custom verb,
    // an answer declaring the resource's length would wait for bytes that never come.
    const bool isHead = request.method.compare("HEAD", Qt::CaseInsensitive) == 0;
    // A GET without a body goes without one: given a device, Qt would add "Content-Length: 0".
    const bool isBareGet = request.method.compare("GET", Qt::CaseInsensitive) == 0 && request.bodyFile.isEmpty() &&
                           request.body.isEmpty();
    QPointer<QNetworkReply> reply = isHead      ? m_manager->head(qreq)
                                    : isBareGet ? m_manager->get(qreq)
                                                : m_manager->sendCustomRequest(qreq, request.method, body);
    body->setParent(reply);

    const auto total = request.totalTimeout.count() > 0 ? request.totalTimeout : HttpRequest::kDefaultTotalTimeout;
    QPointer<ReplyLimits> limits = new ReplyLimits(
        reply, {total, request.maxBodyBytes, request.maxFileBytes, !request.responseFile.isEmpty(), !isHead});
    QPointer<ResponseFileWriter> writer;
    if (!request.responseFile.isEmpty())
        writer = new ResponseFileWriter(reply, request.responseFile, request.maxFileBytes);

    co_await qCoro(reply.get()).waitForFinished();
    if (!reply)
        co_return HttpResult::failure(QStringLiteral("The request was cancelled."));
    reply->deleteLater();
    if (reply->property(kCancelled).toBool())
        co_return HttpResult::failure(QStringLiteral("The request was cancelled."));

    // A crossed bound or a failed save aborted the reply: that, not the abort, is the story.
    if (!limits->failure().isEmpty())
        co_return HttpResult::failure(limits->failure());
    if (writer && !writer->failure().isEmpty())
        co_return HttpResult::failure(writer->failure());
    // Qt reports its transfer time-out as an abort, also after the headers have arrived: a
    // body cut short is never handed on as a response.
    if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError)
        co_return HttpResult::failure(QStringLiteral("The request timed out."));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        co_return HttpResult::failure(reply->errorString());
    HttpResponse response;
    response.status = status.toInt();
    response.headers = reply->rawHeaderPairs();
    const bool savedToFile = writer && writer->finish();
    if (writer && !writer->failure().isEmpty())
        co_return HttpResult::failure(writer->failure());
    if (!savedToFile)
        response.body = reply->readAll();
    co_return HttpResult{std::move(response), {}};
}

void QtHttpTransport::cancelPending()
{
    // A reply destroyed unfinished never emits finished, so its awaiting task would leak.
    const auto replies = m_manager->findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly);
    for (QNetworkReply *reply : replies) {
        if (reply->isFinished())
            continue;
        reply->setProperty(kCancelled, true);
        reply->abort();
    }
    // The awaiting tasks resume from the event queue, which no loop may be running any more.
    if (!replies.isEmpty())
        QCoreApplication::processEvents();
}

} // namespace vesk
