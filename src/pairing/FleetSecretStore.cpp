#include "pairing/FleetSecretStore.h"

#include "platform/KeychainStore.h"
#include "platform/LogCategories.h"

namespace vesk {

namespace {
const QString kCode = QStringLiteral("fleet-secret");
const QString kId = QStringLiteral("fleet-secret-id");
const QString kPreview = QStringLiteral("fleet-secret-preview");
const QString kIssuedAt = QStringLiteral("fleet-secret-issued-at");
const QString kLegacyTenant = QStringLiteral("fleet-secret-photographer");
// Named arrays rather than braced lists: the loops below suspend inside their bodies.
const QStringList kTenantItems = {kCode, kId, kPreview, kIssuedAt};
const QStringList kLegacyItems = {kCode, kId, kPreview, kIssuedAt, kLegacyTenant};
} // namespace

FleetSecretStore::FleetSecretStore(KeychainStore &keychain, QString service)
    : m_keychain(keychain)
    , m_service(std::move(service))
{
}

QString FleetSecretStore::account(const QString &base, const QString &tenant)
{
    return base + QStringLiteral("::") + tenant.toLower();
}

QCoro::Task<std::optional<QString>> FleetSecretStore::readText(QString account)
{
    const KeychainRead read = co_await m_keychain.read(m_service, account);
    const std::optional<QByteArray> value = read.valueOrNone();
    if (!value)
        co_return std::nullopt;
    co_return QString::fromUtf8(*value);
}

QCoro::Task<std::optional<StoredFleetSecret>> FleetSecretStore::storedSecret(QString tenant)
{
    if (tenant.isEmpty())
        co_return std::nullopt;
    co_await migrateLegacySlot(tenant);
    const QString codeAccount = account(kCode, tenant);
    const std::optional<QString> code = co_await readText(codeAccount);
    if (!code || code->isEmpty())
        co_return std::nullopt;
    const QString idAccount = account(kId, tenant);
    const std::optional<QString> idText = co_await readText(idAccount);
    bool ok = false;
    const qint64 id = idText ? idText->trimmed().toLongLong(&ok) : 0;
    // A code without a readable id cannot sign a request, so it counts as nothing stored.
    if (!ok)
        co_return std::nullopt;
    co_return StoredFleetSecret{*code, id};
}

QCoro::Task<std::optional<QString>> FleetSecretStore::preview(QString tenant)
{
    const std::optional<StoredFleetSecret> secret = co_await storedSecret(tenant);
    if (!secret)
        co_return std::nullopt;
    const QString previewAccount = account(kPreview, tenant);
    const std::optional<QString> stored = co_await readText(previewAccount);
    if (stored && !stored->isEmpty())
        co_return *stored;
    co_return secret->code.left(8);
}

QCoro::Task<bool> FleetSecretStore::store(QString tenant, StoredFleetSecret secret, QString preview,
                                          QDateTime issuedAt)
{
    const QStringList values = {secret.code, QString::number(secret.id), preview,
                                issuedAt.toUTC().toString(Qt::ISODate)};
    bool allWritten = true;
    for (qsizetype i = 0; i < kTenantItems.size(); ++i) {
        const QString itemAccount = account(kTenantItems.at(i), tenant);
        const QByteArray bytes = values.at(i).toUtf8();
        const KeychainResult written = co_await m_keychain.write(m_service, itemAccount, bytes);
        if (!written.ok()) {
            qCWarning(lcFleetSecret).noquote() << "FleetSecretManager: keychain write failed:" << written.message;
            allWritten = false;
            break;
        }
    }
    // Half a secret (a code without its id or preview) must not be left behind to be used.
    if (!allWritten) {
        const bool wiped = co_await wipe(tenant);
        Q_UNUSED(wiped);
    }
    co_return allWritten;
}

QCoro::Task<bool> FleetSecretStore::wipe(QString tenant)
{
    bool allRemoved = true;
    for (const QString &base : kTenantItems) {
        const QString itemAccount = account(base, tenant);
        const KeychainResult removed = co_await m_keychain.remove(m_service, itemAccount);
        if (!removed.ok()) {
            qCWarning(lcFleetSecret).noquote() << "FleetSecretManager: keychain removal failed:" << removed.message;
            allRemoved = false;
        }
    }
    co_return allRemoved;
}

QCoro::Task<> FleetSecretStore::migrateLegacySlot(QString tenant)
{
    const QString codeAccount = account(kCode, tenant);
    const KeychainRead current = co_await m_keychain.read(m_service, codeAccount);
    // Only a definite "not found" migrates: an unreadable keychain must not be overwritten.
    if (!current.absent())
        co_return;
    const std::optional<QString> owner = co_await readText(kLegacyTenant);
    if (!owner || owner->compare(tenant, Qt::CaseInsensitive) != 0)
        co_return;
    const KeychainRead legacyCode = co_await m_keychain.read(m_service, kCode);
    if (!legacyCode.found())
        co_return;
    for (const QString &base : kTenantItems) {
        const KeychainRead legacy = co_await m_keychain.read(m_service, base);
        if (!legacy.found())
            continue;
        const QString itemAccount = account(base, tenant);
        const KeychainResult copied = co_await m_keychain.write(m_service, itemAccount, legacy.value);
        // Keep the legacy slot when the copy failed, so the next read tries again.
        if (!copied.ok())
            co_return;
    }
    for (const QString &base : kLegacyItems) {
        const KeychainResult removed = co_await m_keychain.remove(m_service, base);
        if (!removed.ok())
            qCWarning(lcFleetSecret).noquote() << "FleetSecretManager: keychain removal failed:" << removed.message;
    }
    qCInfo(lcFleetSecret) << "FleetSecretManager: migrated legacy secret slot to per-tenant storage";
}

} // namespace vesk
