#include "TestHttpClient.h"

#include "fleetd/http/FleetHttpServer.h"
#include "fleetd/http/FleetRoutes.h"
#include "fleetd/storage/FleetStore.h"

#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace vesk::fleetd;

namespace {

QByteArray beat(const char *serial, const char *app, const char *version, const char *eventCode, const char *state)
{
    return QStringLiteral(R"({"eventcode": "%1", "serial": "%2", "app": "%3", "version": "%4", "state": %5})")
        .arg(eventCode, serial, app, version, state)
        .toUtf8();
}

// A real server on a loopback port the OS picks, over a real SQLite file.
class HeartbeatRouteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_EQ(m_store.open(m_dir.filePath("fleet.sqlite"), FleetStore::OpenMode::CreateIfMissing),
                  StoreStatus::ok());
        m_server = std::make_unique<FleetHttpServer>(fleetRoutes(FleetContext{m_store, [this] { return m_now; }}));
        const quint16 port = m_server->listen(QHostAddress::LocalHost, 0);
        ASSERT_NE(port, 0);
        m_api = QStringLiteral("http://127.0.0.1:%1/api").arg(port);
    }

    HttpAnswer post(const QString &path, const QByteArray &body, const QByteArray &contentType = "application/json")
    {
        return m_client.send("POST", QUrl(m_api + path), body, contentType);
    }

    QList<MachineRecord> machines()
    {
        const StoreResult<QList<MachineRecord>> listed = m_store.machines();
        EXPECT_EQ(listed.status, StoreStatus::ok());
        return listed.value;
    }

    QTemporaryDir m_dir;
    FleetStore m_store;
    QDateTime m_now = QDateTime(QDate(2025, 3, 1), QTime(9, 30, 0), Qt::UTC);
    std::unique_ptr<FleetHttpServer> m_server;
    TestHttpClient m_client;
    QString m_api;
};

TEST_F(HeartbeatRouteTest, FirstBeatRegistersMachineAndLaterBeatsRefreshItButKeepFirstSeen)
{
    const HttpAnswer first =
        post("/heartbeat", beat("C02XK1", "warden", "1.0", "EVT-7", R"({"status": "active", "agentMode": true})"));
    ASSERT_EQ(first.status, 200) << first.body.toStdString();
    EXPECT_EQ(first.json.value("status").toString(), "ok");
    EXPECT_EQ(first.contentType, "application/json");

    QList<MachineRecord> rows = machines();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].serial, "C02XK1");
    EXPECT_EQ(rows[0].firstSeen, "2025-03-01T09:30:00.000Z");
    EXPECT_EQ(rows[0].lastSeen, "2025-03-01T09:30:00.000Z");
    EXPECT_EQ(QJsonDocument::fromJson(rows[0].stateJson.toUtf8()).object(),
              (QJsonObject{{"status", "active"}, {"agentMode", true}}));

    // Fifteen minutes later: new version, no event code any more, charset in the content type.
    m_now = m_now.addSecs(900);
    const HttpAnswer second =
        post("/heartbeat", beat("C02XK1", "warden-beta", "1.1", "", R"({"status": "idle", "uptime": 86400})"),
             "application/json; charset=utf-8");
    ASSERT_EQ(second.status, 200) << second.body.toStdString();
    ASSERT_EQ(post("/heartbeat", beat("A1", "kiosk", "3.2", "EVT-1", "{}")).status, 200);

    rows = machines();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].serial, "A1");
    const MachineRecord &refreshed = rows[1];
    EXPECT_EQ(refreshed.serial, "C02XK1");
    EXPECT_EQ(refreshed.firstSeen, "2025-03-01T09:30:00.000Z");
    EXPECT_EQ(refreshed.lastSeen, "2025-03-01T09:45:00.000Z");
    EXPECT_EQ(refreshed.app, "warden-beta");
    EXPECT_EQ(refreshed.version, "1.1");
    EXPECT_EQ(refreshed.eventCode, "");
    EXPECT_EQ(QJsonDocument::fromJson(refreshed.stateJson.toUtf8()).object(),
              (QJsonObject{{"status", "idle"}, {"uptime", 86400}}));
}

TEST_F(HeartbeatRouteTest, BadBodiesGet400WithAReasonAndStoreNothing)
{
    const struct {
        const char *name;
        QByteArray body;
        QByteArray contentType;
        const char *reason;
    } cases[] = {
        {"malformed", R"({"serial": )", "application/json", "malformed JSON"},
        {"array", "[]", "application/json", "JSON object"},
        {"serial is a number", beat("x", "a", "1", "E", "{}").replace(R"("x")", "5"), "application/json",
         R"(Expected a string for "serial")"},
        {"missing serial", R"({"eventcode": "", "app": "a", "version": "1", "state": {}})", "application/json",
         R"(Missing key "serial")"},
        {"missing state", R"({"eventcode": "", "serial": "S", "app": "a", "version": "1"})", "application/json",
         R"(Missing key "state")"},
        {"state is a list", beat("S", "a", "1", "E", "[]"), "application/json", R"(Expected an object for "state")"},
        {"state holds an object", beat("S", "a", "1", "E", R"({"disk": {}})"), "application/json", "\"state.disk\""},
        {"state holds a fraction", beat("S", "a", "1", "E", R"({"load": 1.5})"), "application/json", "\"state.load\""},
        {"empty serial", beat("", "a", "1", "E", "{}"), "application/json", R"("serial" must not be empty)"},
        {"blank serial", beat("  ", "a", "1", "E", "{}"), "application/json", R"("serial" must not be empty)"},
        {"serial with a tab", beat(R"(A\tB)", "a", "1", "E", "{}"), "application/json", "control characters"},
        {"form content type", beat("S", "a", "1", "E", "{}"), "application/x-www-form-urlencoded", "Content-Type"},
    };
    for (const auto &tc : cases) {
        const HttpAnswer got = post("/heartbeat", tc.body, tc.contentType);
        EXPECT_EQ(got.status, 400) << tc.name;
        EXPECT_TRUE(got.json.value("error").toString().contains(QLatin1String(tc.reason)))
            << tc.name << ": " << got.body.left(200).toStdString();
    }
    EXPECT_TRUE(machines().isEmpty());
}

TEST_F(HeartbeatRouteTest, UnknownRoutesGetJson404AndWrongMethodsGet405)
{
    const struct {
        const char *method;
        const char *path;
        int status;
    } cases[] = {
        {"GET", "/nope", 404},
        {"POST", "/heartbeat/extra", 404},
        {"POST", "/heartbeats", 404},
        {"GET", "/heartbeat", 405},
        {"DELETE", "/heartbeat", 405},
    };
    for (const auto &tc : cases) {
        const HttpAnswer got = m_client.send(tc.method, QUrl(m_api + tc.path), "{}");
        EXPECT_EQ(got.status, tc.status) << tc.method << ' ' << tc.path;
        EXPECT_FALSE(got.json.value("error").toString().isEmpty()) << tc.method << ' ' << tc.path;
        if (tc.status == 405) {
            EXPECT_EQ(got.allow, "POST") << tc.method << ' ' << tc.path;
        }
    }
    // Outside /api altogether.
    const HttpAnswer root = m_client.send("POST", QUrl(m_api.chopped(4) + "/heartbeat"), "{}");
    EXPECT_EQ(root.status, 404);
}

} // namespace
