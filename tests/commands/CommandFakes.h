#pragma once

#include <utility>

#include "commands/FleetCommandChannel.h"
#include "commands/MessageCommands.h"
#include "commands/PayloadCommands.h"
#include "commands/PostCommandReports.h"
#include "commands/UpdateCommands.h"
#include "platform/Clock.h"

#include <deque>
#include <vector>

namespace vesk::test {

// The fleet as the poller sees it: scripted poll answers (none pending once the script
// runs out), and every result and log upload (the poller's AppLogUpload) recorded. A result
// is recorded when its post completes, which slowReports() delays on a (manual) clock.
class FakeCommandChannel final : public FleetCommandChannel {
public:
    struct Report {
        qint64 id;
        bool success;
        std::optional<QString> result;
        bool operator==(const Report &) const = default;
    };

    void queue(QList<FleetCommand> commands) { m_polls.push_back(FleetPendingCommands{{}, std::move(commands)}); }
    void queueFailure(const QString &error) { m_polls.push_back(APIError::networkError(error)); }
    void failReports(bool fail) { m_failReports = fail; }
    void failUploads(bool fail) { m_failUploads = fail; }
    void slowReports(Clock &clock, std::chrono::milliseconds latency)
    {
        m_reportClock = &clock;
        m_reportLatency = latency;
    }

    int fetches = 0;
    std::vector<Report> reports;
    std::vector<std::pair<QString, QString>> uploads; // bundle id, text

    QCoro::Task<APIResult<FleetPendingCommands>> fetchPendingCommands() override
    {
        ++fetches;
        if (m_polls.empty())
            co_return FleetPendingCommands{};
        APIResult<FleetPendingCommands> next = m_polls.front();
        m_polls.pop_front();
        co_return next;
    }
    QCoro::Task<APIStatus> reportCommandResult(qint64 id, bool success, std::optional<QString> result) override
    {
        if (m_reportClock) {
            const bool waited = co_await m_reportClock->sleep(m_reportLatency);
            Q_UNUSED(waited)
        }
        reports.push_back({id, success, std::move(result)});
        co_return m_failReports ? APIStatus(APIError::serverError(QStringLiteral("HTTP 500"))) : APIStatus();
    }
    QCoro::Task<APIStatus> uploadAppLog(QString bundleId, QString text)
    {
        uploads.emplace_back(bundleId, text);
        co_return m_failUploads ? APIStatus(APIError::serverError(QStringLiteral("HTTP 413"))) : APIStatus();
    }

private:
    std::deque<APIResult<FleetPendingCommands>> m_polls;
    bool m_failReports = false;
    bool m_failUploads = false;
    Clock *m_reportClock = nullptr;
    std::chrono::milliseconds m_reportLatency{0};
};

class FakeReports final : public PostCommandReports {
public:
    int appReports = 0;
    int telemetryReports = 0;
    int appCount = 12;
    bool monitorAttached = true;
    std::optional<QString> appError;
    std::optional<QString> telemetryError;
    // How many results the fleet had seen when each report went out.
    std::function<std::size_t()> reportsSoFar;
    std::vector<std::size_t> resultsBeforeTelemetry;

    QCoro::Task<InstalledAppsReport> reportInstalledApps() override
    {
        ++appReports;
        co_return InstalledAppsReport{appCount, appError};
    }
    bool canReportTelemetry() const override { return monitorAttached; }
    QCoro::Task<std::optional<QString>> reportTelemetry() override
    {
        ++telemetryReports;
        if (reportsSoFar)
            resultsBeforeTelemetry.push_back(reportsSoFar());
        co_return std::as_const(telemetryError);
    }
};

class FakePayloads final : public PayloadCommands {
public:
    std::vector<qint64> deployed;
    std::vector<QString> restored;

    QCoro::Task<CommandResult> deployPayload(qint64 id) override
    {
        deployed.push_back(id);
        co_return CommandResult::ok(QStringLiteral("Deployed %1").arg(id));
    }
    QCoro::Task<CommandResult> restorePayloadBackup(QString path) override
    {
        restored.push_back(path);
        co_return CommandResult::failure(QStringLiteral("Missing target_path parameter"));
    }
};

class FakeMessages final : public MessageCommands {
public:
    std::optional<QMap<QString, QString>> shown;
    qint64 shownBy = 0;
    int restores = 0;

    CommandResult showMessage(qint64 id, const QMap<QString, QString> &params) override
    {
        shown = params;
        shownBy = id;
        return CommandResult::ok(QStringLiteral("Message displayed (dismissable)"));
    }
    CommandResult clearMessage() override
    {
        const bool wasShown = shown.has_value();
        shown.reset();
        return CommandResult::ok(wasShown ? QStringLiteral("Message cleared") : QStringLiteral("No message was on screen"));
    }
    void restoreMessage() override { ++restores; }
};

class FakeUpdates final : public UpdateCommands {
public:
    QList<AvailableUpdate> available;
    std::vector<std::pair<AvailableUpdate, QMap<QString, QString>>> installs;
    CommandResult answer = CommandResult::ok(QStringLiteral("Updated"));

    QList<AvailableUpdate> availableUpdates() const override { return available; }
    QCoro::Task<CommandResult> update(AvailableUpdate update, QMap<QString, QString> pins) override
    {
        installs.emplace_back(update, pins);
        co_return std::as_const(answer);
    }
};

inline AvailableUpdate offer(const QString &bundleId, const QString &version)
{
    AvailableUpdate update;
    update.bundleId = bundleId;
    update.version = version;
    update.downloadUrl = QStringLiteral("https://releases.example.com/") + bundleId + QStringLiteral(".zip");
    return update;
}

} // namespace vesk::test
