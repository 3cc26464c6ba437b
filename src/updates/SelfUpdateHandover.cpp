#include "updates/SelfUpdateHandover.h"

#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/FolderHandle.h"
#include "platform/LogCategories.h"
#include "updates/BundleReplacement.h"
#include "updates/VersionRule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vesk {

namespace {

const QString kPid = QStringLiteral("--pid");
const QString kBundle = QStringLiteral("--bundle");
const QString kKept = QStringLiteral("--kept");
const QString kVersion = QStringLiteral("--version");
const QString kState = QStringLiteral("--state");
const QString kStaging = QStringLiteral("--staging");
const QString kWait = QStringLiteral("--wait");
const QString kUnit = QStringLiteral("--unit");
const QString kRest = QStringLiteral("--");

} // namespace

QString SelfUpdateHandover::Plan::keptPath() const
{
    return QFileInfo(bundle).absolutePath() + QLatin1Char('/') + keptName;
}

QStringList SelfUpdateHandover::Plan::toArguments() const
{
    QStringList out{kPid,     QString::number(oldPid), kBundle, bundle, kKept, keptName, kVersion, version,
                    kState,   stateDir,                kStaging, staging, kWait, QString::number(bound.count())};
    if (!start.unit.isEmpty())
        out << kUnit << start.unit;
    out << kRest << start.executable << start.arguments;
    return out;
}

std::optional<SelfUpdateHandover::Plan> SelfUpdateHandover::Plan::fromArguments(const QStringList &arguments)
{
    Plan plan;
    int i = 0;
    for (; i < arguments.size() && arguments[i] != kRest; i += 2) {
        if (i + 1 >= arguments.size())
            return std::nullopt;
        const QString &name = arguments[i];
        const QString &value = arguments[i + 1];
        bool ok = true;
        if (name == kPid)
            plan.oldPid = value.toInt(&ok);
        else if (name == kBundle)
            plan.bundle = value;
        else if (name == kKept)
            plan.keptName = value;
        else if (name == kVersion)
            plan.version = value;
        else if (name == kState)
            plan.stateDir = value;
        else if (name == kStaging)
            plan.staging = value;
        else if (name == kWait)
            plan.bound = std::chrono::seconds(value.toInt(&ok));
        else if (name == kUnit)
            plan.start.unit = value;
        else
            return std::nullopt;
        if (!ok)
            return std::nullopt;
    }
    if (i + 1 >= arguments.size())
        return std::nullopt;
    plan.start.executable = arguments[i + 1];
    plan.start.arguments = arguments.mid(i + 2);
    // The kept copy must be a plain name beside the bundle, never a path elsewhere.
    if (plan.bundle.isEmpty() || plan.keptName.isEmpty() || plan.keptName.contains(QLatin1Char('/')) ||
        !plan.keptName.startsWith(QLatin1String(".warden-previous-")) || plan.version.isEmpty() || plan.stateDir.isEmpty() ||
        plan.bound.count() <= 0)
        return std::nullopt;
    return plan;
}

bool SelfUpdateHandover::writeMarker(const QString &stateDir, const QString &name, const QString &version)
{
    QDir().mkpath(stateDir);
    return !AtomicFile::write(stateDir + QLatin1Char('/') + name, version.toUtf8()).has_value();
}

std::optional<QString> SelfUpdateHandover::readMarker(const QString &stateDir, const QString &name)
{
    QFile file(stateDir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.read(256)).trimmed();
}

void SelfUpdateHandover::clearMarkers(const QString &stateDir)
{
    QFile::remove(stateDir + QLatin1Char('/') + pendingFile);
    QFile::remove(stateDir + QLatin1Char('/') + startedFile);
}

std::optional<QString> SelfUpdateHandover::putKeptBack(BundleSwap &swap, const Workspace &workspace,
                                                       const QString &bundle, const QString &keptName)
{
    const BundleReplacement replacement(swap, workspace);
    const QString folder = QFileInfo(bundle).absolutePath();
    const StagedBundle staged = replacement.stageKept(KeptCopy{folder, keptName}, bundle);
    if (!staged.ok())
        return staged.failure;
    return replacement.putInPlace(staged, bundle, std::nullopt).failure;
}

QCoro::Task<bool> SelfUpdateHandover::waitUntilGone(qint32 pid, std::chrono::seconds bound)
{
    Clock &clock = m_clock;
    const QDateTime deadline = clock.now().addSecs(bound.count());
    while (m_relaunch.isAlive(pid)) {
        if (clock.now() >= deadline)
            co_return false;
        co_await clock.sleep(pollInterval);
    }
    co_return true;
}

QCoro::Task<std::optional<QString>> SelfUpdateHandover::waitForStart(const Plan &plan, qint32 pid)
{
    Clock &clock = m_clock;
    const QDateTime deadline = clock.now().addSecs(plan.bound.count());
    const QString wanted = VersionRule::numericPart(plan.version);
    for (;;) {
        const std::optional<QString> started = readMarker(plan.stateDir, startedFile);
        if (started && VersionRule::numericPart(*started) == wanted)
            co_return std::nullopt;
        if (pid > 0 && !m_relaunch.isAlive(pid))
            co_return QStringLiteral("it exited");
        if (clock.now() >= deadline)
            co_return QStringLiteral("it did not report started within %1 s").arg(plan.bound.count());
        co_await clock.sleep(pollInterval);
    }
}

QCoro::Task<SelfUpdateHandover::Outcome> SelfUpdateHandover::run(Plan plan)
{
    const QString version = VersionRule::numericPart(plan.version);
    const QString folder = QFileInfo(plan.bundle).absolutePath();
    const auto removeKept = [&] {
        const Opened<FolderHandle> parent = FolderHandle::openTrusted(folder, false);
        if (parent.ok())
            parent.handle.removeTree(plan.keptName);
    };
    const auto finish = [&] {
        clearMarkers(plan.stateDir);
        if (!plan.staging.isEmpty())
            QDir(plan.staging).removeRecursively();
    };

    // Without a unit the old agent quits by itself; with one, the restart below stops it.
    if (plan.start.unit.isEmpty()) {
        const bool gone = co_await waitUntilGone(plan.oldPid, plan.bound);
        if (!gone) {
            const std::optional<QString> back = putKeptBack(m_swap, m_workspace, plan.bundle, plan.keptName);
            finish();
            const QString text = QStringLiteral("Self-update: the running agent did not quit; ") +
                                 (back ? QStringLiteral("could not put its files back: ") + *back
                                       : QStringLiteral("its files are back in place"));
            qCWarning(lcUpdate).noquote() << text;
            co_return Outcome{false, text};
        }
    }

    const LaunchOutcome launched = m_relaunch.startAgent(plan.start);
    std::optional<QString> failed;
    if (!launched.launched) {
        failed = QStringLiteral("it could not be started: ") + launched.error;
    } else {
        const std::optional<QString> why = co_await waitForStart(plan, launched.pid);
        failed = why;
    }
    if (!failed) {
        removeKept();
        finish();
        QFile::remove(plan.stateDir + QLatin1Char('/') + failedFile);
        const QString text = QStringLiteral("Self-update: version ") + version + QStringLiteral(" started");
        qCInfo(lcUpdate).noquote() << text;
        co_return Outcome{true, text};
    }

    if (plan.start.unit.isEmpty() && launched.launched)
        m_relaunch.stop(launched.pid);
    const std::optional<QString> back = putKeptBack(m_swap, m_workspace, plan.bundle, plan.keptName);
    finish();
    writeMarker(plan.stateDir, failedFile, plan.version);
    QString text = QStringLiteral("Self-update: version ") + version + QStringLiteral(" did not start (") + *failed +
                   QStringLiteral(")");
    if (back) {
        text += QStringLiteral("; the previous version could not be put back: ") + *back;
        qCCritical(lcUpdate).noquote() << text;
        co_return Outcome{false, text};
    }
    text += QStringLiteral("; rolled back to the previous version");
    qCWarning(lcUpdate).noquote() << text;
    const LaunchOutcome again = m_relaunch.startAgent(plan.start);
    if (!again.launched) {
        text += QStringLiteral(", which could not be started: ") + again.error;
        qCCritical(lcUpdate).noquote() << text;
    }
    co_return Outcome{false, text};
}

} // namespace vesk
