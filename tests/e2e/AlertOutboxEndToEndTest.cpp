// Alert reports against the real fleet server: made while it is down, they wait in the
// outbox file; the next run of the service delivers them in order once it is up, and
// never again.
#include "AgentProcess.h"
#include "AgentSide.h"
#include "LogCapture.h"

#include "alerts/AlertReportingApi.h"
#include "alerts/AlertService.h"
#include "platform/Notifier.h"
#include "wire/HeartbeatPayload.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

const QString kTenant = QStringLiteral("ALRT2026");
const QString kSerial = QStringLiteral("E2E-ALERTS-1");

struct SilentNotifier final : Notifier {
    void post(const LocalNotification &) override {}
};

// The alert service of one agent run over `side`'s fleet client.
struct AlertRun {
    AlertRun(AgentSide &side, const QString &outboxFile)
        : reporting(side.api),
          service({side.settings, reporting, notifier, side.clock, kSerial, QStringLiteral("linux"), outboxFile})
    {
    }
    SilentNotifier notifier;
    FleetClientAlertReporting reporting;
    AlertService service;
};

WardenAlert shareAlert(const QString &title)
{
    return WardenAlert::make(AlertSeverity::warning, AlertCategory::network, title, QStringLiteral("Share not answering"),
                             kSerial, QDateTime::currentDateTimeUtc());
}

// The titles `vesk-fleetd alerts list` shows, oldest first.
QStringList listedTitles(const QString &db)
{
    QStringList titles;
    const QStringList lines = fleetdAdmin({QStringLiteral("alerts"), QStringLiteral("list"), kTenant}, db)
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines)
        titles.prepend(line.section(QLatin1Char('\t'), 6, 6));
    return titles;
}

} // namespace

TEST(AlertOutboxEndToEnd, ReportsMadeWhileTheServerIsDownArriveInOrderOnceItIsUp)
{
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("agent-home"));
    FleetServer server(dir.path());
    ASSERT_FALSE(server.baseUrl().isEmpty());
    fleetdAdmin({QStringLiteral("tenant"), QStringLiteral("add"), kTenant}, server.dbPath());
    fleetdAdmin({QStringLiteral("event"), QStringLiteral("add"), kTenant, QStringLiteral("EVT-AL")}, server.dbPath());
    const QString code =
        secretCodeOf(fleetdAdmin({QStringLiteral("secret"), QStringLiteral("issue"), kTenant}, server.dbPath()));

    // The machine has beaten once and is paired.
    QString outbox;
    {
        AgentSide side(home, server.baseUrl(), kSerial);
        outbox = side.paths.storageDir + QStringLiteral("/alert-outbox.json");
        side.settings.setTenantCode(kTenant);
        HttpRequest beat;
        beat.method = "POST";
        beat.url = QUrl(server.baseUrl() + QStringLiteral("/heartbeat"));
        beat.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
        beat.body = *HeartbeatPayload{QStringLiteral("EVT-AL"), kSerial, QStringLiteral("warden"), QStringLiteral("1.0"), {}}
                         .encode();
        const HttpResult beaten = QCoro::waitFor(side.http.send(beat));
        ASSERT_TRUE(beaten.ok() && beaten.response->status == 200) << beaten.error.toStdString();
        const PairResult paired = QCoro::waitFor(side.secrets.pair(code));
        ASSERT_TRUE(paired.paired) << paired.message.toStdString();
    }

    // Down: nothing listens where this run sends.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString deadUrl = QStringLiteral("http://127.0.0.1:%1/api").arg(probe.serverPort());
    probe.close();
    {
        LogCapture log;
        AgentSide side(home, deadUrl, kSerial);
        AlertRun run(side, outbox);
        for (const char *title : {"Share A", "Share B", "Share C"})
            run.service.raise(shareAlert(QString::fromLatin1(title)));
        // The one attempt ends refused before this run ends.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !log.messages("alerts").filter("Alert report failed: ").isEmpty(); },
                                    10000));
        EXPECT_TRUE(QFile::exists(outbox));
        EXPECT_EQ(run.service.outbox().size(), 3);
    }
    EXPECT_TRUE(listedTitles(server.dbPath()).isEmpty());

    // Up, in the next run: delivered as it starts, oldest first.
    {
        AgentSide side(home, server.baseUrl(), kSerial);
        AlertRun run(side, outbox);
        ASSERT_EQ(run.service.outbox().size(), 3);
        run.service.start([] { return HealthSample{}; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return run.service.outbox().isEmpty(); }, 15000));
        run.service.stop();
    }
    EXPECT_EQ(listedTitles(server.dbPath()), (QStringList{"Share A", "Share B", "Share C"}));

    // And once: a further run finds nothing left to send.
    {
        AgentSide side(home, server.baseUrl(), kSerial);
        AlertRun run(side, outbox);
        EXPECT_TRUE(run.service.outbox().isEmpty());
        run.service.raise(shareAlert(QStringLiteral("Share D")));
        EXPECT_TRUE(QTest::qWaitFor([&] { return run.service.outbox().isEmpty(); }, 15000));
    }
    EXPECT_EQ(listedTitles(server.dbPath()), (QStringList{"Share A", "Share B", "Share C", "Share D"}));
    EXPECT_EQ(server.stop(), 0);
}
