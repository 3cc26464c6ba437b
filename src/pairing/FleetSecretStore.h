#pragma once

#include "pairing/StoredFleetSecret.h"

#include <QDateTime>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class KeychainStore;

// The fleet secrets in the keychain, one set of four items per tenant under one
// service, accounts "<base>::<tenant in lower case>". Also moves the single slot of
// older versions over to its tenant on first read. A keychain read error counts as
// nothing stored.
class FleetSecretStore {
public:
    FleetSecretStore(KeychainStore &keychain, QString service);

    const QString &service() const { return m_service; }

    // The tenant's id and code, or none (always none for an empty tenant).
    QCoro::Task<std::optional<StoredFleetSecret>> storedSecret(QString tenant);
    // The stored preview, else the first 8 characters of the stored code; none without a secret.
    QCoro::Task<std::optional<QString>> preview(QString tenant);
    // Writes all four items; false when any write failed.
    QCoro::Task<bool> store(QString tenant, StoredFleetSecret secret, QString preview, QDateTime issuedAt);
    // Deletes the tenant's four items; false when a removal failed.
    QCoro::Task<bool> wipe(QString tenant);

    static QString account(const QString &base, const QString &tenant);

private:
    QCoro::Task<std::optional<QString>> readText(QString account);
    QCoro::Task<> migrateLegacySlot(QString tenant);

    KeychainStore &m_keychain;
    QString m_service;
};

} // namespace vesk
