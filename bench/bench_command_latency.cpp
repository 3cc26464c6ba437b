// Command latency over the real fleet server and two real agents in the same run: how long a
// command queued on the server takes to have its result stored, for an agent that keeps its
// push channel open and for one that polls alone (VESK_PUSH_CHANNEL=off) at its fixed interval.
//
// A `vesk-fleetd serve` and two `vesk-warden --headless` run in a temporary folder; each machine
// joins a tenant through its credential file, is paired from the shell and restarted. Then
// cheap commands (show_message and clear_message, alternately) are queued through
// `vesk-fleetd command queue` at random instants spread uniformly over a few minutes, each
// instant once for each machine, and the server's own timestamps of every command are read
// back from its store:
//
//   latency    = completed - queued   (what an administrator waits for)
//   wait       = delivered - queued   (until the agent's poll fetched it: a push, or its period)
//   agent      = completed - delivered (running the command and reporting its result)
//
// Printed per agent at p50 and p99, and polling alone / push, the ratio of the latencies.
//
//   bench_command_latency [--commands N] [--spread-seconds S] [--seed N] [--timeout-seconds S]
#include "fleetd/records/CommandRecord.h"
#include "fleetd/storage/FleetStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include <sys/prctl.h>

using namespace vesk::fleetd;

namespace {

const QString kTenant = QStringLiteral("ABCD1234");
const QString kEvent = QStringLiteral("EVT-1");
const QString kPushSerial = QStringLiteral("BENCH-PUSH");
const QString kPollSerial = QStringLiteral("BENCH-POLL");
constexpr double kPollIntervalSeconds = 30.0;

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

struct Options {
    int commands = 100;
    double spreadSeconds = 300.0;
    unsigned seed = 1;
    // How long to wait for the last results once everything is queued.
    double timeoutSeconds = 4 * kPollIntervalSeconds + 60;
};

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (i + 1 >= arguments.size())
            return std::nullopt;
        bool ok = false;
        const QString value = arguments.at(++i);
        if (arg == QLatin1String("--commands"))
            options.commands = value.toInt(&ok);
        else if (arg == QLatin1String("--spread-seconds"))
            options.spreadSeconds = value.toDouble(&ok);
        else if (arg == QLatin1String("--seed"))
            options.seed = value.toUInt(&ok);
        else if (arg == QLatin1String("--timeout-seconds"))
            options.timeoutSeconds = value.toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (options.commands < 1 || options.spreadSeconds < 0 || options.timeoutSeconds <= 0)
        return std::nullopt;
    return options;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "bench_command_latency: %s\n", qPrintable(message));
    return 1;
}

// The last lines of a child's log, for failure messages.
QString tail(const QString &text, int lines = 15)
{
    const QStringList all = text.trimmed().split(QLatin1Char('\n'));
    return all.mid(std::max<qsizetype>(0, all.size() - lines)).join(QLatin1Char('\n'));
}

// Sleeps in short steps so an interrupt ends the run promptly. False when interrupted.
bool pause(std::chrono::milliseconds duration)
{
    const auto until = std::chrono::steady_clock::now() + duration;
    while (!g_interrupted) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(100)));
    }
    return false;
}

// Every child gets the machine's HOME and folders, and dies with this process whatever ends it.
QProcessEnvironment machineEnvironment(const QString &home, const QProcessEnvironment &extra = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(extra);
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("VESK_SHARED_DIR"), home + QStringLiteral("/Shared"));
    env.insert(QStringLiteral("VESK_APPLICATIONS"), home + QStringLiteral("/Applications"));
    env.insert(QStringLiteral("VESK_RESTART_COMMAND"), QStringLiteral("false"));
    return env;
}

void prepare(QProcess &process, const QString &home, const QProcessEnvironment &extra = {})
{
    process.setProcessEnvironment(machineEnvironment(home, extra));
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// A long-running child whose output and errors go to log files (LOG.out, LOG.err), so nothing
// has to drain a pipe while the bench sleeps between commands.
class Daemon {
public:
    Daemon(const QString &program, const QStringList &arguments, const QString &home, const QString &logPath,
           const QProcessEnvironment &extra = {})
        : m_out(logPath + QStringLiteral(".out")), m_err(logPath + QStringLiteral(".err"))
    {
        prepare(m_process, home, extra);
        m_process.setStandardOutputFile(m_out);
        m_process.setStandardErrorFile(m_err);
        m_process.start(program, arguments);
        m_started = m_process.waitForStarted(5000);
    }

    ~Daemon() { terminate(); }

    bool started() const { return m_started; }

    QString standardOutput() const { return contents(m_out); }
    // Both channels, standard output first.
    QString output() const { return contents(m_out) + contents(m_err); }

    bool running()
    {
        m_process.waitForFinished(0);
        return m_process.state() == QProcess::Running;
    }

    // Waits until the log contains `needle`; false on a time-out, an interrupt or the child's end.
    bool waitForOutput(const QString &needle, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            if (output().contains(needle))
                return true;
            if (!running() || timer.elapsed() > timeoutMs || !pause(std::chrono::milliseconds(50)))
                return false;
        }
    }

    // SIGTERM, then SIGKILL after `timeoutMs`; the exit code, -1 when it crashed or had to be killed.
    int terminate(int timeoutMs = 10000)
    {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(timeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    static QString contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QProcess m_process;
    QString m_out;
    QString m_err;
    bool m_started = false;
};

struct RunResult {
    int exitCode = -1;
    QString out;
    QString err;
};

RunResult runOnce(const QString &program, const QStringList &arguments, const QString &home, int timeoutMs = 30000)
{
    QProcess process;
    prepare(process, home);
    process.start(program, arguments);
    RunResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = QStringLiteral("timed out or did not start: ") + process.errorString();
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    result.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    result.err += QString::fromUtf8(process.readAllStandardError()).trimmed();
    return result;
}

struct Timing {
    qint64 id = 0;
    qint64 latencyMs = 0;
    qint64 waitMs = 0;
    qint64 agentMs = 0;
    QString deliveredAt;
    bool success = false;
};

std::optional<QDateTime> stamp(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

// Nearest-rank percentile of sorted values.
qint64 percentile(const std::vector<qint64> &sorted, double p)
{
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted.at(std::clamp<std::size_t>(rank, 1, sorted.size()) - 1);
}

QString seconds(qint64 ms)
{
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 3) + QStringLiteral(" s");
}

QString ratio(qint64 a, qint64 b)
{
    return b > 0 ? QString::number(static_cast<double>(a) / static_cast<double>(b), 'f', 3) : QStringLiteral("n/a");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::optional<Options> parsed = parseOptions(app.arguments());
    if (!parsed) {
        std::fprintf(stderr, "usage: bench_command_latency [--commands N] [--spread-seconds S] [--seed N]"
                             " [--timeout-seconds S]\n");
        return 2;
    }
    const Options options = *parsed;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    const QString warden = QStringLiteral(VESK_WARDEN_BINARY);
    const QString fleetd = QStringLiteral(VESK_FLEETD_BINARY);
    for (const QString &binary : {warden, fleetd}) {
        if (!QFile::exists(binary))
            return fail(QStringLiteral("missing %1; build vesk-warden and vesk-fleetd first").arg(binary));
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        return fail(QStringLiteral("cannot create a temporary folder"));
    const QString db = dir.path() + QStringLiteral("/fleet.db");
    // The server, on a port the system picks; its first line is the base URL.
    Daemon server(fleetd, {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                           QStringLiteral("--db"), db},
                  dir.path(), dir.path() + QStringLiteral("/fleetd"));
    if (!server.started() || !server.waitForOutput(QStringLiteral("/api\n"), 15000))
        return fail(QStringLiteral("vesk-fleetd serve did not print its URL:\n") + tail(server.output()));
    const QString url = server.standardOutput().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!url.startsWith(QLatin1String("http")))
        return fail(QStringLiteral("unexpected first line from vesk-fleetd serve: ") + url);

    const auto admin = [&](QStringList arguments) -> std::optional<QString> {
        arguments << QStringLiteral("--db") << db;
        const RunResult run = runOnce(fleetd, arguments, dir.path());
        if (run.exitCode != 0) {
            fail(QStringLiteral("vesk-fleetd %1 failed (exit %2): %3")
                     .arg(arguments.join(QLatin1Char(' ')))
                     .arg(run.exitCode)
                     .arg(run.err));
            return std::nullopt;
        }
        return run.out;
    };

    if (!admin({QStringLiteral("tenant"), QStringLiteral("add"), kTenant})
        || !admin({QStringLiteral("event"), QStringLiteral("add"), kTenant, kEvent}))
        return 1;
    const std::optional<QString> issued = admin({QStringLiteral("secret"), QStringLiteral("issue"), kTenant});
    if (!issued)
        return 1;
    const QString secret = issued->section(QLatin1Char('\t'), 1).trimmed();
    if (secret.size() != 64)
        return fail(QStringLiteral("unexpected output from vesk-fleetd secret issue: ") + *issued);

    const QString heartbeatOk = QStringLiteral("HEARTBEAT OK HTTP 200");
    // A machine announces itself, is paired from the shell, stops, and starts again: configured
    // from its start, it polls at once and then every 30 s (or every 5 min with its channel up).
    const auto startMachine = [&](const QString &serial, const QProcessEnvironment &extra) -> std::unique_ptr<Daemon> {
        const QString home = dir.path() + QStringLiteral("/home-") + serial;
        if (!QDir().mkpath(home + QStringLiteral("/Shared/Lumora")) || !QDir().mkpath(home + QStringLiteral("/Applications"))) {
            fail(QStringLiteral("cannot create the agent's folders under ") + home);
            return nullptr;
        }
        // The credential file names the event code the heartbeat carries: that puts the machine in the tenant.
        QFile credentials(home + QStringLiteral("/Shared/Lumora/credentials_Bench.xml"));
        if (!credentials.open(QIODevice::WriteOnly)
            || credentials.write("<credentials><kr5_account>ABCD1234</kr5_account>"
                                 "<kr5_location>EVT-1</kr5_location></credentials>")
                   < 0) {
            fail(QStringLiteral("cannot write ") + credentials.fileName());
            return nullptr;
        }
        credentials.close();
        const QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--fleet-url"), url,
                                    QStringLiteral("--serial"), serial};
        {
            Daemon first(warden, arguments, home, dir.path() + QStringLiteral("/enrol-") + serial, extra);
            if (!first.started() || !first.waitForOutput(heartbeatOk, 30000)) {
                fail(QStringLiteral("the agent's first heartbeat was not accepted:\n") + tail(first.output()));
                return nullptr;
            }
            const RunResult pair = runOnce(warden,
                                           {QStringLiteral("--fleet-url"), url, QStringLiteral("--serial"), serial,
                                            QStringLiteral("pair"), secret},
                                           home);
            if (pair.exitCode != 0) {
                fail(QStringLiteral("vesk-warden pair failed (exit %1):\n%2\n%3").arg(pair.exitCode).arg(pair.out, pair.err));
                return nullptr;
            }
            if (const int code = first.terminate(); code != 0) {
                fail(QStringLiteral("the enrolling agent did not stop cleanly (exit %1):\n%2").arg(code).arg(tail(first.output())));
                return nullptr;
            }
        }
        auto agent = std::make_unique<Daemon>(warden, arguments, home, dir.path() + QStringLiteral("/agent-") + serial, extra);
        if (!agent->started() || !agent->waitForOutput(heartbeatOk, 30000)) {
            fail(QStringLiteral("the restarted agent's heartbeat was not accepted:\n") + tail(agent->output()));
            return nullptr;
        }
        return agent;
    };
    QProcessEnvironment pollAlone;
    pollAlone.insert(QStringLiteral("VESK_PUSH_CHANNEL"), QStringLiteral("off"));
    const std::unique_ptr<Daemon> pushAgent = startMachine(kPushSerial, {});
    if (!pushAgent)
        return 1;
    if (!pushAgent->waitForOutput(QStringLiteral("Push channel connected"), 30000))
        return fail(QStringLiteral("the push agent's channel did not open:\n") + tail(pushAgent->output()));
    const std::unique_ptr<Daemon> pollAgent = startMachine(kPollSerial, pollAlone);
    if (!pollAgent)
        return 1;
    if (!pollAgent->output().contains(QStringLiteral("Push channel off")))
        return fail(QStringLiteral("the polling agent did not leave its push channel closed:\n") + tail(pollAgent->output()));
    const QList<std::pair<QString, Daemon *>> machines{{kPushSerial, pushAgent.get()}, {kPollSerial, pollAgent.get()}};

    FleetStore store;
    if (const StoreStatus opened = store.open(db, FleetStore::OpenMode::ExistingOnly); !opened.isOk())
        return fail(QStringLiteral("cannot open the fleet store: ") + opened.message());

    // Queue instants: uniform over the spread, from a fixed seed.
    std::mt19937_64 random(options.seed);
    std::uniform_real_distribution<double> within(0.0, options.spreadSeconds * 1000.0);
    std::vector<qint64> offsetsMs;
    for (int i = 0; i < options.commands; ++i)
        offsetsMs.push_back(static_cast<qint64>(within(random)));
    std::sort(offsetsMs.begin(), offsetsMs.end());

    std::printf("command latency: %d commands queued over %.0f s (seed %u) to each of two agents: one with its push"
                " channel, one polling alone every %.0f s\n",
                options.commands, options.spreadSeconds, options.seed, kPollIntervalSeconds);
    std::fflush(stdout);

    std::map<QString, QSet<qint64>> queuedIds;
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < options.commands; ++i) {
        if (!pause(std::chrono::duration_cast<std::chrono::milliseconds>(
                begin + std::chrono::milliseconds(offsetsMs[std::size_t(i)]) - std::chrono::steady_clock::now())))
            return fail(QStringLiteral("interrupted"));
        // Which machine goes first alternates, so neither always waits for the other's queueing.
        for (int m = 0; m < 2; ++m) {
            const auto &[serial, agent] = machines[(i + m) % 2];
            QStringList arguments{QStringLiteral("command"), QStringLiteral("queue"), serial};
            if (i % 2 == 0)
                arguments << QStringLiteral("show_message") << QStringLiteral("--param")
                          << QStringLiteral("message=bench-%1").arg(i);
            else
                arguments << QStringLiteral("clear_message");
            const std::optional<QString> queued = admin(arguments);
            if (!queued)
                return 1;
            bool ok = false;
            const qint64 id = queued->toLongLong(&ok);
            if (!ok || id <= 0)
                return fail(QStringLiteral("unexpected output from vesk-fleetd command queue: ") + *queued);
            queuedIds[serial].insert(id);
            if (!agent->running())
                return fail(QStringLiteral("the agent %1 stopped:\n%2").arg(serial, tail(agent->output())));
        }
    }

    // Every command's result, read from the server's store.
    std::map<QString, std::vector<CommandRecord>> done;
    QElapsedTimer waiting;
    waiting.start();
    for (;;) {
        std::size_t complete = 0, expected = 0;
        for (const auto &[serial, agent] : machines) {
            const StoreResult<QList<CommandRecord>> listed = store.commands().list(serial);
            if (!listed.status.isOk())
                return fail(QStringLiteral("cannot list commands: ") + listed.status.message());
            done[serial].clear();
            for (const CommandRecord &command : listed.value) {
                if (queuedIds[serial].contains(command.id) && !command.completedAt.isEmpty())
                    done[serial].push_back(command);
            }
            complete += done[serial].size();
            expected += std::size_t(queuedIds[serial].size());
            if (!agent->running())
                return fail(QStringLiteral("the agent %1 stopped:\n%2").arg(serial, tail(agent->output())));
        }
        if (complete == expected)
            break;
        if (waiting.elapsed() > qint64(options.timeoutSeconds * 1000))
            return fail(QStringLiteral("only %1 of %2 commands have a result %3 s after the last was queued")
                            .arg(complete)
                            .arg(expected)
                            .arg(options.timeoutSeconds));
        if (!pause(std::chrono::milliseconds(250)))
            return fail(QStringLiteral("interrupted"));
    }
    store.close();

    std::map<QString, std::pair<qint64, qint64>> latencyOf; // serial -> p50, p99
    for (const auto &[serial, agent] : machines) {
        std::vector<Timing> timings;
        for (const CommandRecord &command : done[serial]) {
            const std::optional<QDateTime> queued = stamp(command.queuedAt);
            const std::optional<QDateTime> delivered = stamp(command.deliveredAt);
            const std::optional<QDateTime> completed = stamp(command.completedAt);
            if (!queued || !delivered || !completed)
                return fail(QStringLiteral("command %1 has unreadable times: %2 / %3 / %4")
                                .arg(command.id)
                                .arg(command.queuedAt, command.deliveredAt, command.completedAt));
            Timing timing;
            timing.id = command.id;
            timing.latencyMs = queued->msecsTo(*completed);
            timing.waitMs = queued->msecsTo(*delivered);
            timing.agentMs = delivered->msecsTo(*completed);
            timing.deliveredAt = command.deliveredAt;
            timing.success = command.success.value_or(false);
            timings.push_back(timing);
        }

        // Commands of one poll run one after another, so the agent's share of a later one includes
        // the earlier ones; each command's own step is the time since the previous result of its poll.
        std::sort(timings.begin(), timings.end(), [](const Timing &a, const Timing &b) { return a.id < b.id; });
        std::vector<qint64> latency, wait, agentShare, perCommand;
        std::map<QString, int> perPoll;
        std::map<QString, qint64> lastResultOfPoll;
        int succeeded = 0;
        for (const Timing &timing : timings) {
            latency.push_back(timing.latencyMs);
            wait.push_back(timing.waitMs);
            agentShare.push_back(timing.agentMs);
            const auto previousResult = lastResultOfPoll.find(timing.deliveredAt);
            perCommand.push_back(timing.agentMs - (previousResult == lastResultOfPoll.end() ? 0 : previousResult->second));
            lastResultOfPoll[timing.deliveredAt] = timing.agentMs;
            ++perPoll[timing.deliveredAt];
            succeeded += timing.success ? 1 : 0;
        }
        std::sort(latency.begin(), latency.end());
        std::sort(wait.begin(), wait.end());
        std::sort(agentShare.begin(), agentShare.end());
        std::sort(perCommand.begin(), perCommand.end());
        int mostPerPoll = 0;
        for (const auto &entry : perPoll)
            mostPerPoll = std::max(mostPerPoll, entry.second);

        const qint64 latency50 = percentile(latency, 50), latency99 = percentile(latency, 99);
        latencyOf[serial] = {latency50, latency99};
        std::printf("\n%s (%s): %zu results (%d succeeded); server times in milliseconds\n", qPrintable(serial),
                    serial == kPushSerial ? "push channel" : "polling alone", timings.size(), succeeded);
        std::printf("%-40s %12s %12s\n", "", "p50", "p99");
        std::printf("%-40s %12s %12s\n", "latency (completed - queued)", qPrintable(seconds(latency50)),
                    qPrintable(seconds(latency99)));
        std::printf("%-40s %12s %12s\n", "wait for the fetch (delivered - queued)", qPrintable(seconds(percentile(wait, 50))),
                    qPrintable(seconds(percentile(wait, 99))));
        std::printf("%-40s %12s %12s\n", "agent (completed - delivered)", qPrintable(seconds(percentile(agentShare, 50))),
                    qPrintable(seconds(percentile(agentShare, 99))));
        std::printf("%-40s %12s %12s\n", "agent, each command's own step", qPrintable(seconds(percentile(perCommand, 50))),
                    qPrintable(seconds(percentile(perCommand, 99))));
        std::printf("latency max: %s; %zu fetches handed out commands (up to %d each)\n",
                    qPrintable(seconds(latency.back())), perPoll.size(), mostPerPoll);
    }
    const auto [push50, push99] = latencyOf[kPushSerial];
    const auto [poll50, poll99] = latencyOf[kPollSerial];
    std::printf("\npolling alone / push channel, latency: %s at p50, %s at p99\n", qPrintable(ratio(poll50, push50)),
                qPrintable(ratio(poll99, push99)));
    std::printf("push channel p99 %s 1 s (target: under)\n", push99 < 1000 ? "under" : "NOT under");

    for (const auto &[serial, agent] : machines) {
        if (const int code = agent->terminate(); code != 0)
            std::printf("note: the agent %s exited with %d on SIGTERM\n", qPrintable(serial), code);
    }
    server.terminate();
    return 0;
}
