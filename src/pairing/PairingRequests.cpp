#include "pairing/PairingRequests.h"

#include "wire/FleetKey.h"
#include "wire/PairingRequestBody.h"
#include "pairing/SecretStatusHeaders.h"
#include "platform/Clock.h"
#include "platform/HttpTransport.h"
#include "platform/LogCategories.h"
#include "platform/MachineIdentity.h"

#include <QJsonDocument>

namespace vesk {

namespace {

const QString kUnreachable = QStringLiteral("Couldn't reach the server. Check your connection.");

QString unexpectedStatus(int status)
{
    return QStringLiteral("Server returned an unexpected response (%1)").arg(status);
}

// A usable absolute URL, or an invalid one.
QUrl endpoint(const QString &baseUrl, const QString &path)
{
    const QUrl url(baseUrl + QLatin1Char('/') + path, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return {};
    return url;
}

} // namespace

PairingRequests::PairingRequests(Dependencies deps)
    : m_deps(std::move(deps))
{
}

QCoro::Task<ProbeResult> PairingRequests::fetchPairingDetails()
{
    const QUrl url = endpoint(m_deps.baseUrl, QStringLiteral("fetch_fleet_secret"));
    if (!url.isValid())
        co_return ProbeResult::error(QStringLiteral("Invalid server URL."));
    const PairingRequestBody body{m_deps.identity.serialOrUnknown(), m_deps.bundleId, m_deps.appVersion,
                                  m_deps.clock.now()};

    HttpRequest request;
    request.method = "POST";
    request.url = url;
    request.timeout = std::chrono::seconds(30);
    request.headers = {
        {"Content-Type", "application/json"},
        {"X-Device-Serial", body.serial.toUtf8()},
        {"X-App-Bundle-Id", body.bundleId.toUtf8()},
        {"X-Request-Timestamp", body.clientClock.toUTC().toString(Qt::ISODate).toUtf8()},
    };
    request.body = QJsonDocument(body.toJson()).toJson(QJsonDocument::Compact);

    const HttpResult result = co_await m_deps.http.send(std::move(request));
    if (!result.ok()) {
        qCWarning(lcFleetSecret).noquote() << "FleetSecretManager: probe network error: " + result.error;
        co_return ProbeResult::error(kUnreachable);
    }
    const HttpResponse &response = *result.response;
    switch (response.status) {
    case 200: {
        QString error;
        const QJsonDocument document = QJsonDocument::fromJson(response.body);
        const QJsonValue root = document.isObject() ? QJsonValue(document.object()) : QJsonValue();
        std::optional<PairingDetails> details = PairingDetails::fromJson(root, &error);
        if (!details)
            co_return ProbeResult::error(error);
        co_return ProbeResult::ok(std::move(*details));
    }
    case 404:
        qCInfo(lcFleetSecret) << "FleetSecretManager: serial unknown (404) — heartbeat may not have completed yet";
        co_return ProbeResult::serialUnknown();
    case 409:
        qCInfo(lcFleetSecret) << "FleetSecretManager: tenant has no active fleet secret (409)";
        co_return ProbeResult::tenantHasNoSecret();
    case 429:
        qCWarning(lcFleetSecret) << "FleetSecretManager: rate limited (429)";
        co_return ProbeResult::throttled();
    default:
        qCWarning(lcFleetSecret).noquote()
            << QStringLiteral("FleetSecretManager: probe status %1").arg(response.status);
        co_return ProbeResult::error(unexpectedStatus(response.status));
    }
}

QCoro::Task<SecretVerdict> PairingRequests::probeSecret(QString tenant, qint64 secretId, QString code)
{
    using Kind = SecretVerdict::Kind;
    const QUrl url = endpoint(m_deps.baseUrl, QStringLiteral("policies"));
    if (!url.isValid())
        co_return SecretVerdict{Kind::unreachable, QStringLiteral("Invalid server URL.")};

    HttpRequest request;
    request.method = "GET";
    request.url = url;
    request.timeout = std::chrono::seconds(60);
    request.headers = {
        {"X-Fleet-Key", fleetKeyHeaderValue(tenant, secretId, code)},
        {"X-Device-Serial", m_deps.identity.serialOrUnknown().toUtf8()},
    };
    const HttpResult result = co_await m_deps.http.send(std::move(request));
    if (!result.ok())
        co_return SecretVerdict{Kind::unreachable, kUnreachable};
    const HttpResponse &response = *result.response;
    if (response.status <= 0)
        co_return SecretVerdict{Kind::unreachable, QStringLiteral("Server response was not readable.")};

    const SecretStatusHeaders headers = SecretStatusHeaders::from(response);
    if (headers.rotated || headers.stale)
        co_return SecretVerdict{
            Kind::rotated,
            QStringLiteral("Your admin rotated the secret. Paste the new id and code from the reveal screen.")};
    if (headers.revoked)
        co_return SecretVerdict{Kind::revoked,
                                QStringLiteral("That secret has been revoked. Ask your admin to generate a new one.")};
    if (headers.mismatch)
        co_return SecretVerdict{
            Kind::mismatch,
            QStringLiteral("The code doesn't match that secret id. Check both against the reveal screen.")};
    if (response.status >= 200 && response.status <= 299)
        co_return SecretVerdict{Kind::accepted, {}};
    if (response.status == 401 || response.status == 403)
        co_return SecretVerdict{Kind::rejected,
                                QStringLiteral("The server rejected that pairing (%1). Check the account name, "
                                               "secret id, and code against the reveal screen.")
                                    .arg(response.status)};
    co_return SecretVerdict{Kind::rejected, unexpectedStatus(response.status)};
}

} // namespace vesk
