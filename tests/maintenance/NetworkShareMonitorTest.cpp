#include "LogCapture.h"
#include "ManualClock.h"
#include "MemoryKeychainStore.h"

#include "maintenance/NetworkShareMonitor.h"
#include "platform/ShareMounter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

using namespace std::chrono_literals;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vesk::test {
namespace {

// A mounter whose answers the test sets; it records every call that would touch the share.
struct FakeMounter final : ShareMounter {
    QList<MountTableEntry> table;
    bool mountAnswers = true;
    bool serverAnswers = true;
    bool unmountWorks = true;
    MountResult nextMount = MountResult::success(QStringLiteral("/mnt/vesk-shares/nas.local-Event Captures"));
    QStringList calls;
    QList<ShareMountRequest> mounts;

    QList<MountTableEntry> mountTable() override { return table; }
    QCoro::Task<bool> pathResponds(QString path, std::chrono::milliseconds limit) override
    {
        calls << QStringLiteral("read %1 %2").arg(path).arg(limit.count());
        co_return mountAnswers;
    }
    QCoro::Task<bool> probeHost(QString host, quint16 port, std::chrono::milliseconds limit) override
    {
        calls << QStringLiteral("probe %1:%2 %3").arg(host).arg(port).arg(limit.count());
        co_return serverAnswers;
    }
    QCoro::Task<MountResult> mountShare(ShareMountRequest request, std::chrono::milliseconds limit) override
    {
        calls << QStringLiteral("mount %1 %2").arg(request.url.toString(QUrl::FullyEncoded)).arg(limit.count());
        mounts << request;
        if (nextMount.ok())
            table << MountTableEntry{*nextMount.mountPoint, QStringLiteral("//nas.local/Event Captures"), QStringLiteral("cifs")};
        co_return nextMount;
    }
    QCoro::Task<bool> forceUnmount(QString mountPoint) override
    {
        calls << QStringLiteral("unmount ") + mountPoint;
        if (unmountWorks)
            table.clear();
        co_return unmountWorks;
    }
};

struct RecordingAlerts final : ShareAlertSink {
    QStringList events;
    void raiseShareAlert(const ShareAlert &alert) override
    {
        events << QStringLiteral("raise %1 | %2 | %3").arg(alert.title, alert.message, alert.serial);
    }
    void clearShareAlert(const QString &title) override { events << QStringLiteral("clear ") + title; }
};

struct ShareRig {
    QTemporaryDir temp;
    ManualClock clock;
    FakeMounter mounter;
    MemoryKeychainStore keychain;
    RecordingAlerts alerts;
    bool lowData = false;

    std::unique_ptr<NetworkShareMonitor> monitor()
    {
        auto made = std::make_unique<NetworkShareMonitor>(NetworkShareMonitor::Dependencies{
            clock, mounter, keychain, temp.path(), QStringLiteral("C02TEST"), [this] { return lowData; }});
        made->setAlertSink(&alerts);
        return made;
    }

    static MonitoredShare share(bool autoRemount = true)
    {
        MonitoredShare made;
        made.name = QStringLiteral("Event drive");
        made.address = QStringLiteral(" nas.local/Event Captures\n");
        made.username = QStringLiteral("booth");
        made.autoRemount = autoRemount;
        return made;
    }

    static void check(NetworkShareMonitor &monitor, const MonitoredShare &share)
    {
        QCoro::waitFor(monitor.checkShare(share));
    }
};

TEST(NetworkShareMonitorTest, ThreeFailuresRaiseOneAlertAndARecoveryClearsIt)
{
    ShareRig rig;
    auto monitor = rig.monitor();
    const MonitoredShare share = ShareRig::share();
    rig.keychain.put(NetworkShareMonitor::passwordService(share.id), QString(), QByteArray("it's \"quoted\"\nand long"));
    rig.mounter.serverAnswers = false;

    for (int check = 1; check <= 4; ++check) {
        ShareRig::check(*monitor, share);
        const ShareHealth health = *monitor->health(share.id);
        EXPECT_EQ(health.status, ShareStatus::hostUnreachable) << check;
        EXPECT_EQ(health.detail, QStringLiteral("No answer from nas.local")) << check;
        EXPECT_EQ(health.consecutiveFailures, check);
        EXPECT_EQ(rig.alerts.events.size(), check >= 3 ? 1 : 0) << "raised on the third failure only, check " << check;
    }
    EXPECT_EQ(rig.alerts.events.value(0),
              QStringLiteral("raise Event drive Unavailable | No answer from nas.local | C02TEST"));
    EXPECT_EQ(rig.mounter.calls.count(QStringLiteral("probe nas.local:445 5000")), 4) << "probed at every pass";
    EXPECT_TRUE(rig.mounter.mounts.isEmpty());

    rig.mounter.serverAnswers = true;
    LogCapture capture;
    rig.clock.advance(60s);
    ShareRig::check(*monitor, share);
    const ShareHealth health = *monitor->health(share.id);
    EXPECT_EQ(health.status, ShareStatus::mounted);
    EXPECT_EQ(health.detail, QStringLiteral("Available at /mnt/vesk-shares/nas.local-Event Captures"));
    EXPECT_EQ(health.consecutiveFailures, 0);
    EXPECT_EQ(health.lastChecked, rig.clock.now());
    EXPECT_EQ(rig.alerts.events.value(1), QStringLiteral("clear Event drive Unavailable"));
    EXPECT_FALSE(monitor->hasOpenAlert(share.id));
    ASSERT_EQ(rig.mounter.mounts.size(), 1);
    EXPECT_EQ(rig.mounter.mounts[0].username, QStringLiteral("booth"));
    EXPECT_EQ(rig.mounter.mounts[0].password, QByteArray("it's \"quoted\"\nand long")) << "from the keychain";
    EXPECT_EQ(rig.mounter.mounts[0].shareName, QStringLiteral("Event Captures"));
    EXPECT_EQ(monitor->logMessages().mid(4),
              QStringList{QStringLiteral("Event drive: mounted at /mnt/vesk-shares/nas.local-Event Captures")});
    EXPECT_TRUE(capture.lines().contains(
        QStringLiteral("shares: Mounted Event drive at /mnt/vesk-shares/nas.local-Event Captures")));
    for (const QString &line : capture.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("quoted"))) << "the password never reaches a log";

    // The next check finds the share in the mount table and only reads it.
    rig.mounter.calls.clear();
    ShareRig::check(*monitor, share);
    EXPECT_EQ(rig.mounter.calls, QStringList{QStringLiteral("read /mnt/vesk-shares/nas.local-Event Captures 8000")});

    // A mount that stops answering and comes back on its own is a recovery.
    MonitoredShare untouched = share;
    untouched.autoRemount = false;
    rig.mounter.mountAnswers = false;
    ShareRig::check(*monitor, untouched);
    EXPECT_EQ(monitor->health(share.id)->status, ShareStatus::stale);
    rig.mounter.mountAnswers = true;
    ShareRig::check(*monitor, untouched);
    EXPECT_EQ(monitor->health(share.id)->status, ShareStatus::mounted);
    EXPECT_EQ(monitor->logMessages().last(), QStringLiteral("Event drive: connection recovered"));
    EXPECT_TRUE(capture.lines().contains(QStringLiteral("shares: Share recovered: Event drive")));
}

TEST(NetworkShareMonitorTest, SharesThatMayNotBeTouchedAreOnlyReported)
{
    ShareRig rig;
    auto monitor = rig.monitor();
    const MountTableEntry staleMount{QStringLiteral("/mnt/event"), QStringLiteral("//NAS.local/event captures/sub"),
                                     QStringLiteral("cifs")};
    struct Case {
        const char *name;
        MonitoredShare share;
        bool mounted;
        bool mountAnswers;
        bool serverAnswers;
        ShareStatus want;
        QString detail;
        QStringList calls;
    };
    MonitoredShare disabled = ShareRig::share();
    disabled.enabled = false;
    MonitoredShare badAddress = ShareRig::share();
    badAddress.address = QStringLiteral("smb://");
    const Case cases[] = {
        {"disabled: never probed", disabled, true, false, true, ShareStatus::disabled, QString(), {}},
        {"not a URL", badAddress, false, false, true, ShareStatus::unknown, QStringLiteral("Invalid share address"), {}},
        {"not mounted, no remount", ShareRig::share(false), false, false, true, ShareStatus::notMounted,
         QStringLiteral("Server reachable but share is not mounted"), {QStringLiteral("probe nas.local:445 5000")}},
        {"stale, no remount", ShareRig::share(false), true, false, true, ShareStatus::stale,
         QStringLiteral("Share is mounted but not responding"), {QStringLiteral("read /mnt/event 8000")}},
        {"stale, server silent", ShareRig::share(), true, false, false, ShareStatus::stale,
         QStringLiteral("Server not answering"),
         {QStringLiteral("read /mnt/event 8000"), QStringLiteral("probe nas.local:445 5000")}},
        {"stale, released and mounted again", ShareRig::share(), true, false, true, ShareStatus::mounted,
         QStringLiteral("Available at /mnt/vesk-shares/nas.local-Event Captures"),
         {QStringLiteral("read /mnt/event 8000"), QStringLiteral("probe nas.local:445 5000"),
          QStringLiteral("unmount /mnt/event"),
          QStringLiteral("mount smb://nas.local/Event%20Captures 30000")}},
    };
    for (const Case &c : cases) {
        rig.mounter.table = c.mounted ? QList<MountTableEntry>{staleMount} : QList<MountTableEntry>{};
        rig.mounter.mountAnswers = c.mountAnswers;
        rig.mounter.serverAnswers = c.serverAnswers;
        rig.mounter.calls.clear();
        ShareRig::check(*monitor, c.share);
        EXPECT_EQ(monitor->health(c.share.id)->status, c.want) << c.name;
        EXPECT_EQ(monitor->health(c.share.id)->detail, c.detail) << c.name;
        EXPECT_EQ(rig.mounter.calls, c.calls) << c.name;
    }

    // A failed mount reports the mounter's reason.
    rig.mounter.table.clear();
    rig.mounter.nextMount = MountResult::failed(QStringLiteral("Sign-in failed — check the user name and password"));
    const MonitoredShare share = ShareRig::share();
    ShareRig::check(*monitor, share);
    EXPECT_EQ(monitor->health(share.id)->status, ShareStatus::notMounted);
    EXPECT_EQ(monitor->logMessages().value(monitor->logMessages().size() - 2),
              QStringLiteral("Event drive: mount failed — Sign-in failed — check the user name and password"));
}

TEST(NetworkShareMonitorTest, KeepsItsListInItsFileAndChecksOnItsPeriod)
{
    ShareRig rig;
    MonitoredShare own = ShareRig::share(false);
    rig.keychain.put(NetworkShareMonitor::passwordService(own.id), QString(), "secret");
    {
        auto monitor = rig.monitor();
        monitor->addShare(own);
        monitor->setPolicyShares({ShareRig::share(false)});
    }
    auto monitor = rig.monitor();
    EXPECT_EQ(monitor->shares(), QList<MonitoredShare>{own}) << "the policy's shares are not written";

    monitor->start();
    EXPECT_EQ(rig.mounter.calls.size(), 1) << "the first pass runs at once";
    rig.clock.advance(59s);
    EXPECT_EQ(rig.mounter.calls.size(), 1);
    rig.clock.advance(1s);
    EXPECT_EQ(rig.mounter.calls.size(), 2);
    rig.lowData = true;
    rig.clock.advance(60s);
    EXPECT_EQ(rig.mounter.calls.size(), 3);
    rig.clock.advance(299s);
    EXPECT_EQ(rig.mounter.calls.size(), 3) << "five minutes in low-data mode";
    rig.clock.advance(1s);
    EXPECT_EQ(rig.mounter.calls.size(), 4);
    monitor->stop();

    QCoro::waitFor(monitor->removeShare(own.id));
    EXPECT_EQ(rig.keychain.stored(NetworkShareMonitor::passwordService(own.id), QString()), std::nullopt);
    EXPECT_TRUE(rig.monitor()->shares().isEmpty());

    // A file that is JSON but not ours leaves the list empty.
    QFile file(rig.temp.path() + QStringLiteral("/monitored_shares.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"([{"id": "not a uuid", "name": 3}])");
    file.close();
    EXPECT_TRUE(rig.monitor()->shares().isEmpty());
}

} // namespace
} // namespace vesk::test
