#pragma once

#include "platform/AgentRelaunch.h"

#include <QProcessEnvironment>

namespace vesk {

// The agent under a systemd user unit, or on its own. Under the unit the watcher runs as a
// transient unit of its own (systemd-run --user), so that restarting the agent's unit, which
// ends every process in its control group, does not end the watcher; the agent is restarted
// with systemctl --user. On its own, both are started detached (a new session, reaped by init).
class SystemdAgentRelaunch final : public AgentRelaunch {
public:
    static inline const QString defaultUnit = QStringLiteral("vesk-warden.service");

    // `cgroupFile` is /proc/self/cgroup outside tests.
    SystemdAgentRelaunch(const QProcessEnvironment &env, QString cgroupFile = QStringLiteral("/proc/self/cgroup"));

    // The unit named by this process's control group when systemd started it (INVOCATION_ID
    // set), e.g. "vesk-warden.service"; empty otherwise.
    static QString unitFrom(const QProcessEnvironment &env, const QByteArray &cgroup);

    QString serviceUnit() const override { return m_unit; }
    LaunchOutcome startWatcher(const QString &program, const QStringList &arguments) override;
    LaunchOutcome startAgent(const AgentStart &start) override;
    bool isAlive(qint32 pid) const override;
    void stop(qint32 pid) override;

private:
    QString m_unit;
};

} // namespace vesk
