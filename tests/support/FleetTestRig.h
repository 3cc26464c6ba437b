#pragma once

#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "MemoryKeychainStore.h"
#include "ScriptedHttpTransport.h"

#include "settings/FleetSettingsStore.h"
#include "fleet/FleetAPIClient.h"
#include "pairing/FleetSecretManager.h"
#include "platform/MachineIdentity.h"

#include <QTemporaryDir>

#include <chrono>
#include <deque>

namespace vesk::test {

class FixedIdentity final : public MachineIdentity {
public:
    explicit FixedIdentity(QString serial) : m_serial(std::move(serial)) {}
    QString hardwareSerial() const override { return m_serial; }
    QString hostName() const override { return QStringLiteral("capture-01"); }

private:
    QString m_serial;
};

// The fleet client and the secret manager over fakes: scripted HTTP, keychain and
// defaults in memory, a manual clock, and a monotonic source that answers a script.
struct FleetTestRig {
    static inline const QString service = QStringLiteral("com.lumora.warden");
    static inline const QString baseUrl = QStringLiteral("https://fleet.example.com/api");

    ManualClock clock;
    MemoryDefaultsStore defaults;
    FleetSettingsStore settings{defaults, clock};
    MemoryKeychainStore keychain;
    ScriptedHttpTransport http;
    FixedIdentity identity{QStringLiteral("C02XK1ABCD")};
    QTemporaryDir tempRoot;
    std::deque<std::chrono::nanoseconds> monotonicReadings;
    FleetSecretManager secrets{FleetSecretManager::Dependencies{keychain, http, settings, identity, clock, baseUrl,
                                                                AgentBundle{}, QStringLiteral("2.4.0")}};
    FleetAPIClient api{FleetAPIClient::Dependencies{
        http, settings, secrets, identity, PlatformPaths::underRoot(tempRoot.path()), baseUrl, QString(), QString(),
        [this] {
            const auto reading = monotonicReadings.empty() ? std::chrono::nanoseconds(0) : monotonicReadings.front();
            if (!monotonicReadings.empty())
                monotonicReadings.pop_front();
            return reading;
        }}};

    void setTenant(const QString &tenant) { settings.setTenantCode(tenant); }
    // Puts a paired secret for `tenant` into the keychain, as pairing would have.
    void storeSecret(const QString &tenant, const QString &code, qint64 id, const QString &preview = {})
    {
        keychain.put(service, "fleet-secret::" + tenant.toLower(), code.toUtf8());
        keychain.put(service, "fleet-secret-id::" + tenant.toLower(), QByteArray::number(id));
        if (!preview.isEmpty())
            keychain.put(service, "fleet-secret-preview::" + tenant.toLower(), preview.toUtf8());
    }
    bool hasSecret(const QString &tenant) const
    {
        return keychain.stored(service, "fleet-secret::" + tenant.toLower()).has_value();
    }
};

} // namespace vesk::test
