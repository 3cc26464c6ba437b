#pragma once

#include "heartbeat/HeartbeatConfig.h"
#include "wire/HeartbeatPayload.h"
#include "platform/Clock.h"
#include "platform/HttpTransport.h"
#include "platform/StopToken.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

namespace vesk {

// How one beat went: when it was tried, whether the server took it, and why not.
struct HeartbeatOutcome {
    QDateTime at;
    bool delivered = false;
    QString error; // empty when delivered

    friend bool operator==(const HeartbeatOutcome &, const HeartbeatOutcome &) = default;
};

// Announces the machine to the fleet server: one unauthenticated POST at once on
// start, then one every `interval` seconds. Configuration, transport, clock and the
// payload provider are handed in; the heartbeat knows nothing else of the agent.
class Heartbeat : public QObject {
    Q_OBJECT
public:
    using Logger = std::function<void(const QString &level, const QString &message)>;
    using StateProvider = std::function<QCoro::Task<HeartbeatPayload>()>;
    using TextSource = std::function<QString()>;

    // `hardwareSerial` and `hostName` feed machineSerial(); either may be empty.
    Heartbeat(HeartbeatConfig config, HttpTransport &transport, Clock &clock, TextSource hardwareSerial = {},
              TextSource hostName = {}, QObject *parent = nullptr);
    ~Heartbeat() override;

    const HeartbeatConfig &config() const { return m_config; }
    // Without a logger, lines go to standard output as "[HH:mm:ss] message".
    void setLogger(Logger logger) { m_logger = std::move(logger); }

    // Replaces any running loop with a new one; the first beat goes out at once.
    void start(StateProvider stateProvider);
    // Ends the loop; safe to call when idle.
    void stop();
    bool isRunning() const { return m_running; }

    // One beat; true on a 2xx answer.
    QCoro::Task<bool> sendOnce(HeartbeatPayload payload);

    std::optional<QDateTime> lastAttemptAt() const { return m_lastAttemptAt; }
    std::optional<QDateTime> lastSuccessAt() const { return m_lastSuccessAt; }

    // The hardware serial, else the host name, else "unknown".
    QString machineSerial() const;

signals:
    // After every beat, delivered or not.
    void beatFinished(const vesk::HeartbeatOutcome &outcome);

private:
    // Static so the loop reaches the heartbeat only through `self`, which clears when it is destroyed.
    static QCoro::Task<> beatLoop(QPointer<Heartbeat> self, StateProvider stateProvider, StopToken token);
    void log(const QString &level, const QString &message) const;
    bool finish(bool delivered, const QString &error = {});

    HeartbeatConfig m_config;
    HttpTransport &m_transport;
    Clock &m_clock;
    TextSource m_hardwareSerial;
    TextSource m_hostName;
    Logger m_logger;
    std::optional<QDateTime> m_lastAttemptAt;
    std::optional<QDateTime> m_lastSuccessAt;
    std::optional<StopSource> m_loopStop;
    bool m_running = false;
};

} // namespace vesk
