// Installed-apps discovery over 40 family bundles of 2,000 files each, against `du -s` of
// the same bundles: the report walks every file of every bundle, so it should cost no more
// than the system's own disk-usage tool doing the same walk.
#include "monitor/FamilyApps.h"
#include "monitor/InstalledAppsDiscovery.h"
#include "platform/linux/LinuxWorkspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int kBundles = 40;
constexpr int kFilesPerBundle = 2000;
constexpr int kFolders = 20;

QTemporaryDir *g_root = nullptr;
QStringList g_bundles;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString applicationsDir() { return g_root->path() + QStringLiteral("/Applications"); }

void buildBundles()
{
    const QList<vesk::AppRef> &family = vesk::familyAppTable();
    for (int b = 0; b < kBundles; ++b) {
        const vesk::AppRef &app = family[b % family.size()];
        const QString bundle = applicationsDir() + QStringLiteral("/%1.app").arg(app.name);
        QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS"));
        writeFile(bundle + QStringLiteral("/Contents/Info.plist"),
                  QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                 "<key>CFBundleIdentifier</key><string>%1</string>"
                                 "<key>CFBundleName</key><string>%2</string>"
                                 "<key>CFBundleShortVersionString</key><string>1.%3</string>"
                                 "<key>CFBundleVersion</key><string>%3</string>"
                                 "<key>CFBundleExecutable</key><string>run</string></dict></plist>\n")
                      .arg(app.bundleId, app.name)
                      .arg(b)
                      .toUtf8());
        writeFile(bundle + QStringLiteral("/Contents/MacOS/run"), QByteArray(4096, 'x'));
        // Info.plist and the executable are two of the bundle's files.
        for (int f = 0; f < kFilesPerBundle - 2; ++f) {
            const QString folder = bundle + QStringLiteral("/Contents/Resources/r%1").arg(f % kFolders);
            if (f < kFolders)
                QDir().mkpath(folder);
            writeFile(folder + QStringLiteral("/asset%1.dat").arg(f), QByteArray(200 + f % 3000, 'a'));
        }
        g_bundles.append(bundle);
    }
}

void BM_InstalledFamilyApps(benchmark::State &state)
{
    vesk::LinuxWorkspace workspace({applicationsDir()});
    const vesk::InstalledAppsDiscovery discovery(workspace, applicationsDir());
    for (auto _ : state) {
        const auto apps = discovery.installedFamilyApps();
        if (apps.size() != kBundles)
            state.SkipWithError("wrong number of apps found");
        benchmark::DoNotOptimize(apps);
    }
}

void BM_DuOfTheSameBundles(benchmark::State &state)
{
    QStringList args{QStringLiteral("-s")};
    args += g_bundles;
    for (auto _ : state) {
        QProcess du;
        du.start(QStringLiteral("du"), args);
        if (!du.waitForFinished(60000) || du.exitCode() != 0)
            state.SkipWithError("du failed");
        benchmark::DoNotOptimize(du.readAllStandardOutput());
    }
}

BENCHMARK(BM_InstalledFamilyApps)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_DuOfTheSameBundles)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Keeps each benchmark's mean wall time so the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double time(const std::string &name) const
    {
        const auto it = m_times.find(name);
        return it == m_times.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    g_root = &root;
    std::printf("Building %d bundles of %d files under %s ...\n", kBundles, kFilesPerBundle, qPrintable(root.path()));
    buildBundles();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double ours = reporter.time("BM_InstalledFamilyApps/min_time:2.000/real_time");
    const double du = reporter.time("BM_DuOfTheSameBundles/min_time:2.000/real_time");
    if (ours > 0 && du > 0)
        std::printf("installedFamilyApps / du -s = %.2f (%.1f ms vs %.1f ms; target <= 1.00)\n", ours / du, ours, du);
    return 0;
}
