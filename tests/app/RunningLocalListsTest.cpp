// A settings import in the running agent: it lands in the running cleanup and share services
// (not only in their files), and a share still listed keeps its password.
#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "MemoryKeychainStore.h"

#include "app/PolicyLibraryList.h"
#include "app/RunningLocalLists.h"
#include "local/SettingsTransferService.h"
#include "maintenance/FolderRetentionService.h"
#include "maintenance/NetworkShareMonitor.h"
#include "platform/linux/LinuxShareMounter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vesk;

namespace {

MonitoredShare share(const QString &name)
{
    MonitoredShare s;
    s.name = name;
    s.address = QStringLiteral("smb://nas.local/") + name;
    return s;
}

} // namespace

TEST(RunningLocalLists, AnImportLandsInTheRunningServicesAndKeepsListedSharesPasswords)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString storage = dir.path();
    const QString base = QStringLiteral("com.lumora.warden");
    test::ManualClock clock;
    test::MemoryDefaultsStore defaults;
    test::MemoryKeychainStore keychain;
    LinuxShareMounter mounter; // never asked: no monitor here is started
    FolderRetentionService retention({clock, ProtectedFolders{}, storage, storage});
    NetworkShareMonitor monitor({clock, mounter, keychain, storage, QStringLiteral("C02TEST1")});
    const auto item = [&](const MonitoredShare &s) {
        return QCoro::waitFor(keychain.read(base + QLatin1Char('.') + SettingsTransferService::sharePasswordKey(s.id), {}))
            .valueOrNone();
    };

    const MonitoredShare kept = share(QStringLiteral("prints"));
    const MonitoredShare dropped = share(QStringLiteral("archive"));
    monitor.addShare(dropped);
    monitor.addShare(kept);
    for (const MonitoredShare &s : {kept, dropped})
        QCoro::waitFor(keychain.write(base + QLatin1Char('.') + SettingsTransferService::sharePasswordKey(s.id), {},
                                      "secret"));
    RetentionRule oldRule;
    oldRule.folderPath = dir.filePath(QStringLiteral("old"));
    retention.addOrUpdateRule(oldRule);

    PolicyLibraryList policies(storage);
    RunningRetentionRules rules(retention);
    RunningShares shares(monitor);
    SettingsTransferService transfer({defaults, keychain, base, policies, rules, shares, clock, QStringLiteral("2.4.0")});
    SettingsSnapshot snapshot;
    MonitoredShare renamed = kept;
    renamed.name = QStringLiteral("prints-2026");
    const MonitoredShare fresh = share(QStringLiteral("booth"));
    snapshot.monitoredShares = {renamed, fresh};
    RetentionRule newRule;
    newRule.folderPath = dir.filePath(QStringLiteral("new"));
    snapshot.retentionRules = {newRule};
    QCoro::waitFor(transfer.apply(snapshot));

    EXPECT_EQ(monitor.shares(), (QList<MonitoredShare>{renamed, fresh}));
    EXPECT_EQ(item(kept), QByteArray("secret")) << "a share still listed keeps its password";
    EXPECT_EQ(item(dropped), std::nullopt);
    EXPECT_EQ(retention.rules(), QList<RetentionRule>{newRule});

    // What the services hold is what the next start reads.
    FolderRetentionService nextRetention({clock, ProtectedFolders{}, storage, storage});
    NetworkShareMonitor nextMonitor({clock, mounter, keychain, storage, QStringLiteral("C02TEST1")});
    EXPECT_EQ(nextRetention.rules(), retention.rules());
    EXPECT_EQ(nextMonitor.shares(), monitor.shares());
}
