#include "FleetFixture.h"

#include "fleetd/storage/FleetStore.h"

#include <QCryptographicHash>

using namespace vesk::fleetd;

FleetFixture FleetFixture::create(const QString &dbPath, int machines)
{
    FleetFixture fixture;
    FleetStore store;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    StoreStatus status = store.open(dbPath, FleetStore::OpenMode::CreateIfMissing);
    const StoreResult<TenantRecord> tenant = store.tenants().add(QStringLiteral("LOAD0001"), now);
    if (status.isOk())
        status = tenant.status;
    if (status.isOk())
        status = store.tenants().bindEventCode(tenant.value.id, QStringLiteral("EVT-LOAD"), now);
    const StoreResult<SecretStore::Issued> secret = store.secrets().issue(tenant.value.id, now);
    if (status.isOk())
        status = secret.status;
    for (int i = 0; i < machines && status.isOk(); ++i) {
        const QString serial = QStringLiteral("LOAD%1").arg(i, 6, 10, QLatin1Char('0'));
        status = store.recordHeartbeat({QStringLiteral("EVT-LOAD"), serial, QStringLiteral("warden"),
                                        QStringLiteral("1.0"), {}},
                                       now);
        fixture.serials.append(serial);
    }
    if (!status.isOk()) {
        fixture.error = status.message();
        return fixture;
    }
    fixture.fleetKey = QCryptographicHash::hash("LOAD0001", QCryptographicHash::Sha256).toHex() + '.' +
                       QByteArray::number(secret.value.id) + '.' + secret.value.code.toLatin1();
    return fixture;
}
