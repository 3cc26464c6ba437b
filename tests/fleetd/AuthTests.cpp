#include "FleetAPIFixture.h"

#include "fleetd/cli/FleetdMain.h"
#include "fleetd/http/FetchSecretHandler.h"

using namespace vesk::fleetd;

namespace {

using AuthTest = FleetAPIFixture;

TEST_F(AuthTest, ClassifiesEveryKindOfKey)
{
    const QByteArray tenantHash = keyFor(m_a.code, 1, "").split('.').at(0);
    const QByteArray code = m_a.secretCode.toLatin1();
    const QByteArray wrongCode = QByteArray(64, 'e');
    const struct {
        const char *name;
        QList<std::pair<QByteArray, QByteArray>> headers;
        int status;
        const char *secretHeader;
    } cases[] = {
        {"valid key", {{"X-Fleet-Key", m_a.key}, {"X-Device-Serial", "A1"}}, 200, nullptr},
        {"upper-case tenant code hashes too",
         {{"X-Fleet-Key", keyFor("abcd1234", m_a.secretId, m_a.secretCode)}, {"X-Device-Serial", "A1"}}, 200, nullptr},
        {"upper-case code", {{"X-Fleet-Key", keyFor(m_a.code, m_a.secretId, m_a.secretCode.toUpper())},
                             {"X-Device-Serial", "A1"}}, 200, nullptr},
        // Machines spell the tenant code as their credentials do; any mix of cases pairs.
        {"mixed-case tenant code", {{"X-Fleet-Key", keyFor("aBcD1234", m_a.secretId, m_a.secretCode)},
                                    {"X-Device-Serial", "A1"}}, 200, nullptr},
        {"another mix", {{"X-Fleet-Key", keyFor("AbCd1234", m_a.secretId, m_a.secretCode)},
                         {"X-Device-Serial", "A1"}}, 200, nullptr},
        {"same letters, another code", {{"X-Fleet-Key", keyFor("aBcD1235", m_a.secretId, m_a.secretCode)},
                                        {"X-Device-Serial", "A1"}}, 403, "X-Fleet-Secret-Stale"},
        // A good key speaks only for its own tenant's machines.
        {"another tenant's machine", {{"X-Fleet-Key", m_a.key}, {"X-Device-Serial", "B1"}}, 403, nullptr},
        {"unknown machine", {{"X-Fleet-Key", m_a.key}, {"X-Device-Serial", "Z9"}}, 403, nullptr},
        {"serial in another case", {{"X-Fleet-Key", m_a.key}, {"X-Device-Serial", "a1"}}, 403, nullptr},
        {"no key", {{"X-Device-Serial", "A1"}}, 401, nullptr},
        {"no serial", {{"X-Fleet-Key", m_a.key}}, 401, nullptr},
        {"two fields", {{"X-Fleet-Key", tenantHash + ".1"}, {"X-Device-Serial", "A1"}}, 401, nullptr},
        {"id not a number", {{"X-Fleet-Key", tenantHash + ".x." + code}, {"X-Device-Serial", "A1"}}, 401, nullptr},
        {"id zero", {{"X-Fleet-Key", tenantHash + ".0." + code}, {"X-Device-Serial", "A1"}}, 401, nullptr},
        {"short code", {{"X-Fleet-Key", tenantHash + ".1." + code.left(63)}, {"X-Device-Serial", "A1"}}, 401, nullptr},
        {"code not hex", {{"X-Fleet-Key", tenantHash + ".1." + QByteArray(64, 'g')}, {"X-Device-Serial", "A1"}}, 401,
         nullptr},
        {"unknown id", {{"X-Fleet-Key", keyFor(m_a.code, 999, m_a.secretCode)}, {"X-Device-Serial", "A1"}}, 403,
         "X-Fleet-Secret-Stale"},
        {"another tenant's hash", {{"X-Fleet-Key", keyFor(m_b.code, m_a.secretId, m_a.secretCode)},
                                   {"X-Device-Serial", "A1"}}, 403, "X-Fleet-Secret-Stale"},
        {"wrong code", {{"X-Fleet-Key", keyFor(m_a.code, m_a.secretId, wrongCode)}, {"X-Device-Serial", "A1"}}, 403,
         "X-Fleet-Secret-Mismatch"},
    };
    for (const auto &tc : cases) {
        const HttpAnswer got = raw("GET", "policies", {}, tc.headers);
        EXPECT_EQ(got.status, tc.status) << tc.name << ": " << got.body.toStdString();
        if (tc.status != 200) {
            EXPECT_FALSE(got.json.value("error").toString().isEmpty()) << tc.name;
        }
        for (const char *header : {"X-Fleet-Secret-Stale", "X-Fleet-Secret-Mismatch", "X-Fleet-Secret-Revoked",
                                   "X-Fleet-Secret-Rotated"}) {
            const bool want = tc.secretHeader && QByteArray(tc.secretHeader) == header;
            EXPECT_EQ(got.header(header), want ? QByteArray("true") : QByteArray()) << tc.name << ' ' << header;
        }
    }
}

TEST_F(AuthTest, RotateAndRevokeByTheCommandLineApplyToTheRunningServerAtOnce)
{
    ASSERT_EQ(call(m_a, "GET", "policies").status, 200);
    ASSERT_EQ(call(m_b, "GET", "policies").status, 200);

    // The admin command line runs on its own connection, as it would in its own process.
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    ASSERT_EQ(fleetdMain({"vesk-fleetd", "secret", "rotate", "abcd1234", "--db", m_dbPath}, outStream, errStream), 0)
        << err.toStdString();
    ASSERT_EQ(fleetdMain({"vesk-fleetd", "secret", "revoke", "WXYZ9876", "--db", m_dbPath}, outStream, errStream), 0)
        << err.toStdString();

    const HttpAnswer rotated = call(m_a, "GET", "policies");
    EXPECT_EQ(rotated.status, 403);
    EXPECT_EQ(rotated.header("X-Fleet-Secret-Rotated"), "true");
    const HttpAnswer revoked = call(m_b, "GET", "policies");
    EXPECT_EQ(revoked.status, 403);
    EXPECT_EQ(revoked.header("X-Fleet-Secret-Revoked"), "true");

    // The new secret printed by rotate works.
    const QStringList issued = out.split('\n').first().split('\t');
    ASSERT_EQ(issued.size(), 2) << out.toStdString();
    const QByteArray newKey = keyFor(m_a.code, issued[0].toLongLong(), issued[1]);
    EXPECT_EQ(raw("GET", "policies", {}, {{"X-Fleet-Key", newKey}, {"X-Device-Serial", "A1"}}).status, 200);
}

TEST_F(AuthTest, FetchFleetSecretAnswersForRegisteredMachinesAndThrottlesEachSerial)
{
    const auto fetch = [this](const QByteArray &serial) {
        return raw("POST", "fetch_fleet_secret",
                   R"({"serial": ")" + serial + R"(", "bundle_id": "com.lumora.VeskWarden", "app_version": "1.0",)"
                   R"( "client_clock_iso": "2025-03-01T09:30:00Z"})",
                   {{"X-Device-Serial", serial}});
    };
    const HttpAnswer ok = fetch("A1");
    ASSERT_EQ(ok.status, 200) << ok.body.toStdString();
    EXPECT_EQ(ok.json.value("fleet_secret_id").toInteger(), m_a.secretId);
    EXPECT_EQ(ok.json.value("secret_preview").toString(), m_a.secretCode.left(8));
    EXPECT_EQ(ok.json.value("photographer").toString(), "ABCD1234");
    EXPECT_FALSE(ok.body.contains(m_a.secretCode.toLatin1()));

    beat("U1", "EVT-UNBOUND");
    ASSERT_EQ(m_store.secrets().revoke(m_b.tenantId, m_now), StoreStatus::ok());
    EXPECT_EQ(fetch("NEVER-SEEN").status, 404);
    EXPECT_EQ(fetch("U1").status, 404);
    EXPECT_EQ(fetch("B1").status, 409);

    // A1 has used one of its ten; the eleventh within the minute is refused, A2 is not.
    for (int i = 1; i < FetchSecretHandler::kLimit; ++i)
        ASSERT_EQ(fetch("A1").status, 200) << i;
    EXPECT_EQ(fetch("A1").status, 429);
    EXPECT_EQ(fetch("A2").status, 200);
    m_now = m_now.addSecs(61);
    EXPECT_EQ(fetch("A1").status, 200);
}

} // namespace
