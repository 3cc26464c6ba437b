#include "fleet/FleetExchange.h"

#include "settings/FleetSettingsStore.h"
#include "fleet/FailureText.h"
#include "wire/FleetKey.h"
#include "pairing/FleetSecretManager.h"
#include "pairing/SecretStatusHeaders.h"
#include "platform/LogCategories.h"
#include "platform/MachineIdentity.h"
#include "wire/GzipBody.h"

#include <QUrlQuery>

namespace vesk {

namespace {
constexpr int kExpectedStatus = 200;
constexpr int kNotModified = 304;
} // namespace

FleetExchange::FleetExchange(Dependencies deps)
    : m_deps(std::move(deps))
{
}

QString FleetExchange::tenant() const
{
    return m_deps.settings.tenantCode();
}

QUrl FleetExchange::url(const QString &path, const QList<QPair<QString, QString>> &query) const
{
    QUrl url(m_deps.baseUrl + QLatin1Char('/') + path, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return {};
    if (!query.isEmpty()) {
        QUrlQuery items;
        items.setQueryItems(query);
        url.setQuery(items);
    }
    return url;
}

QCoro::Task<FleetExchange::Signer> FleetExchange::signer()
{
    Signer signer{tenant(), std::nullopt};
    if (signer.tenant.isEmpty())
        co_return signer;
    // Read at every request: a wipe or a new pairing takes effect on the next one.
    signer.secret = co_await m_deps.secrets.storedSecret(signer.tenant);
    co_return signer;
}

HttpHeaders FleetExchange::credentialHeaders(const Signer &signer, const QString &namedSerial) const
{
    if (signer.tenant.isEmpty() || !signer.secret)
        return {};
    HttpHeaders headers{{"X-Fleet-Key", fleetKeyHeaderValue(signer.tenant, signer.secret->id, signer.secret->code)}};
    // The server reads the serial from the body or query when they name this machine.
    const QString serial = m_deps.identity.serialOrUnknown();
    if (namedSerial != serial)
        headers.append({"X-Device-Serial", serial.toUtf8()});
    return headers;
}

namespace {

// JSON bodies worth compressing go gzip-compressed; anything else goes as it is.
void compressBody(HttpRequest &http, const FleetRequest &request)
{
    if (request.contentType != "application/json" || request.body.size() < GzipBody::kMinimumBytes)
        return;
    QByteArray gzip = GzipBody::compress(request.body);
    if (gzip.isEmpty() || gzip.size() >= request.body.size())
        return;
    http.body = std::move(gzip);
    http.headers.append({QByteArrayLiteral("Content-Encoding"), QByteArrayLiteral("gzip")});
}

// A gzip answer inflated within the request's answer cap; an error message when it cannot be.
QString inflateAnswer(HttpResponse &response, qint64 maxBytes)
{
    const std::optional<QByteArray> encoding = response.header("Content-Encoding");
    if (!encoding || encoding->trimmed().compare("gzip", Qt::CaseInsensitive) != 0)
        return {};
    GzipBody::Inflated inflated = GzipBody::inflate(response.body, maxBytes);
    if (inflated.tooLarge)
        return QStringLiteral("The server's answer inflates past %1 bytes.").arg(maxBytes);
    if (!inflated.data)
        return QStringLiteral("The server's compressed answer is damaged.");
    response.body = std::move(*inflated.data);
    return {};
}

} // namespace

QCoro::Task<APIResult<HttpResponse>> FleetExchange::perform(FleetRequest request)
{
    const QUrl target = url(request.path, request.query);
    if (!target.isValid())
        co_return APIResult<HttpResponse>(APIError::invalidURL());

    HttpRequest http;
    http.method = request.method;
    http.url = target;
    http.body = request.body;
    http.timeout = std::chrono::seconds(60);
    http.maxBodyBytes = request.maxResponseBytes;
    if (request.transfer) {
        http.totalTimeout = std::chrono::seconds(3600);
        http.bodyFile = request.bodyFile;
        http.responseFile = request.responseFile;
    }
    if (!request.contentType.isEmpty())
        http.headers.append({"Content-Type", request.contentType});
    if (!request.ifNoneMatch.isEmpty())
        http.headers.append({"If-None-Match", request.ifNoneMatch});
    compressBody(http, request);
    // Answers held in memory may come compressed: named here, the transport leaves them to us.
    if (!request.transfer)
        http.headers.append({QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("gzip")});
    Signer sentAs = co_await signer();
    http.headers.append(credentialHeaders(sentAs, request.namedSerial));

    HttpResult result = co_await m_deps.http.send(std::move(http));
    if (!result.ok())
        co_return APIResult<HttpResponse>(APIError::networkError(result.error));
    HttpResponse &response = *result.response;
    if (!request.transfer) {
        const QString damaged = inflateAnswer(response, request.maxResponseBytes);
        if (!damaged.isEmpty())
            co_return APIResult<HttpResponse>(APIError::networkError(damaged));
    }
    if (response.status == kExpectedStatus || (response.status == kNotModified && !request.ifNoneMatch.isEmpty()))
        co_return APIResult<HttpResponse>(response);
    if (response.status == 401 || response.status == 403) {
        const std::optional<APIError> secretError = co_await handleSecretStatus(response, std::move(sentAs));
        if (secretError)
            co_return APIResult<HttpResponse>(*secretError);
    }
    co_return APIResult<HttpResponse>(APIError::serverError(failedResponseMessage(response.status, response.body)));
}

QCoro::Task<std::optional<APIError>> FleetExchange::handleSecretStatus(HttpResponse response, Signer signer)
{
    if (signer.tenant.isEmpty())
        co_return std::nullopt;
    const SecretStatusHeaders status = SecretStatusHeaders::from(response);
    if (!status.any())
        co_return std::nullopt;

    if (status.revoked) {
        co_await m_deps.secrets.markRevoked(signer.tenant, signer.secret);
        co_return APIError::serverError(QStringLiteral(
            "This device has been revoked by your administrator. Contact your admin to restore service."));
    }
    if (!status.rotated && !status.stale)
        qCWarning(lcFleetSecret) << "FleetSecretManager: server reported secret mismatch — wiping local cache, "
                                    "operator must re-pair";
    co_await m_deps.secrets.markNeedsReentry(signer.tenant, signer.secret);
    co_return APIError::serverError(QStringLiteral(
        "Your fleet secret changed. Open Settings and paste the new secret from your admin to reconnect."));
}

} // namespace vesk
