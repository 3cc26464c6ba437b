#include "LogCapture.h"
#include "UpdateRig.h"

#include "commands/PinnedVersions.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/SystemdAgentRelaunch.h"
#include "updates/SelfUpdateDecision.h"
#include "updates/SelfUpdateHandover.h"
#include "updates/SelfUpdater.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace vesk::test {
namespace {

using Kind = SelfUpdateDecision::Kind;

const QString kOwnId = OwnAgent::fallbackBundleId;
const QString kHost = QStringLiteral("https://downloads.example.com");

AvailableUpdate agentRelease(const QString &version, bool critical = false, const QString &id = kOwnId)
{
    AvailableUpdate r;
    r.bundleId = id;
    r.version = version;
    r.downloadUrl = kHost + "/VeskWarden-" + version + ".zip";
    r.critical = critical;
    return r;
}

TEST(SelfUpdateTest, DecisionFollowsPinsAndCriticalReleasesOnly)
{
    struct Case {
        const char *name;
        QList<AvailableUpdate> releases;
        QString pin;
        Kind want;
        QString wantVersion = {};
        QString current = "1.4";
        std::optional<QString> currentBuild = std::nullopt;
    };
    const auto rel = [](const char *v, bool critical = false) { return agentRelease(v, critical); };
    AvailableUpdate rebuilt = rel("1.4", true);
    rebuilt.build = "b121";
    const std::vector<Case> cases = {
        {"newer but not critical, no pin", {rel("1.5")}, "", Kind::none},
        {"critical, no pin", {rel("1.5", true)}, "", Kind::install, "1.5"},
        {"newest of two critical", {rel("1.5", true), rel("1.10", true), rel("1.6", true)}, "", Kind::install, "1.10"},
        {"critical but older", {rel("1.3", true)}, "", Kind::none},
        {"critical, same version", {rel("1.4", true)}, "", Kind::none},
        {"critical, same version, newer build", {rebuilt}, "", Kind::install, "1.4", "1.4", "b120"},
        {"critical of another app", {agentRelease("9.0", true, "com.lumora.Capture")}, "", Kind::none},
        {"pin to an older published version", {rel("1.3"), rel("1.5")}, "1.3", Kind::install, "1.3"},
        {"pin compared by numeric part", {rel("1.3")}, "v1.3-beta", Kind::install, "1.3"},
        {"pin to the running version", {rel("1.4"), rel("1.5")}, "1.4", Kind::none},
        {"pin holds a critical release", {rel("1.6", true)}, "1.4", Kind::heldByPin, "1.6"},
        {"pin not published, critical held", {rel("1.6", true)}, "1.7", Kind::heldByPin, "1.6"},
        {"pin chooses the critical release", {rel("1.6", true)}, "1.6", Kind::install, "1.6"},
        {"pin not published", {rel("1.5")}, "1.7", Kind::none},
    };
    for (const Case &c : cases) {
        const SelfUpdateDecision got = SelfUpdateDecision::decide(c.releases, kOwnId, c.current, c.currentBuild, c.pin);
        EXPECT_EQ(got.kind, c.want) << c.name;
        EXPECT_EQ(got.release ? got.release->version : QString(), c.wantVersion) << c.name;
    }
}

// Stands in for the service manager: records the watcher instead of starting it.
struct FakeRelaunch final : AgentRelaunch {
    QString unit;
    bool watcherStarts = true;
    QString watcher;
    QStringList watcherArguments;
    QString serviceUnit() const override { return unit; }
    LaunchOutcome startWatcher(const QString &program, const QStringList &arguments) override
    {
        watcher = program;
        watcherArguments = arguments;
        return {watcherStarts, watcherStarts ? 4242 : 0, watcherStarts ? QString() : QStringLiteral("no such file")};
    }
    LaunchOutcome startAgent(const AgentStart &) override { return {false, 0, "not here"}; }
    bool isAlive(qint32) const override { return false; }
    void stop(qint32) override {}
};

// The agent as installed under a temporary root: "VeskWarden.app" 1.4 in the application folder.
struct SelfUpdateRig {
    UpdateRig base;
    FakeRelaunch relaunch;
    int quits = 0;
    QString bundle = base.makeApp(kOwnId, "VeskWarden", "1.4");
    SelfUpdater updater{{[this]() -> QCoro::Task<std::optional<QList<AvailableUpdate>>> {
                             ++base.fetches;
                             co_return std::optional<QList<AvailableUpdate>>(base.serverReleases);
                         },
                         base.defaults, base.http, base.clock, base.swap, base.workspace, relaunch,
                         OwnAgent::locate(base.workspace, bundle + "/Contents/MacOS/run", {"--headless"}, "0.0"),
                         777, base.paths.tempDir, base.paths.storageDir, [this] { ++quits; }}};

    void pin(const QString &version) { PinnedVersions::write(base.defaults, {{kOwnId, version}}); }
    QString keptPath() const { return base.paths.applicationsDir() + "/.warden-previous-VeskWarden.app"; }
    QString versionAt(const QString &path) const
    {
        const auto info = base.workspace.bundleInfo(path);
        return info ? info->shortVersion.value_or(QString()) : QString();
    }
};

TEST(SelfUpdateTest, ChecksLogHeldAndUnpublishedPinsAndSkipWhileUpdating)
{
    SelfUpdateRig rig;
    LogCapture log;
    const QString held = "Self-update: critical version 1.6 is published, but this Mac's version pin holds it — move "
                         "the pin in the admin portal to allow it";
    rig.pin("1.4");
    for (int i = 0; i < 2; ++i)
        QCoro::waitFor(rig.updater.check(QList<AvailableUpdate>{agentRelease("1.6", true)}));
    EXPECT_EQ(log.count(held), 1) << "the held release is reported once, not at every check";
    ASSERT_TRUE(rig.updater.criticalUpdateHeldByPin());
    EXPECT_EQ(rig.updater.heldByPinText(), "Critical Warden update v1.6 is available, but this Mac's version pin is "
                                           "holding it. Move the pin in the admin portal to install it.");

    rig.pin("1.7");
    QCoro::waitFor(rig.updater.check(QList<AvailableUpdate>{agentRelease("1.5")}));
    QCoro::waitFor(rig.updater.check(std::nullopt)); // nothing received yet: one fetch first
    EXPECT_EQ(rig.base.fetches, 1);
    EXPECT_EQ(log.count("Self-update: pinned to 1.7 but the server doesn't publish that version yet"), 2);
    EXPECT_FALSE(rig.updater.criticalUpdateHeldByPin());

    // A download that hangs keeps the update running; checks meanwhile do nothing.
    rig.base.http.expect("GET", "/VeskWarden-1.7.zip", 404).held();
    rig.base.serverReleases = {agentRelease("1.7")};
    auto running = rig.updater.check(std::nullopt);
    EXPECT_TRUE(rig.updater.isSelfUpdating());
    QCoro::waitFor(rig.updater.check(std::nullopt));
    EXPECT_EQ(rig.base.fetches, 2) << "a check while self-updating fetches nothing";
    rig.base.http.releaseHeld();
    QCoro::waitFor(std::move(running));
    EXPECT_FALSE(rig.updater.isSelfUpdating());
    EXPECT_EQ(log.count("Self-update: pinned to 1.7, currently 1.4 — updating to 1.7"), 1);
    EXPECT_EQ(log.count("Self-update download failed: Download returned HTTP 404"), 1);
    EXPECT_EQ(rig.versionAt(rig.bundle), "1.4");

    // A version the watcher rolled back is not tried again: that would restart the agent over and over.
    ASSERT_TRUE(SelfUpdateHandover::writeMarker(rig.base.paths.storageDir, SelfUpdateHandover::failedFile, "1.7"));
    for (int i = 0; i < 2; ++i)
        QCoro::waitFor(rig.updater.check(std::nullopt));
    EXPECT_FALSE(rig.updater.isSelfUpdating());
    EXPECT_EQ(log.count("Self-update: version 1.7 did not start on this machine and was rolled back; it is not "
                        "installed again"),
              1);
    EXPECT_EQ(rig.base.http.requests().size(), 1u) << "no second download";
}

TEST(SelfUpdateTest, InstallSwapsNextToTheBundleAndHandsOverOrPutsItBack)
{
    struct Case {
        const char *name;
        bool tampered = false;
        bool watcherStarts = true;
        QString unit = {};
        QString wantInstalled;
        QString wantLog;
    };
    const std::vector<Case> cases = {
        {"hand-over started", false, true, {}, "1.5", "Self-update: relaunching into 1.5"},
        {"under the unit: the watcher restarts it", false, true, "vesk-warden.service", "1.5",
         "Self-update: relaunching into 1.5"},
        {"watcher cannot start", false, false, {}, "1.4", "Self-update: couldn't launch helper: no such file"},
        {"tampered archive", true, true, {}, "1.4", "Self-update download failed: "},
    };
    for (const Case &c : cases) {
        SelfUpdateRig rig;
        LogCapture log;
        rig.relaunch.unit = c.unit;
        rig.relaunch.watcherStarts = c.watcherStarts;
        const QString archive = rig.base.makeArchive(kOwnId, "VeskWarden", "1.5", "VeskWarden-1.5.zip");
        AvailableUpdate release = agentRelease("1.5", true);
        const QByteArray bytes = readFile(archive);
        release.sha256 = QString::fromLatin1(QCryptographicHash::hash(c.tampered ? bytes + "x" : bytes,
                                                                      QCryptographicHash::Sha256).toHex());
        rig.base.http.expect("GET", "/VeskWarden-1.5.zip", 200, bytes);
        auto checking = rig.updater.check(QList<AvailableUpdate>{release});
        // On its own the agent quits half a second after starting the watcher.
        ASSERT_TRUE(QTest::qWaitFor([&] { return checking.isReady() || rig.base.clock.sleeperCount() > 0; }, 10000))
            << c.name;
        rig.base.clock.advance(std::chrono::milliseconds(500));
        QCoro::waitFor(std::move(checking));

        EXPECT_EQ(rig.versionAt(rig.bundle), c.wantInstalled) << c.name;
        EXPECT_EQ(log.count(c.wantLog), 1) << c.name << "\n" << log.lines().join("\n").toStdString();
        EXPECT_TRUE(rig.base.leftovers(rig.base.paths.applicationsDir()).isEmpty()) << c.name;
        const bool handedOver = c.wantInstalled == "1.5";
        EXPECT_EQ(rig.updater.isSelfUpdating(), handedOver) << c.name;
        EXPECT_EQ(rig.quits, handedOver && c.unit.isEmpty() ? 1 : 0) << c.name;
        EXPECT_EQ(SelfUpdateHandover::readMarker(rig.base.paths.storageDir, SelfUpdateHandover::pendingFile),
                  handedOver ? std::optional<QString>("1.5") : std::nullopt)
            << c.name;
        EXPECT_EQ(rig.versionAt(rig.keptPath()), handedOver ? "1.4" : "") << c.name;
        if (!handedOver)
            continue;
        const auto plan = SelfUpdateHandover::Plan::fromArguments(rig.relaunch.watcherArguments);
        ASSERT_TRUE(plan) << c.name;
        EXPECT_EQ(plan->oldPid, 777) << c.name;
        EXPECT_EQ(plan->keptPath(), rig.keptPath()) << c.name;
        EXPECT_EQ(plan->start.unit, c.unit) << c.name;
        EXPECT_EQ(plan->start.arguments, QStringList{"--headless"}) << c.name;
        EXPECT_EQ(plan->bound, std::chrono::seconds(UpdateService::defaultGracePeriodSeconds)) << c.name;
    }
}

// An update interrupted before its hand-over ended leaves the previous agent beside the bundle;
// the next start removes it, unless a hand-over still waits on it to roll back.
TEST(SelfUpdateTest, StartRemovesTheLeftoverKeptCopyUnlessAHandOverIsPending)
{
    for (const bool pending : {false, true}) {
        SelfUpdateRig rig;
        makeBundle(rig.base.paths.applicationsDir(), ".warden-previous-VeskWarden.app",
                   appInfo(kOwnId, "VeskWarden", "1.3"));
        if (pending) {
            ASSERT_TRUE(SelfUpdateHandover::writeMarker(rig.base.paths.storageDir, SelfUpdateHandover::pendingFile, "1.4"));
        }
        rig.updater.removeLeftoverKeptCopy();
        EXPECT_EQ(rig.versionAt(rig.keptPath()), pending ? "1.3" : "") << "pending: " << pending;
        EXPECT_EQ(rig.versionAt(rig.bundle), "1.4") << "pending: " << pending;
    }
}

TEST(SelfUpdateTest, UnitComesFromTheControlGroupOnlyUnderSystemd)
{
    QProcessEnvironment systemd;
    systemd.insert("INVOCATION_ID", "8f1c");
    const QByteArray underUnit = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/vesk-warden.service\n";
    const QByteArray inSession = "0::/user.slice/user-1000.slice/session-2.scope\n";
    EXPECT_EQ(SystemdAgentRelaunch::unitFrom(systemd, underUnit), "vesk-warden.service");
    EXPECT_EQ(SystemdAgentRelaunch::unitFrom(systemd, inSession), "");
    EXPECT_EQ(SystemdAgentRelaunch::unitFrom(QProcessEnvironment(), underUnit), "") << "started by hand";
}

// The watcher for real: a bundle swapped in next to the kept one, and a real program standing
// in for the new agent, started detached.
TEST(SelfUpdateTest, HandoverKeepsAGoodBuildAndRollsBackOneThatDoesNotStart)
{
    // The stand-in agent gets the state folder as its argument.
    const QByteArray good = "#!/bin/sh\necho $$ > \"$1/new.pid\"\nprintf 2.0 > \"$1/.s\" && "
                            "mv \"$1/.s\" \"$1/self-update-started\"\nexec sleep 30\n";
    const QByteArray exitsAtOnce = "#!/bin/sh\nexit 1\n";
    const QByteArray silent = "#!/bin/sh\necho $$ > \"$1/new.pid\"\nexec sleep 30\n";
    const QByteArray old = "#!/bin/sh\necho old > \"$1/old-ran\"\n";
    struct Case {
        const char *name;
        QByteArray newAgent;
        bool wantStarted;
        QString wantText;
    };
    const std::vector<Case> cases = {
        {"good build comes up", good, true, "Self-update: version 2.0 started"},
        {"broken build exits at once", exitsAtOnce, false,
         "Self-update: version 2.0 did not start (it exited); rolled back to the previous version"},
        {"silent build", silent, false,
         "Self-update: version 2.0 did not start (it did not report started within 1 s); rolled back to the previous "
         "version"},
    };
    for (const Case &c : cases) {
        QTemporaryDir root;
        const QString apps = root.path() + "/Applications";
        const QString state = root.path() + "/state";
        const QString staging = root.path() + "/VeskWardenSelfUpdate_x";
        QDir().mkpath(staging);
        const QString bundle = makeBundle(apps, "VeskWarden.app", appInfo(kOwnId, "VeskWarden", "2.0", "2", "agent"),
                                          c.newAgent);
        makeBundle(apps, ".warden-previous-VeskWarden.app", appInfo(kOwnId, "VeskWarden", "1.0", "1", "agent"), old);
        const QByteArray oldTree = treeDigest(apps + "/.warden-previous-VeskWarden.app");
        ASSERT_TRUE(SelfUpdateHandover::writeMarker(state, SelfUpdateHandover::pendingFile, "2.0"));

        // The old agent: already gone by the time the watcher looks.
        QProcess oldAgent;
        oldAgent.start("/bin/sleep", {"30"});
        ASSERT_TRUE(oldAgent.waitForStarted());
        const qint32 oldPid = qint32(oldAgent.processId());
        oldAgent.kill();
        oldAgent.waitForFinished();

        SelfUpdateHandover::Plan plan;
        plan.oldPid = oldPid;
        plan.bundle = bundle;
        plan.keptName = ".warden-previous-VeskWarden.app";
        plan.version = "2.0";
        plan.stateDir = state;
        plan.staging = staging;
        plan.bound = std::chrono::seconds(c.wantStarted ? 20 : 1);
        plan.start = AgentStart{{}, bundle + "/Contents/MacOS/agent", {state}};
        ASSERT_EQ(SelfUpdateHandover::Plan::fromArguments(plan.toArguments())->toArguments(), plan.toArguments());

        SystemClock clock;
        RenameExchange swap;
        LinuxWorkspace workspace({});
        SystemdAgentRelaunch relaunch{QProcessEnvironment()};
        SelfUpdateHandover handover(relaunch, swap, workspace, clock);
        LogCapture log;
        const SelfUpdateHandover::Outcome outcome = QCoro::waitFor(handover.run(plan));

        EXPECT_EQ(outcome.started, c.wantStarted) << c.name;
        EXPECT_EQ(outcome.text, c.wantText) << c.name;
        EXPECT_FALSE(QFileInfo::exists(apps + "/.warden-previous-VeskWarden.app")) << c.name;
        EXPECT_EQ(QDir(apps).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{"VeskWarden.app"}) << c.name;
        EXPECT_FALSE(QFileInfo::exists(staging)) << c.name;
        EXPECT_FALSE(SelfUpdateHandover::readMarker(state, SelfUpdateHandover::pendingFile)) << c.name;
        EXPECT_FALSE(SelfUpdateHandover::readMarker(state, SelfUpdateHandover::startedFile)) << c.name;
        EXPECT_EQ(SelfUpdateHandover::readMarker(state, SelfUpdateHandover::failedFile),
                  c.wantStarted ? std::nullopt : std::optional<QString>("2.0"))
            << c.name;
        if (c.wantStarted) {
            EXPECT_EQ(readFile(bundle + "/Contents/MacOS/agent"), c.newAgent) << c.name;
        } else {
            EXPECT_EQ(treeDigest(bundle), oldTree) << c.name << ": the old files are back, whole";
            EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(state + "/old-ran"); }, 10000))
                << c.name << ": the previous version was started again";
        }
        // A stand-in still running (the good one; the silent one must already be stopped) ends here.
        QFile pidFile(state + "/new.pid");
        const qint32 newPid = pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toInt() : 0;
        EXPECT_EQ(newPid > 0 && relaunch.isAlive(newPid), c.wantStarted) << c.name;
        if (newPid > 0 && relaunch.isAlive(newPid))
            ::kill(newPid, SIGKILL);
    }
}

} // namespace
} // namespace vesk::test
