#include "HeartbeatPrinters.h"
#include "wire/HeartbeatPayload.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using vesk::HeartbeatPayload;
using vesk::HeartbeatStateValue;

namespace {

// The first element of a JSON array literal, so each case starts from real JSON text.
QJsonValue parseScalar(const char *literal)
{
    return QJsonDocument::fromJson(QByteArray("[") + literal + "]").array().at(0);
}

QJsonObject parseObject(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

} // namespace

TEST(HeartbeatStateValue, DecodesBooleanThenIntegerThenString)
{
    struct Case {
        const char *name;
        const char *json;
        std::optional<HeartbeatStateValue> want;
    };
    const Case cases[] = {
        {"true is a boolean", "true", HeartbeatStateValue::boolean(true)},
        {"false is a boolean", "false", HeartbeatStateValue::boolean(false)},
        {"1 is an integer", "1", HeartbeatStateValue::integer(1)},
        {"negative integer", "-42", HeartbeatStateValue::integer(-42)},
        {"whole number written with a fraction", "3.0", HeartbeatStateValue::integer(3)},
        {"the text true stays text", "\"true\"", HeartbeatStateValue::string(QStringLiteral("true"))},
        {"the text 1 stays text", "\"1\"", HeartbeatStateValue::string(QStringLiteral("1"))},
        {"empty text", "\"\"", HeartbeatStateValue::string(QString())},
        {"null", "null", std::nullopt},
        {"array", "[true]", std::nullopt},
        {"object", "{\"a\":1}", std::nullopt},
        {"fraction", "1.5", std::nullopt},
        {"beyond 64 bits", "1e20", std::nullopt},
    };
    for (const Case &tc : cases) {
        QString error;
        const auto got = HeartbeatStateValue::fromJson(parseScalar(tc.json), &error);
        EXPECT_EQ(got, tc.want) << tc.name;
        EXPECT_EQ(error, tc.want ? QString() : QStringLiteral("Unexpected heartbeat state value")) << tc.name;
    }
}

TEST(HeartbeatStateValue, EncodesAsABareScalarOfItsOwnType)
{
    const QJsonArray encoded{HeartbeatStateValue::string(QStringLiteral("1")).toJson(),
                             HeartbeatStateValue::integer(9007199254740993).toJson(),
                             HeartbeatStateValue::boolean(false).toJson()};
    EXPECT_EQ(QJsonDocument(encoded).toJson(QJsonDocument::Compact), QByteArray(R"(["1",9007199254740993,false])"));
}

TEST(HeartbeatPayload, RoundTripsThroughJson)
{
    const HeartbeatPayload payload{QString(), QStringLiteral("C02X"), QStringLiteral("warden"), QStringLiteral("1.0"),
                                   {{QStringLiteral("status"), HeartbeatStateValue::string(QStringLiteral("active"))},
                                    {QStringLiteral("agentMode"), HeartbeatStateValue::boolean(true)},
                                    {QStringLiteral("uptime"), HeartbeatStateValue::integer(86400)}}};
    const auto decoded = HeartbeatPayload::fromJson(parseObject(*payload.encode()));
    EXPECT_EQ(decoded, payload);
}

TEST(HeartbeatPayload, RejectsMissingOrMistypedMembers)
{
    struct Case {
        const char *name;
        const char *json;
        QString wantError;
    };
    const Case cases[] = {
        {"no eventcode", R"({"serial":"S","app":"a","version":"1","state":{}})", R"(Missing key "eventcode")"},
        {"no state", R"({"eventcode":"","serial":"S","app":"a","version":"1"})", R"(Missing key "state")"},
        {"serial is a number", R"({"eventcode":"","serial":5,"app":"a","version":"1","state":{}})",
         R"(Expected a string for "serial")"},
        {"version is null", R"({"eventcode":"","serial":"S","app":"a","version":null,"state":{}})",
         R"(Expected a string for "version")"},
        {"state is an array", R"({"eventcode":"","serial":"S","app":"a","version":"1","state":[]})",
         R"(Expected an object for "state")"},
        {"state value is a fraction", R"({"eventcode":"","serial":"S","app":"a","version":"1","state":{"x":0.5}})",
         R"(Unexpected heartbeat state value for "state.x")"},
    };
    for (const Case &tc : cases) {
        QString error;
        EXPECT_EQ(HeartbeatPayload::fromJson(parseObject(tc.json), &error), std::nullopt) << tc.name;
        EXPECT_EQ(error, tc.wantError) << tc.name;
    }
}

TEST(HeartbeatPayload, RefusesToEncodeTextWithoutAUnicodeForm)
{
    const QString lone(QChar(0xD800));
    HeartbeatPayload bySerial{QString(), QStringLiteral("S") + lone, QStringLiteral("warden"), QStringLiteral("1"), {}};
    HeartbeatPayload byState{QString(), QStringLiteral("S"), QStringLiteral("warden"), QStringLiteral("1"),
                             {{QStringLiteral("status"), HeartbeatStateValue::string(lone)}}};
    QString error;
    EXPECT_EQ(bySerial.encode(&error), std::nullopt);
    EXPECT_EQ(error, QStringLiteral(R"(The text of "serial" is not valid Unicode)"));
    EXPECT_EQ(byState.encode(&error), std::nullopt);
    EXPECT_EQ(error, QStringLiteral(R"(The text of "state.status" is not valid Unicode)"));
}
