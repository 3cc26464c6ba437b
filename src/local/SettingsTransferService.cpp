#include "local/SettingsTransferService.h"

#include "local/PreferenceFields.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/KeychainStore.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSet>

namespace vesk {

Q_LOGGING_CATEGORY(lcTransfer, "settings")

namespace fields = preference_fields;

namespace {

std::optional<QMap<QString, QString>> storedPins(const DefaultsStore &defaults, const QString &key)
{
    const QVariant stored = defaults.object(key);
    if (!stored.isValid())
        return std::nullopt;
    QMap<QString, QString> pins;
    const QVariantMap map = stored.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        pins.insert(it.key(), it.value().toString());
    return pins;
}

} // namespace

SettingsTransferService::SettingsTransferService(Dependencies deps)
    : m_defaults(deps.defaults), m_keychain(deps.keychain), m_keychainBase(std::move(deps.keychainBase)),
      m_policies(deps.policies), m_retentionRules(deps.retentionRules), m_shares(deps.shares), m_clock(deps.clock),
      m_appVersion(std::move(deps.appVersion))
{
}

QString SettingsTransferService::sharePasswordKey(const QUuid &shareId)
{
    return QStringLiteral("share-password-") + shareId.toString(QUuid::WithoutBraces).toUpper();
}

SettingsSnapshot SettingsTransferService::makeSnapshot() const
{
    SettingsSnapshot snapshot;
    snapshot.exportedAt = m_clock.now();
    snapshot.appVersion = m_appVersion;
    TransferPreferences &p = snapshot.preferences;
    for (const auto &f : fields::bools) {
        const QString key = QLatin1String(f.defaultsKey);
        if (m_defaults.hasObject(key))
            p.*f.member = m_defaults.boolValue(key);
        else if (f.whenUnset != fields::WhenUnset::omit)
            p.*f.member = f.whenUnset == fields::WhenUnset::isTrue;
    }
    for (const auto &f : fields::strings) {
        const QString key = QLatin1String(f.defaultsKey);
        if (m_defaults.hasObject(key))
            p.*f.member = m_defaults.stringValue(key);
    }
    if (!p.alertScope)
        p.alertScope = QStringLiteral("photographer");
    for (const auto &f : fields::integers)
        p.*f.member = m_defaults.object(QLatin1String(f.defaultsKey)).toInt();
    p.pinnedVersions = storedPins(m_defaults, QLatin1String(fields::pinnedVersions.defaultsKey));

    snapshot.policies = m_policies.items();
    snapshot.retentionRules = m_retentionRules.items();
    snapshot.monitoredShares = m_shares.items();
    return snapshot;
}

QCoro::Task<QString> SettingsTransferService::apply(SettingsSnapshot snapshot)
{
    const TransferPreferences &p = snapshot.preferences;
    for (const auto &f : fields::bools) {
        if (p.*f.member)
            m_defaults.setValue(QLatin1String(f.defaultsKey), *(p.*f.member));
    }
    for (const auto &f : fields::strings) {
        if (p.*f.member)
            m_defaults.setValue(QLatin1String(f.defaultsKey), *(p.*f.member));
    }
    for (const auto &f : fields::integers) {
        if (p.*f.member)
            m_defaults.setValue(QLatin1String(f.defaultsKey), *(p.*f.member));
    }
    if (const auto &pins = p.*fields::pinnedVersions.member) {
        QVariantMap map;
        for (auto it = pins->cbegin(); it != pins->cend(); ++it)
            map.insert(it.key(), it.value());
        m_defaults.setValue(QLatin1String(fields::pinnedVersions.defaultsKey), map);
    }

    m_policies.replace(snapshot.policies);
    m_retentionRules.replace(snapshot.retentionRules);

    // A share that keeps its id keeps its password; one that is gone takes its password along.
    QSet<QUuid> kept;
    for (const MonitoredShare &share : std::as_const(snapshot.monitoredShares))
        kept.insert(share.id);
    const QList<MonitoredShare> before = m_shares.items();
    for (const MonitoredShare &share : before) {
        if (kept.contains(share.id))
            continue;
        const QString service = m_keychainBase + QLatin1Char('.') + sharePasswordKey(share.id);
        const KeychainResult removed = co_await m_keychain.remove(service, QString());
        if (!removed.ok())
            qCWarning(lcTransfer).noquote() << "Could not remove the password of share" << share.name << ":"
                                            << removed.message;
    }
    m_shares.replace(snapshot.monitoredShares);

    co_return QStringLiteral("Imported %1 policies, %2 cleanup rules, %3 network shares.")
        .arg(snapshot.policies.size())
        .arg(snapshot.retentionRules.size())
        .arg(snapshot.monitoredShares.size());
}

bool SettingsTransferService::exportTo(const QString &path, QString *error) const
{
    const std::optional<QString> failure = AtomicFile::write(path, makeSnapshot().encode());
    if (failure && error)
        *error = *failure;
    return !failure;
}

std::variant<SettingsSnapshot, TransferError> SettingsTransferService::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TransferError::unreadableFile;
    // Read no further than a file of ours can be: a larger one is refused unread.
    const QByteArray bytes = file.read(SettingsSnapshot::maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return TransferError::unreadableFile;
    return SettingsSnapshot::decode(bytes);
}

} // namespace vesk
