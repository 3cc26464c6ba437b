#include "platform/linux/SystemdAgentRelaunch.h"

#include "platform/linux/DetachedLauncher.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

namespace vesk {

namespace {

// Tools that answer at once; a service manager that does not is treated as absent.
constexpr int kToolMilliseconds = 30000;

struct ToolRun {
    bool ok = false;
    QByteArray output;
    QString error;
};

ToolRun runTool(const QString &name, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty())
        return {false, {}, name + QStringLiteral(" not found")};
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(kToolMilliseconds))
        return {false, {}, process.errorString()};
    if (!process.waitForFinished(kToolMilliseconds)) {
        process.kill();
        process.waitForFinished(1000);
        return {false, {}, name + QStringLiteral(" did not answer")};
    }
    const QByteArray error = process.readAllStandardError().trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {false, {}, error.isEmpty() ? name + QStringLiteral(" failed") : QString::fromLocal8Bit(error)};
    return {true, process.readAllStandardOutput().trimmed(), {}};
}

char processState(qint32 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.read(512);
    // The command name may hold spaces and parentheses; the state follows the last ')'.
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text.at(close + 2) : 0;
}

} // namespace

SystemdAgentRelaunch::SystemdAgentRelaunch(const QProcessEnvironment &env, QString cgroupFile)
{
    QFile cgroup(cgroupFile);
    m_unit = unitFrom(env, cgroup.open(QIODevice::ReadOnly) ? cgroup.read(4096) : QByteArray());
}

QString SystemdAgentRelaunch::unitFrom(const QProcessEnvironment &env, const QByteArray &cgroup)
{
    if (env.value(QStringLiteral("INVOCATION_ID")).isEmpty())
        return {};
    // "0::/user.slice/user-1000.slice/user@1000.service/app.slice/vesk-warden.service"
    for (const QByteArray &line : cgroup.split('\n')) {
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() < 3)
            continue;
        const QByteArray &path = fields.last();
        const QByteArray last = path.mid(path.lastIndexOf('/') + 1);
        if (last.endsWith(".service") && !last.startsWith("user@"))
            return QString::fromUtf8(last);
    }
    return {};
}

LaunchOutcome SystemdAgentRelaunch::startWatcher(const QString &program, const QStringList &arguments)
{
    if (m_unit.isEmpty())
        return launchDetached(program, arguments);
    const ToolRun run = runTool(QStringLiteral("systemd-run"),
                                QStringList{QStringLiteral("--user"), QStringLiteral("--collect"),
                                            QStringLiteral("--quiet"), QStringLiteral("--")} +
                                    QStringList{program} + arguments);
    return {run.ok, 0, run.error};
}

LaunchOutcome SystemdAgentRelaunch::startAgent(const AgentStart &start)
{
    if (start.unit.isEmpty())
        return launchDetached(start.executable, start.arguments);
    const ToolRun restart =
        runTool(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("restart"), start.unit});
    if (!restart.ok)
        return {false, 0, restart.error};
    const ToolRun shown = runTool(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("show"),
                                                               QStringLiteral("-p"), QStringLiteral("MainPID"),
                                                               QStringLiteral("--value"), start.unit});
    return {true, shown.ok ? shown.output.toInt() : 0, {}};
}

bool SystemdAgentRelaunch::isAlive(qint32 pid) const
{
    if (pid <= 0)
        return false;
    const char state = processState(pid);
    return state != 0 && state != 'Z' && state != 'X';
}

void SystemdAgentRelaunch::stop(qint32 pid)
{
    if (!isAlive(pid))
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 40 && isAlive(pid); ++i)
        QThread::msleep(50);
    if (isAlive(pid))
        ::kill(pid, SIGKILL);
}

} // namespace vesk
