// Deploying a 50 MB settings payload (a few hundred files, half random, half compressible)
// against `unzip -q` of the same archive into a fresh folder. The deploy does what the
// command does once the archive is downloaded and the apps are closed: checksum, checked
// extraction into staging, the swap with a backup, pruning. It should cost little more than
// the plain unzip tool that checks nothing.
#include "commands/payload/PayloadArchiver.h"
#include "commands/payload/PayloadBackupStore.h"
#include "commands/payload/PayloadChecksum.h"
#include "commands/payload/PayloadFolderSwap.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kFiles = 300;
constexpr qint64 kTotalBytes = 50ll << 20;

QTemporaryDir *g_root = nullptr;
QString g_zip;
double g_deployMs = 0;
double g_unzipMs = 0;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void buildPayload()
{
    const QString source = g_root->path() + QStringLiteral("/source");
    QRandomGenerator random(42);
    const qint64 perFile = kTotalBytes / kFiles;
    for (int i = 0; i < kFiles; ++i) {
        QByteArray bytes(perFile, Qt::Uninitialized);
        if (i % 2 == 0) {
            random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        } else {
            const QByteArray line = QStringLiteral("preset %1 exposure=+0.3 white_balance=5200 crop=3:2\n")
                                        .arg(i)
                                        .toUtf8();
            for (qint64 at = 0; at < bytes.size(); at += line.size())
                bytes.replace(at, qMin<qint64>(line.size(), bytes.size() - at), line.left(bytes.size() - at));
        }
        writeFile(source + QStringLiteral("/group%1/file%2.dat").arg(i % 12).arg(i), bytes);
    }
    const vesk::ArchiveResult zip = vesk::PayloadArchiver(g_root->path() + QStringLiteral("/tmp")).archive(source);
    if (!zip.ok())
        qFatal("cannot build the payload: %s", qPrintable(zip.error->message()));
    g_zip = zip.path;
}

void BM_Deploy(benchmark::State &state)
{
    const QString shared = g_root->path() + QStringLiteral("/Users/Shared");
    const vesk::Opened<vesk::FolderHandle> parent = vesk::FolderHandle::openTrusted(shared, true);
    if (!parent.ok())
        qFatal("cannot open %s", qPrintable(shared));
    const vesk::PayloadBackupStore::Opened opened =
        vesk::PayloadBackupStore::open(parent.handle, QStringLiteral(".warden-backups"), true);
    if (!opened.store)
        qFatal("no backup store: %s", qPrintable(opened.refusal.value_or(QString())));
    const vesk::PayloadBackupStore &store = *opened.store;
    const vesk::PayloadArchiver archiver(g_root->path() + QStringLiteral("/tmp"));
    QDateTime stamp(QDate(2026, 3, 2), QTime(9, 0));
    for (auto _ : state) {
        const vesk::PayloadChecksum::Digest digest = vesk::PayloadChecksum::sha256OfFile(g_zip);
        const vesk::StagedArchive staged = archiver.stage(g_zip, parent.handle);
        if (!digest.ok() || !staged.ok())
            qFatal("deploy failed");
        const auto swapped = vesk::PayloadFolderSwap::swapIn(store, parent.handle, staged.folder, staged.name,
                                                             QStringLiteral("Lumora"), stamp);
        if (swapped.failure)
            qFatal("swap failed: %s", qPrintable(*swapped.failure));
        store.prune(QStringLiteral("Lumora"));
        stamp = stamp.addSecs(1);
    }
}

void BM_Unzip(benchmark::State &state)
{
    int round = 0;
    for (auto _ : state) {
        const QString fresh = g_root->path() + QStringLiteral("/unzip-%1").arg(round++);
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-q"), g_zip, QStringLiteral("-d"), fresh});
        if (!unzip.waitForFinished(-1) || unzip.exitCode() != 0)
            qFatal("unzip failed");
        state.PauseTiming();
        QDir(fresh).removeRecursively();
        state.ResumeTiming();
    }
}

// Keeps each benchmark's mean real time per iteration, for the ratio printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const double ms = run.GetAdjustedRealTime(); // in the run's unit (ms)
            if (run.benchmark_name().find("BM_Deploy") == 0)
                g_deployMs = ms;
            else if (run.benchmark_name().find("BM_Unzip") == 0)
                g_unzipMs = ms;
        }
    }
};

} // namespace

BENCHMARK(BM_Deploy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Unzip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    g_root = &root;
    buildPayload();
    std::printf("payload: %d files, %lld MB of content, archive %lld bytes\n", kFiles, kTotalBytes >> 20,
                QFileInfo(g_zip).size());
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("deploy %.1f ms, unzip -q %.1f ms, ratio deploy/unzip %.2f\n", g_deployMs, g_unzipMs,
                g_unzipMs > 0 ? g_deployMs / g_unzipMs : 0.0);
    return 0;
}
