// The console's first paint after "Open" with VESK_BENCH_MACHINES machines (default 1000),
// against a bare QMainWindow with a QListView of the same number of plain rows; the search
// over 5,000 machines; and the agent's resident memory before opening, with the console open
// (one machine's detail shown) and after it is closed, over VESK_BENCH_CYCLES open/close
// cycles (default 20). VESK_BENCH_SMAPS=1 also lists the mappings that grew between the
// figure before opening and the one after the last close.
#include "console/ConsoleFleet.h"
#include "console/ConsoleLauncher.h"
#include "console/ConsoleWindow.h"
#include "console/MachineFilterModel.h"
#include "console/MachineListModel.h"
#include "local/AppLock.h"
#include "platform/linux/FileKeychainStore.h"
#include "platform/linux/SettingsDefaultsStore.h"
#include "platform/MemoryRelease.h"
#include "platform/linux/SystemClock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QMainWindow>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

using namespace vesk;

namespace {

// The directory answered at once, so the figure is the window's own cost.
class InstantFleet final : public ConsoleFleet {
public:
    explicit InstantFleet(int machines)
    {
        for (int i = 0; i < machines; ++i) {
            const QString serial = QStringLiteral("C02BENCH%1").arg(i, 5, 10, QLatin1Char('0'));
            m_list.devices.append(FleetMachine{serial, serial, QStringLiteral("Booth %1").arg(i), QStringLiteral("Booth"),
                                               QStringLiteral("2.4.1"), QStringLiteral("GALA-26"), QString(),
                                               QStringLiteral("2026-03-02T09:00:00Z"), QStringLiteral("online")});
        }
    }
    const FleetMachineList &list() const { return m_list; }

    // Wrapped first: QCoro moves from a co_returned lvalue of another type than the result.
    QCoro::Task<APIResult<FleetMachineList>> machines() override { co_return APIResult<FleetMachineList>(m_list); }
    QCoro::Task<APIResult<FleetDeviceStatus>> deviceStatus(QString serial) override
    {
        co_return FleetDeviceStatus{serial, {}};
    }
    // A report every five minutes over the range, so the charts draw full lines.
    QCoro::Task<APIResult<DeviceTelemetryResponse>> telemetryHistory(QString serial, int hours) override
    {
        DeviceTelemetryResponse answer;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int i = hours * 12; i > 0; --i) {
            DeviceTelemetrySnapshot sample;
            sample.serial = serial;
            sample.cpuUsage = 20 + (i * 7) % 60;
            sample.ramTotalGb = 16;
            sample.ramUsedGb = 4 + (i % 9);
            sample.diskTotalGb = 500;
            sample.diskUsedGb = 200 + (i % 50);
            sample.createdAt = now.addSecs(-300LL * i).toString(Qt::ISODateWithMs);
            answer.telemetry.append(sample);
        }
        co_return answer;
    }
    QCoro::Task<APIResult<FleetCommandResponse>> queueCommand(QString serial, QString command,
                                                              QMap<QString, AnyCodable>) override
    {
        co_return FleetCommandResponse{true, 1, serial, command};
    }
    QCoro::Task<APIResult<QList<FleetAlert>>> fleetAlerts(int) override { co_return QList<FleetAlert>{}; }
    QCoro::Task<APIResult<QList<DevicePolicy>>> policies() override { co_return QList<DevicePolicy>{}; }
    QCoro::Task<APIStatus> savePolicy(DevicePolicy) override { co_return APIStatus{}; }
    QCoro::Task<APIStatus> deletePolicy(QUuid) override { co_return APIStatus{}; }
    QCoro::Task<APIResult<MachineNotesResponse>> machineNotes(QString serial) override
    {
        co_return MachineNotesResponse{serial, {}};
    }
    QCoro::Task<APIStatus> addNote(QString, QString, QString) override { co_return APIStatus(); }
    QCoro::Task<APIStatus> deleteNote(qint64) override { co_return APIStatus(); }
    QCoro::Task<APIStatus> acknowledgeAlert(qint64) override { co_return APIStatus(); }
    QCoro::Task<APIResult<RemoteInstalledAppsResponse>> installedApps(QString serial) override
    {
        co_return RemoteInstalledAppsResponse{serial, {}};
    }
    QCoro::Task<APIResult<AppUpdatesResponse>> appReleases() override { co_return AppUpdatesResponse{}; }

private:
    FleetMachineList m_list;
};

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// A line of /proc/self/status in MiB: "VmRSS" (all resident pages, library code and mapped
// fonts included) or "RssAnon" (the heap and other private memory).
double statusMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(QByteArray(field) + ':'))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

QMap<QString, double> smapsMiB()
{
    QMap<QString, double> out;
    QFile f(QStringLiteral("/proc/self/smaps"));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    QString name;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() >= 5 && parts[0].contains('-') && !parts[0].endsWith(':'))
            name = parts.size() >= 6 ? QString::fromLocal8Bit(parts[5]) : QStringLiteral("[anon]");
        else if (line.startsWith("Rss:"))
            out[name] += parts.value(1).toDouble() / 1024.0;
    }
    return out;
}
struct Rss {
    double all = 0;
    double anon = 0;
    static Rss now() { return {statusMiB("VmRSS"), statusMiB("RssAnon")}; }
};

// Milliseconds from `open` to the first paint of a list, and to its first paint with rows.
class PaintWatch : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        const double now = timer.nsecsElapsed() / 1e6;
        if (!painted) {
            painted = true;
            elapsedMs = now;
        }
        if (!filled && model && model->rowCount() > 0) {
            filled = true;
            filledMs = now;
        }
        return false;
    }
    QElapsedTimer timer;
    const QAbstractItemModel *model = nullptr;
    bool painted = false;
    bool filled = false;
    double elapsedMs = 0;
    double filledMs = 0;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// Lets pending deletions and the launcher's clean-up after a close run.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int machines = envInt("VESK_BENCH_MACHINES", 1000);
    const int cycles = envInt("VESK_BENCH_CYCLES", 20);

    QTemporaryDir dir;
    SettingsDefaultsStore defaults(dir.filePath(QStringLiteral("settings.ini")));
    FileKeychainStore keychain(dir.filePath(QStringLiteral("keychain.json")));
    SystemClock clock;
    AppLock lock(keychain, defaults, QStringLiteral("com.lumora.warden"));
    InstantFleet fleet(machines);

    // Baseline: a bare main window listing the same number of rows.
    QList<double> baseline;
    for (int i = 0; i < 5; ++i) {
        PaintWatch watch;
        watch.timer.start();
        QMainWindow bare;
        QStringList rows;
        for (const FleetMachine &m : fleet.list().devices)
            rows.append(m.name);
        QStringListModel model(rows);
        auto *view = new QListView;
        view->setModel(&model);
        watch.model = &model;
        view->viewport()->installEventFilter(&watch);
        bare.setCentralWidget(view);
        bare.resize(1100, 720);
        bare.show();
        if (!QTest::qWaitFor([&] { return watch.filled; }, 5000)) {
            std::fprintf(stderr, "the bare window never painted its rows\n");
            return 1;
        }
        baseline.append(watch.filledMs);
    }

    // The baseline without the bare windows' freed heap, so nothing flatters the figure after close.
    settle();
    releaseFreedMemory();
    const Rss before = Rss::now();
    const auto smapsBefore = smapsMiB();
    ConsoleLauncher launcher(ConsoleContext{fleet, defaults, lock, clock, QStringLiteral("C02BENCH00000")});
    QList<double> firstPaint;
    QList<double> listed;
    Rss open;
    Rss afterFirst;
    for (int i = 0; i < cycles; ++i) {
        PaintWatch watch;
        watch.timer.start();
        launcher.open();
        ConsoleWindow *window = launcher.window();
        auto *list = window->findChild<QListView *>(QStringLiteral("machines"));
        list->viewport()->installEventFilter(&watch);
        watch.model = list->model();
        if (!QTest::qWaitFor([&] { return watch.filled; }, 5000)) {
            std::fprintf(stderr, "open %d: painted %d, %d rows listed (%d loaded, loading %d, '%s'), never painted with them\n", i, watch.painted,
                         list->model()->rowCount(), window->directory().list().rowCount(), window->directory().isLoading(), qPrintable(window->directory().errorText()));
            return 1;
        }
        firstPaint.append(watch.elapsedMs);
        listed.append(watch.filledMs);
        if (list->model()->rowCount() != machines) {
            std::fprintf(stderr, "console listed %d of %d machines\n", list->model()->rowCount(), machines);
            return 1;
        }
        // The machine detail too, charts and all, as an operator would.
        window->showMachine(fleet.list().devices.first().serial);
        QTest::qWait(20);
        open = Rss::now();
        window->close();
        if (!QTest::qWaitFor([&] { return launcher.window() == nullptr; }, 5000)) {
            std::fprintf(stderr, "the closed console was not released\n");
            return 1;
        }
        settle();
        if (i == 0)
            afterFirst = Rss::now();
    }
    const Rss after = Rss::now();
    if (qEnvironmentVariableIsSet("VESK_BENCH_SMAPS")) {
        const auto smapsAfter = smapsMiB();
        for (auto it = smapsAfter.cbegin(); it != smapsAfter.cend(); ++it) {
            const double grew = it.value() - smapsBefore.value(it.key());
            if (grew > 0.05)
                std::printf("  +%.2f MiB %s\n", grew, qPrintable(it.key()));
        }
    }

    // The sidebar search over 5,000 machines.
    InstantFleet big(5000);
    MachineListModel bigList(QStringLiteral("C02BENCH00000"));
    bigList.setMachines(big.list().devices);
    MachineFilterModel filtered(bigList);
    QList<double> searches;
    for (const char *text : {"b", "bo", "boo", "booth 4", "booth 49", "c02bench0499", "zzz", ""}) {
        QElapsedTimer t;
        t.start();
        filtered.setSearchText(QString::fromLatin1(text));
        (void)filtered.rowCount();
        searches.append(t.nsecsElapsed() / 1e6);
    }

    const double ours = median(firstPaint);
    const double bare = median(baseline);
    std::printf("first paint after Open, %d machines: median %.1f ms over %d opens (first open %.1f ms; target < 300)\n",
                machines, ours, cycles, firstPaint.first());
    std::printf("machine list painted with its rows: median %.1f ms (first open %.1f ms)\n", median(listed),
                listed.first());
    std::printf("bare QMainWindow + QListView painted with the same rows: median %.1f ms\n", bare);
    std::printf("console rows / bare rows = %.2f\n", bare > 0 ? median(listed) / bare : 0.0);
    std::printf("search over 5000 machines: median %.2f ms, worst %.2f ms (target < 50)\n", median(searches),
                *std::max_element(searches.cbegin(), searches.cend()));
    // The target is 5 MB (decimal) above the figure before opening.
    constexpr double targetMiB = 5e6 / (1024.0 * 1024.0);
    for (const auto &[label, field] : {std::pair{"RSS", &Rss::all}, std::pair{"RssAnon", &Rss::anon}}) {
        const double grew = after.*field - before.*field;
        std::printf("%s: before open %.1f MiB, open %.1f MiB, after the first close %.1f MiB, after %d closes %.1f MiB: "
                    "+%.2f MiB = %.2f MB, %.2f of the 5 MB target\n",
                    label, before.*field, open.*field, afterFirst.*field, cycles, after.*field, grew,
                    grew * 1.048576, grew / targetMiB);
    }
    return 0;
}
