#include "FleetAPIFixture.h"

#include "fleetd/http/FleetRoutes.h"

#include <QCryptographicHash>
#include <QJsonDocument>

using namespace vesk::fleetd;

void FleetAPIFixture::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_dbPath = m_dir.filePath("fleet.sqlite");
    ASSERT_EQ(m_store.open(m_dbPath, FleetStore::OpenMode::CreateIfMissing), StoreStatus::ok());
    for (auto [slot, code, event, machine] :
         {std::tuple{&m_a, "ABCD1234", "EVT-A", "A1"}, std::tuple{&m_b, "WXYZ9876", "EVT-B", "B1"}}) {
        const StoreResult<TenantRecord> tenant = m_store.tenants().add(code, m_now);
        ASSERT_EQ(tenant.status, StoreStatus::ok());
        ASSERT_EQ(m_store.tenants().bindEventCode(tenant.value.id, event, m_now), StoreStatus::ok());
        const StoreResult<SecretStore::Issued> secret = m_store.secrets().issue(tenant.value.id, m_now);
        ASSERT_EQ(secret.status, StoreStatus::ok());
        *slot = {code, tenant.value.id, secret.value.id, secret.value.code,
                 keyFor(code, secret.value.id, secret.value.code), machine};
    }
    beat("A1", "EVT-A");
    beat("A2", "evt-a");
    beat("B1", "EVT-B");

    m_server = std::make_unique<FleetHttpServer>(fleetRoutes(FleetContext{m_store, [this] { return m_now; }}));
    const quint16 port = m_server->listen(QHostAddress::LocalHost, 0);
    ASSERT_NE(port, 0);
    m_api = QStringLiteral("http://127.0.0.1:%1/api/").arg(port);
}

QByteArray FleetAPIFixture::keyFor(const QString &tenantCode, qint64 secretId, const QString &code)
{
    return QCryptographicHash::hash(tenantCode.toUtf8(), QCryptographicHash::Sha256).toHex() + '.' +
           QByteArray::number(secretId) + '.' + code.toLatin1();
}

void FleetAPIFixture::beat(const QString &serial, const QString &eventCode, const QString &app)
{
    ASSERT_EQ(m_store.recordHeartbeat({eventCode, serial, app, "1.0", {}}, m_now), StoreStatus::ok());
}

HttpAnswer FleetAPIFixture::call(const Tenant &tenant, const QByteArray &method, const QString &path,
                                 const QByteArray &body, const QByteArray &contentType, const QString &serial)
{
    const QString caller = serial.isEmpty() ? tenant.machine : serial;
    return raw(method, path, body, {{"X-Fleet-Key", tenant.key}, {"X-Device-Serial", caller.toUtf8()}},
               contentType);
}

HttpAnswer FleetAPIFixture::raw(const QByteArray &method, const QString &path, const QByteArray &body,
                                const QList<std::pair<QByteArray, QByteArray>> &headers,
                                const QByteArray &contentType)
{
    return m_client.send(method, QUrl(m_api + path), body, contentType, headers);
}

vesk::TelemetryReport FleetAPIFixture::telemetry(const QString &serial)
{
    vesk::TelemetryReport report;
    report.serial = serial;
    report.timestamp = QDateTime(QDate(2025, 3, 1), QTime(9, 29, 0), Qt::UTC);
    report.thermalState = "nominal";
    report.osVersion = "14.4";
    report.model = "Mac14,2";
    report.primaryInterface = "en0";
    return report;
}

QByteArray FleetAPIFixture::body(const vesk::TelemetryReport &report)
{
    return QJsonDocument(report.toJson()).toJson(QJsonDocument::Compact);
}
