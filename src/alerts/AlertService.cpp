#include "alerts/AlertService.h"

#include "alerts/AlertReportingApi.h"
#include "alerts/HealthRules.h"
#include "monitor/SystemMonitor.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/LogCategories.h"
#include "platform/Notifier.h"
#include "settings/FleetSettingsStore.h"

#include <QRegularExpression>

using namespace std::chrono_literals;

namespace vesk {

namespace {
constexpr auto kEvaluationPeriod = 30s;
constexpr auto kLowDataEvaluationPeriod = 300s;
constexpr qint64 kReportWindowSeconds = 300;
constexpr QLatin1String kEventCodeKey("warden_eventcode");
constexpr QLatin1String kAlertScopeKey("warden_alert_scope");

// One condition across samples: a category (its severity may change while it holds), or for
// hung apps the app.
QString conditionKey(const WardenAlert &alert)
{
    const QString category = AlertCategories::rawValue(alert.category);
    return alert.category == AlertCategory::appHung ? category + QLatin1Char('/') + alert.title : category;
}

// A 400-class answer other than 408 and 429: the server will never take this report.
bool refusedForGood(const APIError &error)
{
    static const QRegularExpression status(QStringLiteral("\\((4\\d\\d)\\)$"));
    const QRegularExpressionMatch match = status.match(error.message());
    return error.code() == APIError::Code::serverError && match.hasMatch() && match.captured(1) != QLatin1String("408") &&
           match.captured(1) != QLatin1String("429");
}
} // namespace

AlertService::AlertService(Dependencies deps, QObject *parent)
    : QObject(parent), m_settings(deps.settings), m_api(deps.api), m_notifier(deps.notifier), m_clock(deps.clock),
      m_serial(std::move(deps.serial)), m_pushPlatform(std::move(deps.pushPlatform)),
      m_outbox(std::move(deps.outboxFile))
{
}

AlertService::~AlertService()
{
    stop();
}

void AlertService::start(SystemMonitor &monitor)
{
    QPointer<SystemMonitor> source(&monitor);
    start([source] { return source ? HealthSample{source->snapshot(), source->appSnapshots()} : HealthSample{}; });
}

void AlertService::start(HealthSource source)
{
    if (m_loopStop)
        return;
    m_loopStop.emplace();
    // What an earlier run could not deliver goes first.
    if (!m_outbox.isEmpty())
        deliverOutbox(QPointer<AlertService>(this), QStringLiteral("Alert report failed: "));
    evaluationLoop(QPointer<AlertService>(this), std::move(source), m_loopStop->token());
}

void AlertService::stop()
{
    if (!m_loopStop)
        return;
    m_loopStop->requestStop();
    m_loopStop.reset();
}

QCoro::Task<> AlertService::evaluationLoop(QPointer<AlertService> self, HealthSource source, StopToken token)
{
    Clock &clock = self->m_clock;
    for (;;) {
        const auto period = self->m_settings.lowDataMode() ? kLowDataEvaluationPeriod : kEvaluationPeriod;
        const bool slept = co_await clock.sleep(period, token);
        if (!slept || !self || token.stopRequested())
            co_return;
        self->evaluate(source());
    }
}

void AlertService::readThresholds()
{
    QStringList invalid;
    m_thresholds = AlertThresholds::fromDefaults(m_settings.defaults(), &invalid);
    // One line per change of the bad values, not one per evaluation.
    if (!invalid.isEmpty() && invalid != m_invalidThresholdKeys)
        qCWarning(lcAlerts).noquote() << "Alert thresholds out of range, using the defaults for:"
                                      << invalid.join(QStringLiteral(", "));
    m_invalidThresholdKeys = invalid;
}

void AlertService::evaluate(const HealthSample &sample)
{
    // While the server is away the outbox is retried once an evaluation.
    if (!m_outbox.isEmpty())
        deliverOutbox(QPointer<AlertService>(this), QStringLiteral("Alert report failed: "));
    readThresholds();
    const QList<WardenAlert> fresh =
        confirmedAlerts(healthAlerts(sample.snapshot, sample.apps, m_thresholds, m_serial, m_clock.now()));
    // Offline and network alerts belong to their own producers and survive evaluations.
    QList<WardenAlert> active = fresh;
    for (const WardenAlert &alert : std::as_const(m_activeAlerts)) {
        if (alert.category == AlertCategory::offline || alert.category == AlertCategory::network)
            active << alert;
    }
    m_activeAlerts = active;
    processNewAlerts(fresh);
    emit alertsChanged();
}

QList<WardenAlert> AlertService::confirmedAlerts(const QList<WardenAlert> &sampled)
{
    QList<WardenAlert> confirmed;
    QHash<QString, int> streaks;
    for (const WardenAlert &alert : sampled) {
        const QString condition = conditionKey(alert);
        const int streak = std::min(m_streaks.value(condition) + 1, m_thresholds.consecutiveSamples);
        streaks.insert(condition, streak);
        if (streak >= m_thresholds.consecutiveSamples)
            confirmed << alert;
    }
    m_streaks = streaks;
    for (auto it = m_holding.begin(); it != m_holding.end();) {
        if (streaks.contains(it.key())) {
            ++it;
            continue;
        }
        reportResolved(*it);
        // Should it come back, it is news again.
        m_lastReported.remove(it->key());
        m_lastPosted.remove(it.key());
        it = m_holding.erase(it);
    }
    return confirmed;
}

void AlertService::processNewAlerts(const QList<WardenAlert> &alerts)
{
    const QDateTime now = m_clock.now();
    const qint64 repostAfter = m_settings.lowDataMode() ? lowDataRepostSeconds : repostSeconds;
    const auto repostPeriod = m_clock.period(std::chrono::seconds(repostAfter));
    for (const WardenAlert &alert : alerts) {
        const QString key = alert.key();
        const auto last = m_lastReported.constFind(key);
        const bool inWindow = last != m_lastReported.cend() && last->secsTo(now) < kReportWindowSeconds;
        const QString condition = conditionKey(alert);
        const auto posted = m_lastPosted.constFind(condition);
        const bool severityChanged = posted != m_lastPosted.cend() && posted->severity != alert.severity;
        // A severity that changes back within the window is news to the server, not to the desktop.
        if (inWindow && !severityChanged)
            continue;
        if (!inWindow) {
            m_lastReported.insert(key, now);
            record(alert);
            postLocalNotification(alert);
        }
        if (alert.category != AlertCategory::offline && alert.category != AlertCategory::network)
            m_holding.insert(condition, alert);
        // The server keeps an unchanged condition active until its clearing arrives.
        if (posted != m_lastPosted.cend() && !severityChanged && posted->at.msecsTo(now) < repostPeriod.count())
            continue;
        m_lastPosted.insert(condition, Posted{alert.severity, now});
        reportAlert(alert, QStringLiteral("Alert report failed: "));
    }
}

void AlertService::record(const WardenAlert &alert)
{
    m_alertHistory.prepend(alert);
    while (m_alertHistory.size() > historyLimit)
        m_alertHistory.removeLast();
}

void AlertService::raise(const WardenAlert &alert)
{
    for (const WardenAlert &active : std::as_const(m_activeAlerts)) {
        if (active.category == alert.category && active.title == alert.title)
            return;
    }
    m_activeAlerts << alert;
    record(alert);
    postLocalNotification(alert);
    reportAlert(alert, QStringLiteral("Alert report failed: "));
    emit alertsChanged();
}

void AlertService::clear(AlertCategory category, const QString &title)
{
    const auto removed = m_activeAlerts.removeIf(
        [&](const WardenAlert &alert) { return alert.category == category && alert.title == title; });
    if (removed > 0)
        emit alertsChanged();
}

bool AlertService::shouldNotify(const WardenAlert &alert) const
{
    const auto code = m_serialLocationCodes.constFind(alert.serial);
    if (code == m_serialLocationCodes.cend())
        return true;
    const QList<LocationNotificationRule> rules = m_settings.locationNotificationRules();
    for (const LocationNotificationRule &rule : rules) {
        if (rule.locationCode == *code)
            return rule.allowsCategory(AlertCategories::rawValue(alert.category), m_clock.now());
    }
    return true;
}

void AlertService::postLocalNotification(const WardenAlert &alert)
{
    if (!shouldNotify(alert))
        return;
    m_notifier.post(LocalNotification{alert.id.toString(QUuid::WithoutBraces).toUpper(), alert.title, alert.message,
                                      QStringLiteral("WARDEN_ALERT"), alert.severity == AlertSeverity::critical,
                                      alert.key()});
}

void AlertService::reportAlert(const WardenAlert &alert, const QString &failurePrefix)
{
    AlertReport report{alert.serial,
                       AlertSeverities::rawValue(alert.severity),
                       AlertCategories::rawValue(alert.category),
                       alert.title,
                       alert.message,
                       alert.timestamp,
                       std::nullopt,
                       std::nullopt};
    send(std::move(report), failurePrefix);
}

void AlertService::reportResolved(const WardenAlert &alert)
{
    qCInfo(lcAlerts).noquote() << "Resolved:" << alert.title;
    AlertReport report{alert.serial,
                       AlertSeverities::rawValue(AlertSeverity::info),
                       AlertCategories::rawValue(alert.category),
                       QStringLiteral("Resolved: ") + alert.title,
                       QStringLiteral("No longer holds (was: %1)").arg(alert.message),
                       m_clock.now(),
                       std::nullopt,
                       true};
    send(std::move(report), QStringLiteral("Alert report failed: "));
}

void AlertService::send(AlertReport report, const QString &failurePrefix)
{
    const QString tenant = m_settings.tenantCode();
    if (!tenant.isEmpty())
        report.tenantCode = tenant;
    // Through the outbox, so that reports reach the server in the order they were made. Behind
    // reports that wait already it waits too, for the next evaluation's retry.
    const bool waiting = !m_outbox.isEmpty();
    m_outbox.append(std::move(report));
    if (!waiting)
        deliverOutbox(QPointer<AlertService>(this), failurePrefix);
}

QCoro::Task<> AlertService::deliverOutbox(QPointer<AlertService> self, QString failurePrefix)
{
    if (!self || self->m_delivering)
        co_return;
    self->m_delivering = true;
    AlertReportingApi &api = self->m_api;
    while (self && !self->m_outbox.isEmpty()) {
        const AlertReport next = self->m_outbox.first();
        const APIStatus status = co_await api.reportAlert(next);
        if (!self)
            co_return;
        if (!status) {
            qCWarning(lcAlerts).noquote() << failurePrefix + status.error().message();
            // Unreachable or busy: it waits, and so does everything after it.
            if (!refusedForGood(status.error()))
                break;
        }
        self->m_outbox.removeDelivered(next);
    }
    if (self)
        self->m_delivering = false;
}

void AlertService::setCachedPushToken(const QString &hexToken)
{
    m_cachedPushToken = hexToken.toLower();
}

void AlertService::setPushTokenRegistered(bool registered)
{
    if (m_pushTokenRegistered == registered)
        return;
    m_pushTokenRegistered = registered;
    emit pushTokenRegisteredChanged(registered);
}

QCoro::Task<> AlertService::registerPushToken()
{
    QPointer<AlertService> self(this);
    const QString tenant = m_settings.tenantCode();
    if (tenant.isEmpty() || !m_cachedPushToken)
        co_return;
    AlertReportingApi &api = m_api;
    const bool paired = co_await api.isConfigured();
    if (!paired || !self)
        co_return;
    const DefaultsStore &defaults = m_settings.defaults();
    PushTokenRegistration registration;
    registration.serial = m_serial;
    registration.token = *m_cachedPushToken;
    registration.isAgent = m_settings.agentMode();
    registration.platform = m_pushPlatform;
    const QString scope = defaults.stringValue(kAlertScopeKey);
    registration.alertScope = scope.isEmpty() ? QStringLiteral("photographer") : scope;
    registration.tenantCode = tenant;
    const QString eventCode = defaults.stringValue(kEventCodeKey);
    if (!eventCode.isEmpty())
        registration.eventcode = eventCode;
    const APIStatus status = co_await api.registerPushToken(std::move(registration));
    if (!status) {
        qCWarning(lcAlerts).noquote() << QStringLiteral("Push token registration failed: ") + status.error().message();
        co_return;
    }
    if (self)
        self->setPushTokenRegistered(true);
}

} // namespace vesk
