#include "BundleFixture.h"
#include "UpdateRig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace vesk::test {
namespace {

// A bundle of many small files, so an install takes long enough to be cut at many points.
QString makeBigBundle(const QString &folder, const QString &version, char fill)
{
    const QString bundle = makeBundle(folder, "Capture.app", appInfo(UpdateRig::captureId, "Capture", version));
    for (int i = 0; i < 60; ++i)
        writeFile(bundle + QString("/Contents/Resources/part%1/file%2.bin").arg(i % 6).arg(i),
                  QByteArray(2000 + i, fill) + version.toUtf8());
    return bundle;
}

int rounds()
{
    bool ok = false;
    const int wanted = qEnvironmentVariableIntValue("VESK_INSTALL_KILL_ROUNDS", &ok);
    return ok && wanted > 0 ? wanted : 20;
}

// Runs the install in a child process and ends it with SIGKILL `delayMicros` after its file
// work began (never, when negative). Answers how long the file work ran.
qint64 runChild(const QStringList &args, qint64 delayMicros)
{
    QProcess child;
    child.start(VESK_SWAP_CHILD, args);
    EXPECT_TRUE(child.waitForStarted(10000));
    EXPECT_TRUE(child.waitForReadyRead(10000));
    QElapsedTimer timer;
    timer.start();
    if (delayMicros >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros));
        ::kill(pid_t(child.processId()), SIGKILL);
    }
    EXPECT_TRUE(child.waitForFinished(60000));
    return timer.nsecsElapsed() / 1000;
}

TEST(InterruptedInstallTest, KilledAtAnyMomentTheBundleIsTheOldOneOrTheNewOneWhole)
{
    QTemporaryDir root;
    const QString apps = root.path() + "/Applications";
    const QString pristine = root.path() + "/pristine";
    const QString oldBundle = makeBigBundle(pristine, "1.0", 'o');
    const QByteArray oldDigest = treeDigest(oldBundle);
    const QString newBundle = makeBigBundle(root.path() + "/next", "2.0", 'n');
    const QByteArray newDigest = treeDigest(newBundle);
    const QString archive = root.path() + "/Capture.zip";
    packBundle(newBundle, archive);
    const QString target = apps + "/Capture.app";
    const QStringList args{archive, target, UpdateRig::captureId, root.path() + "/kept"};

    const auto resetToOld = [&] {
        QDir(target).removeRecursively();
        QDir(root.path() + "/kept").removeRecursively();
        for (const QString &left : QDir(apps).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            QDir(apps + "/" + left).removeRecursively();
        QProcess copy;
        copy.start("cp", {"-a", oldBundle, target});
        copy.waitForFinished();
        ASSERT_EQ(treeDigest(target), oldDigest);
    };

    QDir().mkpath(apps);
    resetToOld();
    const qint64 whole = runChild(args, -1);
    ASSERT_EQ(treeDigest(target), newDigest) << "an uninterrupted install puts the new bundle in place";

    int sawOld = 0;
    int sawNew = 0;
    const int total = rounds();
    for (int round = 0; round < total; ++round) {
        resetToOld();
        const qint64 delay = qint64(QRandomGenerator::global()->bounded(double(whole) * 1.1));
        runChild(args, delay);
        const QByteArray now = treeDigest(target);
        ASSERT_TRUE(now == oldDigest || now == newDigest)
            << "round " << round << ": killed after " << delay << " µs the bundle is neither version";
        (now == oldDigest ? sawOld : sawNew)++;
    }
    RecordProperty("rounds", total);
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
    std::printf("%d kills: %d left the old bundle, %d the new one (an install takes %lld µs)\n", total, sawOld,
                sawNew, static_cast<long long>(whole));
}

} // namespace
} // namespace vesk::test
