#include "fleet/FleetExchange.h"

#include "settings/FleetSettingsStore.h"
#include "fleet/FailureText.h"
#include "wire/FleetKey.h"
#include "pairing/FleetSecretManager.h"
#include "pairing/SecretStatusHeaders.h"
#include "platform/LogCategories.h"
#include "platform/MachineIdentity.h"

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

HttpHeaders FleetExchange::credentialHeaders(const Signer &signer) const
{
    if (signer.tenant.isEmpty() || !signer.secret)
        return {};
    return HttpHeaders{
        {"X-Fleet-Key", fleetKeyHeaderValue(signer.tenant, signer.secret->id, signer.secret->code)},
        {"X-Device-Serial", m_deps.identity.serialOrUnknown().toUtf8()},
    };
}

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
    Signer sentAs = co_await signer();
    http.headers.append(credentialHeaders(sentAs));

    const HttpResult result = co_await m_deps.http.send(std::move(http));
    if (!result.ok())
        co_return APIResult<HttpResponse>(APIError::networkError(result.error));
    const HttpResponse &response = *result.response;
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
