#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/records/TenantRecord.h"

#include <QHash>
#include <QHttpServerResponse>

#include <optional>
#include <variant>

class QHttpServerRequest;

namespace vesk::fleetd {

// Decides whether a request's X-Fleet-Key and X-Device-Serial let it in, and for
// which tenant; without the header, the serial the request names (deviceSerial()) stands
// for it. The answers the agent relies on:
//   401  no key, a key of the wrong shape, or no serial;
//   403 (no secret header)         the key is good but X-Device-Serial is not a
//                                  machine of its tenant (unknown, unowned, or
//                                  another tenant's: the answer is the same);
//   403 + X-Fleet-Secret-Stale     the secret id is unknown, or the key's tenant hash
//                                  is not the hash of the tenant that owns the id
//                                  (the machine's tenant changed under it);
//   403 + X-Fleet-Secret-Mismatch  the code is not the one issued with that id;
//   403 + X-Fleet-Secret-Revoked   the secret was revoked;
//   403 + X-Fleet-Secret-Rotated   the secret was replaced by a newer one.
// The code is checked before the state, so only a holder of the real code learns
// that its secret was revoked or rotated. Tenant hashes are accepted for the code as
// in any mix of upper and lower case, since tenant codes match without case.
//
// Verdicts are cached per key, and machine owners per serial. Both caches are dropped
// whenever the store's data version moves (another connection, such as the admin command
// line, committed; on PostgreSQL once its change notice arrived, see ChangeNotices) or
// this connection wrote a secret, changed an owner or queued a
// command, so a rotate, revoke or move applies from the next request. Each drop starts a
// new epoch: answers remembered under an epoch (IdlePollShortcut) hold only within it.
class FleetAuth {
public:
    using Outcome = std::variant<TenantRecord, QHttpServerResponse>;

    explicit FleetAuth(FleetContext context) : m_context(std::move(context)) {}

    Outcome authenticate(const QHttpServerRequest &request);

    // The epoch of the last check, the one authenticate() of the current request made.
    quint64 epoch() const { return m_epoch; }
    // Checks for changes as authenticate() does first, and returns the epoch; nothing when the
    // store cannot tell.
    std::optional<quint64> freshEpoch();

private:
    enum class Verdict { Accepted, Stale, Mismatch, Revoked, Rotated, Failed };
    struct Cached {
        Verdict verdict = Verdict::Failed;
        TenantRecord tenant;
    };
    static constexpr qsizetype kMaxCachedKeys = 20000;

    Cached verify(const QByteArray &header);
    // False when the store could not be read (the caches are dropped then too).
    bool dropCacheIfStale();
    // Whether the serial is one of the tenant's machines; nothing when that cannot be read.
    std::optional<bool> ownsMachine(const TenantRecord &tenant, const QString &serial);

    FleetContext m_context;
    QHash<QByteArray, Cached> m_cache;
    // Serial → owning tenant id, 0 for a machine that is unknown or has no owner.
    QHash<QString, qint64> m_owners;
    std::optional<qint64> m_dataVersion;
    quint64 m_secretGeneration = 0;
    quint64 m_ownerGeneration = 0;
    quint64 m_commandGeneration = 0;
    quint64 m_epoch = 0;
};

} // namespace vesk::fleetd
