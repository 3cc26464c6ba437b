#include "FleetTestRig.h"
#include "LogCapture.h"

#include "pairing/PairingCommands.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <coroutine>
#include <vector>

using namespace vesk;
using vesk::test::FleetTestRig;
using vesk::test::MemoryKeychainStore;

namespace {

const QString kCode = QStringLiteral("9f3c2a7be1d04c65a8f7e2b1c9d0a3f4e5b6c7d8e9f0a1b2c3d4e5f6a7b8c9d0");
const QByteArray kDetails = R"({"fleet_secret_id":7,"secret_preview":"9f3c2a7b","photographer":"ABC"})";
const QString kPaired = QStringLiteral("Paired. This Mac can now receive fleet commands and policies.");
const QString kUnreachable = QStringLiteral("Couldn't reach the server. Check your connection.");

// The exchanges of one pairing attempt after the code passed its format check.
struct Script {
    int fetchStatus = 200;
    QByteArray fetchBody = kDetails;
    bool fetchFails = false;
    std::optional<int> probeStatus = 200; // none: the probe is never sent
    HttpHeaders probeHeaders = {};
    bool probeFails = false;
};

void apply(FleetTestRig &rig, const Script &s)
{
    if (s.fetchFails)
        rig.http.expectFailure("POST", "/api/fetch_fleet_secret", "The network connection was lost.");
    else
        rig.http.expect("POST", "/api/fetch_fleet_secret", s.fetchStatus, s.fetchBody);
    if (s.probeFails)
        rig.http.expectFailure("GET", "/api/policies", "timed out");
    else if (s.probeStatus)
        rig.http.expect("GET", "/api/policies", *s.probeStatus, {}, s.probeHeaders);
}

// Holds every request until released, so two callers can be in flight together.
class GatedTransport final : public HttpTransport {
public:
    explicit GatedTransport(HttpTransport &inner) : m_inner(inner) {}

    struct Wait {
        GatedTransport &gate;
        bool await_ready() const { return gate.m_open; }
        void await_suspend(std::coroutine_handle<> h) { gate.m_waiting.push_back(h); }
        void await_resume() const {}
    };

    QCoro::Task<HttpResult> send(HttpRequest request) override
    {
        co_await Wait{*this};
        const HttpResult result = co_await m_inner.send(std::move(request));
        co_return result;
    }

    std::size_t waiting() const { return m_waiting.size(); }
    void release()
    {
        m_open = true;
        for (const auto h : std::exchange(m_waiting, {}))
            h.resume();
    }

private:
    HttpTransport &m_inner;
    bool m_open = false;
    std::vector<std::coroutine_handle<>> m_waiting;
};

} // namespace

TEST(FleetSecretManager, PairReportsEveryOutcomeWithItsOperatorMessage)
{
    struct Case {
        const char *name;
        QString code;
        std::optional<Script> script; // none: refused before any request
        QString want;
    } cases[] = {
        {"63 characters", kCode.left(63), std::nullopt,
         "That doesn't look like a fleet secret. Paste the 64-character code from your admin exactly."},
        {"not hexadecimal", kCode.left(63) + "g", std::nullopt,
         "That doesn't look like a fleet secret. Paste the 64-character code from your admin exactly."},
        {"serial unknown", kCode, Script{.fetchStatus = 404, .probeStatus = {}},
         "This Mac isn't registered yet. Make sure the event code is set and connected, then try again in a minute."},
        {"tenant has no secret", kCode, Script{.fetchStatus = 409, .probeStatus = {}},
         "Your account has no active fleet secret. Ask your admin to generate one, then paste it here."},
        {"throttled", kCode, Script{.fetchStatus = 429, .probeStatus = {}},
         "Too many attempts. Wait a few minutes and try again."},
        {"unexpected fetch status", kCode, Script{.fetchStatus = 500, .probeStatus = {}},
         "Server returned an unexpected response (500)"},
        {"fetch transport failure", kCode, Script{.fetchFails = true, .probeStatus = {}}, kUnreachable},
        {"fetch body not JSON", kCode, Script{.fetchBody = "<html>", .probeStatus = {}},
         "Server response was not readable."},
        {"fetch body misses the preview", kCode,
         Script{.fetchBody = R"({"fleet_secret_id":7,"photographer":"abc"})", .probeStatus = {}},
         "Server response was missing pairing details."},
        {"secret id zero", kCode,
         Script{.fetchBody = R"({"fleet_secret_id":0,"secret_preview":"9f","photographer":"abc"})", .probeStatus = {}},
         "Server returned an invalid secret id."},
        {"secret id not digits", kCode,
         Script{.fetchBody = R"({"fleet_secret_id":"7a","secret_preview":"9f","photographer":"abc"})",
                .probeStatus = {}},
         "Server returned an invalid secret id."},
        {"other account", kCode,
         Script{.fetchBody = R"({"fleet_secret_id":7,"secret_preview":"9f","photographer":"xyz"})", .probeStatus = {}},
         "This Mac is registered to a different account (xyz). Check the event code in Settings."},
        {"preview does not match", kCode,
         Script{.fetchBody = R"({"fleet_secret_id":7,"secret_preview":"AB12","photographer":"abc"})",
                .probeStatus = {}},
         "That secret doesn't match the one your admin generated (expected it to start with AB12). Ask your admin "
         "to reveal the current secret."},
        {"probe: rotated", kCode, Script{.probeStatus = 403, .probeHeaders = {{"x-fleet-secret-rotated", "true"}}},
         "Your admin rotated the secret. Paste the new id and code from the reveal screen."},
        {"probe: stale", kCode, Script{.probeStatus = 401, .probeHeaders = {{"X-Fleet-Secret-Stale", "TRUE"}}},
         "Your admin rotated the secret. Paste the new id and code from the reveal screen."},
        {"probe: revoked", kCode, Script{.probeStatus = 403, .probeHeaders = {{"X-Fleet-Secret-Revoked", "true"}}},
         "That secret has been revoked. Ask your admin to generate a new one."},
        {"probe: mismatch", kCode, Script{.probeStatus = 401, .probeHeaders = {{"X-Fleet-Secret-Mismatch", "true"}}},
         "The code doesn't match that secret id. Check both against the reveal screen."},
        {"probe: plain 403", kCode, Script{.probeStatus = 403},
         "The server rejected that pairing (403). Check the account name, secret id, and code against the reveal "
         "screen."},
        {"probe: 500", kCode, Script{.probeStatus = 500}, "Server returned an unexpected response (500)"},
        {"probe: transport failure", kCode, Script{.probeFails = true}, kUnreachable},
    };
    for (const Case &c : cases) {
        FleetTestRig rig;
        rig.setTenant("abc");
        if (c.script)
            apply(rig, *c.script);
        const PairResult got = QCoro::waitFor(rig.secrets.pair(c.code));
        EXPECT_EQ(got, (PairResult{false, c.want})) << c.name;
        EXPECT_FALSE(rig.hasSecret("abc")) << c.name;
        if (!c.script) {
            EXPECT_TRUE(rig.http.requests().empty()) << c.name;
        }
    }
}

TEST(FleetSecretManager, PairAcceptsATrimmedUpperCaseCodeAndStoresItPerTenant)
{
    FleetTestRig rig;
    vesk::test::LogCapture log;
    rig.setTenant("abc");
    rig.secrets.flags().set({.isRevoked = true, .serialUnknown = true});
    apply(rig, Script{.fetchBody = R"({"fleet_secret_id":"7","secret_preview":"9F3C2A7B","photographer":"ABC"})"});

    const PairResult got = QCoro::waitFor(rig.secrets.pair("  " + kCode.toUpper() + " \n"));
    EXPECT_EQ(got, (PairResult{true, kPaired}));

    const HttpRequest &fetch = rig.http.requests().at(0);
    EXPECT_EQ(fetch.timeout, std::chrono::seconds(30));
    const QJsonObject body = QJsonDocument::fromJson(fetch.body).object();
    EXPECT_EQ(body.value("serial"), "C02XK1ABCD");
    EXPECT_EQ(body.value("bundle_id"), "com.lumora.VeskWarden");
    EXPECT_EQ(body.value("app_version"), "2.4.0");
    EXPECT_EQ(body.value("client_clock_iso"), "2026-03-02T09:00:00Z");
    EXPECT_EQ(rig.http.requests().at(1).url.path(), "/api/policies");

    EXPECT_EQ(rig.keychain.stored(FleetTestRig::service, "fleet-secret::abc"), kCode.toUtf8());
    EXPECT_EQ(rig.keychain.stored(FleetTestRig::service, "fleet-secret-id::abc"), "7");
    EXPECT_EQ(rig.keychain.stored(FleetTestRig::service, "fleet-secret-preview::abc"), "9F3C2A7B");
    EXPECT_EQ(rig.keychain.stored(FleetTestRig::service, "fleet-secret-issued-at::abc"), "2026-03-02T09:00:00Z");
    EXPECT_EQ(rig.secrets.flags().snapshot(), PairingFlags::Snapshot{});
    EXPECT_TRUE(log.messages("fleet-secret").contains("FleetSecretManager: paired (id=7)"));
}

TEST(FleetSecretManager, PairReportsAKeychainThatWillNotSave)
{
    // A keychain that refuses the first item, or only a later one: either way no usable half
    // of the secret stays behind.
    for (const int savedFirst : {0, 2}) {
        FleetTestRig rig;
        rig.setTenant("abc");
        rig.keychain.failWith(MemoryKeychainStore::Operation::Write,
                              KeychainResult::failure(KeychainError::AccessDenied, "The keychain refused."), savedFirst);
        apply(rig, Script{});
        EXPECT_EQ(QCoro::waitFor(rig.secrets.pair(kCode)),
                  (PairResult{false, "Couldn't save the secret to the Keychain. Try again."}));
        EXPECT_EQ(rig.keychain.itemCount(), 0) << savedFirst;
        EXPECT_FALSE(rig.hasSecret("abc")) << savedFirst;
    }
}

TEST(FleetSecretManager, TwoSimultaneousPairingsShareOneDetailsFetch)
{
    FleetTestRig rig;
    rig.setTenant("abc");
    GatedTransport gate(rig.http);
    FleetSecretManager manager(FleetSecretManager::Dependencies{rig.keychain, gate, rig.settings, rig.identity,
                                                                rig.clock, FleetTestRig::baseUrl, AgentBundle{}, "2.4"});
    rig.http.expect("POST", "/api/fetch_fleet_secret", 200, kDetails);
    rig.http.expect("GET", "/api/policies", 200);
    rig.http.expect("GET", "/api/policies", 200);

    QCoro::Task<PairResult> first = manager.pair(kCode);
    QCoro::Task<PairResult> second = manager.pair(kCode);
    EXPECT_EQ(gate.waiting(), 1u) << "the second caller waits on the first fetch instead of sending its own";
    gate.release();

    EXPECT_EQ(QCoro::waitFor(std::move(first)), (PairResult{true, kPaired}));
    EXPECT_EQ(QCoro::waitFor(std::move(second)), (PairResult{true, kPaired}));
    int fetches = 0;
    for (const HttpRequest &request : rig.http.requests())
        fetches += request.url.path() == "/api/fetch_fleet_secret";
    EXPECT_EQ(fetches, 1);
}

TEST(FleetSecretManager, LegacySlotMovesToItsTenantIgnoringCase)
{
    struct Case {
        const char *name;
        QByteArray legacyOwner;
        bool migrates;
    } cases[] = {{"owner ABC, tenant abc", "ABC", true}, {"owner of another tenant", "xyz", false}};
    for (const Case &c : cases) {
        FleetTestRig rig;
        vesk::test::LogCapture log;
        const QString s = FleetTestRig::service;
        rig.keychain.put(s, "fleet-secret", kCode.toUtf8());
        rig.keychain.put(s, "fleet-secret-id", "5");
        rig.keychain.put(s, "fleet-secret-preview", "9f3c2a7b");
        rig.keychain.put(s, "fleet-secret-issued-at", "2025-01-01T00:00:00Z");
        rig.keychain.put(s, "fleet-secret-photographer", c.legacyOwner);

        const auto secret = QCoro::waitFor(rig.secrets.storedSecret("abc"));
        if (!c.migrates) {
            EXPECT_EQ(secret, std::nullopt) << c.name;
            EXPECT_EQ(rig.keychain.itemCount(), 5) << c.name << ": the legacy slot stays for its own tenant";
            continue;
        }
        EXPECT_EQ(secret, (StoredFleetSecret{kCode, 5})) << c.name;
        EXPECT_EQ(rig.keychain.stored(s, "fleet-secret-preview::abc"), "9f3c2a7b");
        EXPECT_EQ(rig.keychain.stored(s, "fleet-secret-issued-at::abc"), "2025-01-01T00:00:00Z");
        EXPECT_EQ(rig.keychain.itemCount(), 4) << "only the per-tenant items remain";
        EXPECT_EQ(log.messages("fleet-secret"),
                  QStringList{"FleetSecretManager: migrated legacy secret slot to per-tenant storage"});
    }
}

TEST(FleetSecretManager, PairingStatusPrefersAStoredSecretThenTheFlagsInOrder)
{
    using Kind = PairingStatus::Kind;
    using Flags = PairingFlags::Snapshot;
    struct Case {
        const char *name;
        QString tenant;
        bool stored;
        QString preview;
        Flags flags;
        PairingStatus want;
    } cases[] = {
        {"stored secret beats every flag", "abc", true, "9f3c2a7b", {true, true, true, true},
         PairingStatus::paired("9f3c2a7b")},
        {"no stored preview: first 8 of the code", "abc", true, "", {}, PairingStatus::paired(kCode.left(8))},
        {"revoked first", "abc", false, "", {true, true, true, true}, PairingStatus::of(Kind::revoked)},
        {"then needs re-entry", "abc", false, "", {.tenantHasNoSecret = true, .serialUnknown = true, .needsReentry = true},
         PairingStatus::of(Kind::needsReentry)},
        {"then serial unknown", "abc", false, "", {.tenantHasNoSecret = true, .serialUnknown = true},
         PairingStatus::of(Kind::serialUnknown)},
        {"then no secret for the tenant", "abc", false, "", {.tenantHasNoSecret = true},
         PairingStatus::of(Kind::tenantHasNoSecret)},
        {"nothing set", "abc", false, "", {}, PairingStatus::of(Kind::notPaired)},
        {"no tenant code", "", false, "", {.isRevoked = true}, PairingStatus::of(Kind::notPaired)},
    };
    for (const Case &c : cases) {
        FleetTestRig rig;
        rig.setTenant(c.tenant);
        if (c.stored)
            rig.storeSecret("abc", kCode, 7, c.preview);
        rig.secrets.flags().set(c.flags);
        EXPECT_EQ(QCoro::waitFor(rig.secrets.pairingStatus()), c.want) << c.name;
    }
    EXPECT_EQ(PairingStatus::paired("9f3c2a7b").detail(), "Secret on file starts with 9f3c2a7b");
}

TEST(FleetSecretManager, A404DuringRefreshMeansSerialUnknownUntilAProbeIsAccepted)
{
    FleetTestRig rig;
    rig.setTenant("abc");
    rig.http.expect("POST", "/api/fetch_fleet_secret", 404);
    rig.http.expect("POST", "/api/fetch_fleet_secret", 200, kDetails);
    rig.http.expect("GET", "/api/policies", 200);

    QCoro::waitFor(rig.secrets.refreshStatus());
    EXPECT_EQ(QCoro::waitFor(rig.secrets.pairingStatus()), PairingStatus::of(PairingStatus::Kind::serialUnknown));
    QCoro::waitFor(rig.secrets.refreshStatus());
    EXPECT_EQ(QCoro::waitFor(rig.secrets.pairingStatus()), PairingStatus::of(PairingStatus::Kind::serialUnknown))
        << "details alone do not pair the machine";

    rig.storeSecret("abc", kCode, 7, "9f3c2a7b");
    QCoro::waitFor(rig.secrets.refreshStatus());
    EXPECT_EQ(rig.secrets.flags().snapshot(), PairingFlags::Snapshot{}) << "an accepted probe clears the flags";
}

TEST(FleetSecretManager, RefreshActsOnTheServersVerdictOnTheStoredSecret)
{
    using Flags = PairingFlags::Snapshot;
    struct Case {
        const char *name;
        int status;
        HttpHeaders headers;
        bool kept;
        Flags flags;
    } cases[] = {
        {"revoked", 403, {{"X-Fleet-Secret-Revoked", "true"}}, false, {.isRevoked = true}},
        {"rotated", 401, {{"X-Fleet-Secret-Rotated", "true"}}, false, {.needsReentry = true}},
        {"mismatch", 401, {{"X-Fleet-Secret-Mismatch", "true"}}, false, {.needsReentry = true}},
        {"plain rejection changes nothing", 401, {}, true, {.serialUnknown = true}},
        {"server error changes nothing", 503, {}, true, {.serialUnknown = true}},
        {"accepted", 200, {}, true, {}},
    };
    for (const Case &c : cases) {
        FleetTestRig rig;
        rig.setTenant("abc");
        rig.storeSecret("abc", kCode, 7);
        rig.secrets.flags().set({.serialUnknown = true});
        rig.http.expect("GET", "/api/policies", c.status, {}, c.headers);
        QCoro::waitFor(rig.secrets.refreshStatus());
        EXPECT_EQ(rig.hasSecret("abc"), c.kept) << c.name;
        Flags want = c.flags;
        if (!c.kept)
            want.serialUnknown = true; // a verdict raises its own flag and leaves the others
        EXPECT_EQ(rig.secrets.flags().snapshot(), want) << c.name;
    }
}

TEST(FleetSecretManager, ARefreshVerdictOnAReplacedSecretLeavesTheNewOneStored)
{
    const QString oldCode = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
    FleetTestRig rig;
    rig.setTenant("abc");
    rig.storeSecret("abc", oldCode, 6);
    rig.http.expect("GET", "/api/policies", 403, {}, {{"X-Fleet-Secret-Revoked", "true"}}).held();
    QCoro::Task<> refresh = rig.secrets.refreshStatus();

    apply(rig, Script{});
    EXPECT_EQ(QCoro::waitFor(rig.secrets.pair(kCode)), (PairResult{true, kPaired}));
    rig.http.releaseHeld();
    QCoro::waitFor(std::move(refresh));

    EXPECT_EQ(QCoro::waitFor(rig.secrets.storedSecret("abc")), (StoredFleetSecret{kCode, 7}));
    EXPECT_EQ(rig.secrets.flags().snapshot(), PairingFlags::Snapshot{});
}

TEST(PairingCommands, ReturnExitCodesAndTheOperatorText)
{
    FleetTestRig rig;
    rig.setTenant("abc");
    EXPECT_EQ(QCoro::waitFor(PairingCommands::pair(rig.secrets, "short")).exitCode, 1);

    apply(rig, Script{});
    EXPECT_EQ(QCoro::waitFor(PairingCommands::pair(rig.secrets, kCode)), (CommandOutcome{0, kPaired}));

    rig.http.expect("GET", "/api/policies", 200);
    const CommandOutcome status = QCoro::waitFor(PairingCommands::status(rig.secrets));
    EXPECT_EQ(status, (CommandOutcome{0, "Paired — receiving commands and policies\nSecret on file starts with 9f3c2a7b"}));

    EXPECT_EQ(QCoro::waitFor(PairingCommands::unpair(rig.secrets, rig.settings)).exitCode, 0);
    EXPECT_EQ(rig.keychain.itemCount(), 0);
    // Not paired is a failure for a script that checks the status.
    rig.http.expect("POST", "/api/fetch_fleet_secret", 404);
    EXPECT_EQ(QCoro::waitFor(PairingCommands::status(rig.secrets)).exitCode, 1);
    rig.setTenant("");
    EXPECT_EQ(QCoro::waitFor(PairingCommands::unpair(rig.secrets, rig.settings)).exitCode, 1);
}
