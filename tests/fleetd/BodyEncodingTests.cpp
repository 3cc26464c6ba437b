#include "FleetAPIFixture.h"

#include "wire/GzipBody.h"

#include <QJsonArray>
#include <QJsonDocument>

using vesk::GzipBody::compress;
using vesk::GzipBody::inflate;

namespace {

using BodyEncodingTest = FleetAPIFixture;
using Headers = QList<std::pair<QByteArray, QByteArray>>;

TEST_F(BodyEncodingTest, CompressedRequestBodiesAreInflatedWithinTheRouteLimit)
{
    vesk::TelemetryReport report = telemetry("A1");
    report.cpuUsage = 42.5;
    const QByteArray gzipped = compress(body(report));
    const Headers signedByA1 = {{"X-Fleet-Key", m_a.key}, {"X-Device-Serial", "A1"}};
    const struct {
        const char *name;
        QByteArray body;
        QByteArray coding;
        int status;
    } cases[] = {
        {"gzip report", gzipped, "gzip", 200},
        {"coding named in capitals", gzipped, "GZIP", 200},
        // 2 MB of spaces inside a JSON object: about 2 KB on the wire, over the 1 MiB JSON limit inflated.
        {"bomb", compress("{\"serial\":\"A1\"" + QByteArray(2 << 20, ' ') + "}"), "gzip", 413},
        {"cut short", gzipped.left(gzipped.size() / 2), "gzip", 400},
        {"not gzip at all", body(report), "gzip", 400},
        {"a coding the server does not speak", gzipped, "br", 415},
    };
    for (const auto &c : cases) {
        Headers headers = signedByA1;
        headers.append({"Content-Encoding", c.coding});
        const HttpAnswer answer = raw("POST", "device_telemetry", c.body, headers);
        EXPECT_EQ(answer.status, c.status) << c.name << ": " << answer.body.toStdString();
    }

    const QJsonArray stored =
        call(m_a, "GET", "device_telemetry?serial=A1&hours=1").json.value("telemetry").toArray();
    ASSERT_EQ(stored.size(), 2) << "the two accepted reports";
    EXPECT_EQ(stored[0].toObject().value("cpu_usage").toDouble(), 42.5);
}

TEST_F(BodyEncodingTest, AnswersGoCompressedOnlyToClientsThatAskAndOnlyWhenLarger)
{
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(call(m_a, "POST", "device_telemetry", body(telemetry("A1"))).status, 200);
    const QString history = QStringLiteral("device_telemetry?serial=A1&hours=1");
    const Headers a1 = {{"X-Fleet-Key", m_a.key}, {"X-Device-Serial", "A1"}};

    // Named here, Qt's client neither offers its own codings nor inflates the answer.
    Headers identity = a1;
    identity.append(std::pair<QByteArray, QByteArray>("Accept-Encoding", "identity"));
    const HttpAnswer plain = raw("GET", history, {}, identity);
    ASSERT_EQ(plain.status, 200);
    EXPECT_EQ(plain.header("Content-Encoding"), QByteArray());

    Headers asking = a1;
    asking.append(std::pair<QByteArray, QByteArray>("Accept-Encoding", "gzip"));
    const HttpAnswer gzipped = raw("GET", history, {}, asking);
    ASSERT_EQ(gzipped.status, 200);
    EXPECT_EQ(gzipped.header("Content-Encoding"), "gzip");
    EXPECT_LT(gzipped.body.size(), plain.body.size());
    EXPECT_EQ(inflate(gzipped.body, 1 << 20).data, plain.body);

    Headers refusing = a1;
    refusing.append(std::pair<QByteArray, QByteArray>("Accept-Encoding", "gzip;q=0, identity"));
    EXPECT_EQ(raw("GET", history, {}, refusing).header("Content-Encoding"), QByteArray());
    const HttpAnswer small = raw("POST", "device_commands", R"({"serial":"A1"})", asking);
    ASSERT_EQ(small.status, 200);
    EXPECT_EQ(small.header("Content-Encoding"), QByteArray()) << "a poll answer is smaller than its gzip";
}

TEST_F(BodyEncodingTest, WithoutXDeviceSerialTheSerialTheRequestNamesIsChecked)
{
    const Headers keyOnly = {{"X-Fleet-Key", m_a.key}};
    Headers gzipKeyOnly = keyOnly;
    gzipKeyOnly.append(std::pair<QByteArray, QByteArray>("Content-Encoding", "gzip"));
    const struct {
        const char *name;
        QByteArray method;
        QString path;
        QByteArray body;
        Headers headers;
        int status;
    } cases[] = {
        {"poll naming its own machine", "POST", "device_commands", R"({"serial":"A1"})", keyOnly, 200},
        {"gzip report naming its own machine", "POST", "device_telemetry", compress(body(telemetry("A2"))),
         gzipKeyOnly, 200},
        {"policy read naming its machine in the query", "GET", "device_policy?serial=A2", {}, keyOnly, 200},
        {"poll naming another tenant's machine", "POST", "device_commands", R"({"serial":"B1"})", keyOnly, 403},
        {"read naming another tenant's machine", "GET", "device_policy?serial=B1", {}, keyOnly, 403},
        {"nothing names a machine", "GET", "app_updates", {}, keyOnly, 401},
    };
    for (const auto &c : cases) {
        const HttpAnswer answer = raw(c.method, c.path, c.body, c.headers);
        EXPECT_EQ(answer.status, c.status) << c.name << ": " << answer.body.toStdString();
    }
}

} // namespace
