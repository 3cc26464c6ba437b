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
// which tenant. The answers the agent relies on:
//   401  no key, a key of the wrong shape, or no X-Device-Serial;
//   403 + X-Fleet-Secret-Stale     the secret id is unknown, or the key's tenant hash
//                                  is not the hash of the tenant that owns the id
//                                  (the machine's tenant changed under it);
//   403 + X-Fleet-Secret-Mismatch  the code is not the one issued with that id;
//   403 + X-Fleet-Secret-Revoked   the secret was revoked;
//   403 + X-Fleet-Secret-Rotated   the secret was replaced by a newer one.
// The code is checked before the state, so only a holder of the real code learns
// that its secret was revoked or rotated. Tenant hashes are accepted for the code as
// stored, lower-cased and upper-cased, since tenant codes match without case.
//
// Verdicts are cached per key. The cache is dropped whenever SQLite's data_version
// moves (another connection, such as the admin command line, committed) or this
// connection wrote a secret, so a rotate or revoke applies from the next request.
class FleetAuth {
public:
    using Outcome = std::variant<TenantRecord, QHttpServerResponse>;

    explicit FleetAuth(FleetContext context) : m_context(std::move(context)) {}

    Outcome authenticate(const QHttpServerRequest &request);

private:
    enum class Verdict { Accepted, Stale, Mismatch, Revoked, Rotated, Failed };
    struct Cached {
        Verdict verdict = Verdict::Failed;
        TenantRecord tenant;
    };
    static constexpr qsizetype kMaxCachedKeys = 20000;

    Cached verify(const QByteArray &header);
    void dropCacheIfStale();

    FleetContext m_context;
    QHash<QByteArray, Cached> m_cache;
    std::optional<qint64> m_dataVersion;
    quint64 m_secretGeneration = 0;
};

} // namespace vesk::fleetd
