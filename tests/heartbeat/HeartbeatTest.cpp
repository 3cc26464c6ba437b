#include "HeartbeatPrinters.h"
#include "ManualClock.h"
#include "ScriptedHttpTransport.h"
#include "heartbeat/Heartbeat.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using vesk::Heartbeat;
using vesk::HeartbeatConfig;
using vesk::HeartbeatPayload;
using vesk::HeartbeatStateValue;
using vesk::HttpResponse;
using vesk::HttpResult;
using vesk::test::ManualClock;
using vesk::test::ScriptedHttpTransport;

namespace {

using Lines = std::vector<std::pair<QString, QString>>; // (level, message)

const QString kEndpoint = QStringLiteral("https://fleet.example.com/api/heartbeat");
const QString kStarted = QStringLiteral("Heartbeat started (interval: 900s, app: warden)");

HeartbeatConfig config(QString endpoint = kEndpoint, double interval = 900)
{
    return HeartbeatConfig{QStringLiteral("warden"), QStringLiteral("2.3"), std::move(endpoint), interval, 2.5};
}

HeartbeatPayload payload(QString serial = QStringLiteral("C02X"))
{
    return HeartbeatPayload{QStringLiteral("EV-7"), std::move(serial), QStringLiteral("warden"), QStringLiteral("2.3"),
                            {{QStringLiteral("agentMode"), HeartbeatStateValue::boolean(false)},
                             {QStringLiteral("status"), HeartbeatStateValue::string(QStringLiteral("active"))}}};
}

Heartbeat::StateProvider fixedState()
{
    return []() -> QCoro::Task<HeartbeatPayload> { co_return payload(); };
}

std::unique_ptr<Heartbeat> makeHeartbeat(vesk::HttpTransport &transport, vesk::Clock &clock, Lines &lines,
                                         HeartbeatConfig cfg = config())
{
    auto heartbeat = std::make_unique<Heartbeat>(std::move(cfg), transport, clock);
    heartbeat->setLogger([&lines](const QString &level, const QString &message) { lines.emplace_back(level, message); });
    return heartbeat;
}

HttpResult answer(int status)
{
    return HttpResult{HttpResponse{status, {}, {}}, {}};
}

// Answers through `inner` only after two virtual seconds, so a test can act while a request is out.
class SlowTransport final : public vesk::HttpTransport {
public:
    SlowTransport(vesk::Clock &clock, vesk::HttpTransport &inner) : m_clock(clock), m_inner(inner) {}
    QCoro::Task<HttpResult> send(vesk::HttpRequest request) override
    {
        const bool slept = co_await m_clock.sleep(2s);
        Q_UNUSED(slept)
        const HttpResult result = co_await m_inner.send(std::move(request));
        co_return result;
    }

private:
    vesk::Clock &m_clock;
    vesk::HttpTransport &m_inner;
};

} // namespace

TEST(Heartbeat, PostsCompactJsonWithOnlyAContentTypeHeader)
{
    ManualClock clock;
    ScriptedHttpTransport transport;
    transport.expect("POST", QStringLiteral("/api/heartbeat"), 200);
    Lines lines;
    auto heartbeat = makeHeartbeat(transport, clock, lines);

    EXPECT_TRUE(QCoro::waitFor(heartbeat->sendOnce(payload())));
    ASSERT_EQ(transport.requests().size(), 1u);
    const vesk::HttpRequest &request = transport.requests().front();
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.url, QUrl(kEndpoint));
    EXPECT_EQ(request.headers, (vesk::HttpHeaders{{"Content-Type", "application/json"}}));
    EXPECT_EQ(request.timeout, 2500ms);
    EXPECT_EQ(request.body, QByteArray(R"({"app":"warden","eventcode":"EV-7","serial":"C02X",)"
                                       R"("state":{"agentMode":false,"status":"active"},"version":"2.3"})"));
}

TEST(Heartbeat, OnlyA2xxAnswerCountsAsSuccess)
{
    struct Case {
        const char *name;
        HttpResult result;
        bool wantOk;
        std::pair<QString, QString> wantLine;
        QString wantError; // what the agent's status shows
    };
    const Case cases[] = {
        {"200", answer(200), true, {"info", "HEARTBEAT OK HTTP 200"}, ""},
        {"204 without body", answer(204), true, {"info", "HEARTBEAT OK HTTP 204"}, ""},
        {"redirect is not followed", answer(301), false, {"error", "HEARTBEAT HTTP 301"}, "HTTP 301"},
        {"server error", answer(500), false, {"error", "HEARTBEAT HTTP 500"}, "HTTP 500"},
        {"transport failure", HttpResult::failure(QStringLiteral("The request timed out.")), false,
         {"error", "HEARTBEAT failed: The request timed out."}, "The request timed out."},
    };
    for (const Case &tc : cases) {
        ManualClock clock;
        ScriptedHttpTransport transport;
        transport.allowRepeated("POST", QStringLiteral("/api/heartbeat"), tc.result);
        Lines lines;
        auto heartbeat = makeHeartbeat(transport, clock, lines);
        std::vector<vesk::HeartbeatOutcome> outcomes;
        QObject::connect(heartbeat.get(), &Heartbeat::beatFinished,
                         [&outcomes](const vesk::HeartbeatOutcome &outcome) { outcomes.push_back(outcome); });

        EXPECT_EQ(QCoro::waitFor(heartbeat->sendOnce(payload())), tc.wantOk) << tc.name;
        EXPECT_EQ(outcomes, (std::vector{vesk::HeartbeatOutcome{clock.now(), tc.wantOk, tc.wantError}})) << tc.name;
        EXPECT_EQ(heartbeat->lastAttemptAt(), clock.now()) << tc.name;
        EXPECT_EQ(heartbeat->lastSuccessAt(), tc.wantOk ? std::optional(clock.now()) : std::nullopt) << tc.name;
        EXPECT_EQ(lines, Lines{tc.wantLine}) << tc.name;
    }
}

TEST(Heartbeat, UnencodablePayloadIsLoggedAndNotSent)
{
    ManualClock clock;
    ScriptedHttpTransport transport; // no request expected: any would fail the test
    Lines lines;
    auto heartbeat = makeHeartbeat(transport, clock, lines);

    EXPECT_FALSE(QCoro::waitFor(heartbeat->sendOnce(payload(QStringLiteral("C02X") + QChar(0xDC00)))));
    EXPECT_EQ(lines, (Lines{{"error", R"(HEARTBEAT encode failed: The text of "serial" is not valid Unicode)"}}));
    EXPECT_EQ(heartbeat->lastAttemptAt(), clock.now());
}

TEST(Heartbeat, BadEndpointLogsOnceEveryIntervalAndSendsNothing)
{
    const QString endpoints[] = {QStringLiteral("not a url"), QString(), QStringLiteral("fleet.example.com/api/heartbeat"),
                                 QStringLiteral("https:///api/heartbeat")};
    for (const QString &endpoint : endpoints) {
        ManualClock clock;
        ScriptedHttpTransport transport; // no request expected
        Lines lines;
        auto heartbeat = makeHeartbeat(transport, clock, lines, config(endpoint));
        heartbeat->start(fixedState());
        clock.advance(900s);
        clock.advance(900s);

        const std::pair<QString, QString> bad{"error", QStringLiteral("HEARTBEAT bad endpoint URL: ") + endpoint};
        EXPECT_EQ(lines, (Lines{{"info", kStarted}, bad, bad, bad})) << endpoint.toStdString();
        EXPECT_EQ(heartbeat->lastSuccessAt(), std::nullopt);
    }
}

TEST(Heartbeat, BeatsAtOnceThenEveryIntervalAndSurvivesFailures)
{
    ManualClock clock;
    const QDateTime t0 = clock.now();
    ScriptedHttpTransport transport;
    transport.expectFailure("POST", QStringLiteral("/api/heartbeat"), QStringLiteral("Could not connect to the server."))
        .expect("POST", QStringLiteral("/api/heartbeat"), 500)
        .expect("POST", QStringLiteral("/api/heartbeat"), 200);
    Lines lines;
    auto heartbeat = makeHeartbeat(transport, clock, lines);

    heartbeat->start(fixedState());
    EXPECT_TRUE(heartbeat->isRunning());
    EXPECT_EQ(transport.requests().size(), 1u);
    clock.advance(899s);
    EXPECT_EQ(transport.requests().size(), 1u);
    clock.advance(1s);
    EXPECT_EQ(transport.requests().size(), 2u);
    EXPECT_EQ(heartbeat->lastAttemptAt(), t0.addSecs(900));
    clock.advance(900s);
    EXPECT_EQ(transport.requests().size(), 3u);
    EXPECT_EQ(heartbeat->lastSuccessAt(), t0.addSecs(1800));
    EXPECT_EQ(lines, (Lines{{"info", kStarted},
                            {"error", "HEARTBEAT failed: Could not connect to the server."},
                            {"error", "HEARTBEAT HTTP 500"},
                            {"info", "HEARTBEAT OK HTTP 200"}}));
    EXPECT_EQ(clock.nextWakeIn(), 900s);
}

TEST(Heartbeat, StartingTwiceLeavesOneLoop)
{
    ManualClock clock;
    ScriptedHttpTransport transport;
    transport.allowRepeated("POST", QStringLiteral("/api/heartbeat"), answer(200));
    Lines lines;
    auto heartbeat = makeHeartbeat(transport, clock, lines);

    heartbeat->start(fixedState());
    clock.advance(100s);
    heartbeat->start(fixedState());
    EXPECT_EQ(transport.requests().size(), 2u); // each start beats at once
    EXPECT_EQ(clock.sleeperCount(), 1u);
    clock.advance(900s); // the first loop would have beaten at 900 s too
    EXPECT_EQ(transport.requests().size(), 3u);
    EXPECT_EQ(clock.nextWakeIn(), 900s);
}

TEST(Heartbeat, StopIsIdempotentAndLeavesNoSleeper)
{
    ManualClock clock;
    ScriptedHttpTransport transport;
    transport.allowRepeated("POST", QStringLiteral("/api/heartbeat"), answer(204));
    Lines lines;
    auto heartbeat = makeHeartbeat(transport, clock, lines);

    heartbeat->stop();
    heartbeat->start(fixedState());
    heartbeat->stop();
    heartbeat->stop();
    EXPECT_FALSE(heartbeat->isRunning());
    EXPECT_EQ(clock.sleeperCount(), 0u);
    clock.advance(3600s);
    EXPECT_EQ(transport.requests().size(), 1u);
}

// A loop suspended in the state provider or in the request must end quietly when the heartbeat is
// stopped or destroyed meanwhile: no beat afterwards, no sleeper left, no touch of a dead object.
TEST(Heartbeat, LoopEndsAfterAnySuspensionOnceStoppedOrDestroyed)
{
    enum class Pending { Provider, Request };
    enum class End { Stop, Destroy };
    struct Case {
        const char *name;
        Pending pending;
        End end;
        std::size_t wantRequests;
    };
    const Case cases[] = {
        {"stopped while building the payload", Pending::Provider, End::Stop, 0},
        {"destroyed while building the payload", Pending::Provider, End::Destroy, 0},
        {"stopped with the request out", Pending::Request, End::Stop, 1},
        {"destroyed with the request out", Pending::Request, End::Destroy, 1},
    };
    for (const Case &tc : cases) {
        ManualClock clock;
        ScriptedHttpTransport scripted;
        if (tc.wantRequests > 0)
            scripted.expect("POST", QStringLiteral("/api/heartbeat"), 200);
        SlowTransport slow(clock, scripted);
        Lines lines;
        auto heartbeat = makeHeartbeat(tc.pending == Pending::Request ? static_cast<vesk::HttpTransport &>(slow)
                                                                      : scripted,
                                       clock, lines);
        Heartbeat::StateProvider provider = fixedState();
        if (tc.pending == Pending::Provider) {
            provider = [&clock]() -> QCoro::Task<HeartbeatPayload> {
                const bool slept = co_await clock.sleep(5s);
                Q_UNUSED(slept)
                co_return payload();
            };
        }
        heartbeat->start(provider);
        if (tc.end == End::Stop)
            heartbeat->stop();
        else
            heartbeat.reset();
        clock.advance(1800s);

        EXPECT_EQ(scripted.requests().size(), tc.wantRequests) << tc.name;
        EXPECT_EQ(clock.sleeperCount(), 0u) << tc.name;
        EXPECT_EQ(lines.size(), tc.end == End::Stop && tc.pending == Pending::Request ? 2u : 1u) << tc.name;
    }
}

TEST(Heartbeat, DefaultLoggerPrintsLocalTimeAndMessage)
{
    ManualClock clock; // 09:00 UTC, 10:00 in Berlin in March
    clock.setTimeZone(QTimeZone("Europe/Berlin"));
    ScriptedHttpTransport transport;
    transport.expect("POST", QStringLiteral("/api/heartbeat"), 200);
    Heartbeat heartbeat(config(kEndpoint, 60.75), transport, clock);

    testing::internal::CaptureStdout();
    heartbeat.start(fixedState());
    heartbeat.stop();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[10:00:00] Heartbeat started (interval: 60s, app: warden)\n[10:00:00] HEARTBEAT OK HTTP 200\n");
}

TEST(Heartbeat, MachineSerialFallsBackToHostNameThenUnknown)
{
    struct Case {
        const char *name;
        Heartbeat::TextSource serial;
        Heartbeat::TextSource host;
        QString want;
    };
    const auto text = [](const char *value) { return [value]() { return QString::fromUtf8(value); }; };
    const Case cases[] = {
        {"hardware serial wins", text("C02X1234"), text("studio-3"), "C02X1234"},
        {"empty serial uses host name", text(""), text("studio-3"), "studio-3"},
        {"neither", text(""), text(""), "unknown"},
        {"no sources at all", {}, {}, "unknown"},
    };
    for (const Case &tc : cases) {
        ManualClock clock;
        ScriptedHttpTransport transport;
        const Heartbeat heartbeat(config(), transport, clock, tc.serial, tc.host);
        EXPECT_EQ(heartbeat.machineSerial(), tc.want) << tc.name;
    }
}
