#include "credentials/CredentialManager.h"

#include "credentials/ConnectionTest.h"
#include "credentials/CredentialFileParser.h"
#include "credentials/CredentialScanner.h"
#include "credentials/CredentialsConfig.h"
#include "credentials/CredentialsLog.h"
#include "credentials/CurrentSet.h"

#include <QPointer>
#include <QSet>

namespace vesk {

namespace {

bool accountOk(const std::optional<QString> &account)
{
    return !account || account->isEmpty() || credentialfiles::isValidAccount(*account);
}

} // namespace

CredentialManager::CredentialManager(DefaultsStore &defaults, Clock &clock, HttpTransport &transport,
                                     PlatformPaths paths, QUrl uploadTestUrl, QObject *parent)
    : QObject(parent),
      m_store(defaults, defaultKeyPrefix),
      m_clock(clock),
      m_transport(transport),
      m_paths(std::move(paths)),
      m_uploadTestUrl(std::move(uploadTestUrl)),
      m_locationTimezone(clock.timeZone())
{
    CredentialState state = m_store.load();
    m_sets = std::move(state.sets);
    m_schedules = std::move(state.schedules);
    m_selectedPipeline = std::move(state.selectedPipeline);
    m_pipelineSelections = std::move(state.pipelineSelections);
    m_importTimestamps = std::move(state.importTimestamps);
    const QString desktop = m_paths.desktopDir;
    m_desktopURLProvider = [desktop]() -> std::optional<QString> { return desktop; };
}

void CredentialManager::scanForCredentials()
{
    if (!m_scannerStarted) {
        m_scannerStarted = true;
        log(QStringLiteral("Credential scanner started"));
    }
    const QDateTime now = m_clock.now();
    merge(readLocations(now), now);
}

QList<CredentialManager::ReadSet> CredentialManager::readLocations(const QDateTime &now)
{
    QList<CredentialScanLocation> locations;
    const std::optional<QString> desktop = m_desktopURLProvider ? m_desktopURLProvider() : std::nullopt;
    if (desktop)
        locations.append({*desktop, false});
    else
        log(QStringLiteral("CREDENTIALS scan: no Desktop access (provider returned nil)"));
    locations.append({m_paths.documentsDir, false});
    locations.append({m_paths.documentsDir + QStringLiteral("/Credentials"), false});
    locations.append({m_paths.sharedDir + QStringLiteral("/Lumora"), true});
    locations.append(m_additionalScanLocations);

    const CredentialScanner scanner([this](const QString &line) { log(line); });
    QList<ReadSet> read;
    QSet<QString> names;
    for (const CredentialScanLocation &location : std::as_const(locations)) {
        const QStringList paths = scanner.candidates(location.url, location.recursive);
        for (const QString &path : paths) {
            std::optional<CredentialSet> set = scanner.read(path, now);
            if (!set)
                continue;
            if (names.contains(set->name)) {
                log(QStringLiteral("CREDENTIALS scan: skipped duplicate set '%1' at %2").arg(set->name, path));
                continue;
            }
            names.insert(set->name);
            read.append({path, std::move(*set)});
        }
    }
    if (desktop && m_desktopURLCleanup)
        m_desktopURLCleanup();
    return read;
}

void CredentialManager::merge(const QList<ReadSet> &read, const QDateTime &now)
{
    QSet<QString> readNames;
    for (ReadSet entry : read) {
        CredentialSet &set = entry.set;
        readNames.insert(set.name);
        // A pipeline chosen in the sets tab outlives re-reading the file.
        set.selectedPipeline = m_pipelineSelections.value(set.name, set.selectedPipeline);
        m_importTimestamps.insert(set.name, now);
        log(QStringLiteral("Imported '%1' from %2").arg(set.name, entry.path));
        const int index = indexOfSet(set.name);
        if (index < 0) {
            m_sets.append(set);
            audit(QStringLiteral("credentialSetAdded"), QStringLiteral("Added set '%1' from %2").arg(set.name, entry.path));
            log(QStringLiteral("CREDENTIALS imported set: ") + set.name);
            continue;
        }
        // Hourly re-reads of an unchanged file are not edits worth auditing.
        const bool changed = !m_sets[index].sameContent(set);
        m_sets[index] = set;
        if (changed)
            audit(QStringLiteral("credentialSetUpdated"),
                  QStringLiteral("Updated set '%1' from %2").arg(set.name, entry.path));
    }
    const qsizetype kept = std::count_if(m_sets.cbegin(), m_sets.cend(), [&](const CredentialSet &set) {
        return !readNames.contains(set.name);
    });
    log(QStringLiteral("CREDENTIALS updated: %1 scanned + %2 preserved = %3 set(s)")
            .arg(read.size())
            .arg(kept)
            .arg(m_sets.size()));
    m_store.saveSets(m_sets);
    m_store.saveImportTimestamps(m_importTimestamps);
    emit currentSetsChanged();
}

std::optional<CredentialSet> CredentialManager::currentCredentialSet(const QDateTime &at) const
{
    return currentSetAt(m_sets, m_schedules, at, m_locationTimezone);
}

bool CredentialManager::addSet(const CredentialSet &set)
{
    if (set.name.isEmpty() || indexOfSet(set.name) >= 0 || !hasValidAccounts(set))
        return false;
    m_sets.append(set);
    if (pipelines::isKnown(set.selectedPipeline)) {
        m_pipelineSelections.insert(set.name, set.selectedPipeline);
        m_store.savePipelineSelections(m_pipelineSelections);
    }
    m_store.saveSets(m_sets);
    audit(QStringLiteral("credentialSetAdded"), QStringLiteral("Added set '%1'").arg(set.name));
    emit currentSetsChanged();
    return true;
}

bool CredentialManager::updateSet(const CredentialSet &set)
{
    const int index = indexOfSet(set.name);
    if (index < 0 || !hasValidAccounts(set))
        return false;
    m_sets[index] = set;
    if (pipelines::isKnown(set.selectedPipeline)) {
        m_pipelineSelections.insert(set.name, set.selectedPipeline);
        m_store.savePipelineSelections(m_pipelineSelections);
    }
    m_store.saveSets(m_sets);
    audit(QStringLiteral("credentialSetUpdated"), QStringLiteral("Updated set '%1'").arg(set.name));
    emit currentSetsChanged();
    return true;
}

bool CredentialManager::deleteSet(const QString &name)
{
    const int index = indexOfSet(name);
    if (index < 0)
        return false;
    m_sets.removeAt(index);
    const qsizetype removed = m_schedules.removeIf(
        [&](const CredentialSchedule &schedule) { return schedule.credentialSetName == name; });
    m_pipelineSelections.remove(name);
    m_importTimestamps.remove(name);
    m_store.saveSets(m_sets);
    m_store.saveSchedules(m_schedules);
    m_store.savePipelineSelections(m_pipelineSelections);
    m_store.saveImportTimestamps(m_importTimestamps);
    audit(QStringLiteral("credentialSetDeleted"),
          QStringLiteral("Deleted set '%1' and %2 schedule(s)").arg(name).arg(removed));
    emit currentSetsChanged();
    if (removed > 0)
        emit schedulesChanged();
    return true;
}

void CredentialManager::addSchedule(CredentialSchedule schedule)
{
    if (schedule.id.isNull())
        schedule.id = QUuid::createUuid();
    m_schedules.append(schedule);
    m_store.saveSchedules(m_schedules);
    audit(QStringLiteral("seasonScheduleAdded"), QStringLiteral("Season '%1' added: %2/%3 to %4/%5, priority %6")
                                                     .arg(schedule.credentialSetName)
                                                     .arg(schedule.startMonth)
                                                     .arg(schedule.startDay)
                                                     .arg(schedule.endMonth)
                                                     .arg(schedule.endDay)
                                                     .arg(schedule.priority));
    emit schedulesChanged();
}

bool CredentialManager::deleteSchedule(const QUuid &id)
{
    const auto it = std::find_if(m_schedules.cbegin(), m_schedules.cend(),
                                 [&](const CredentialSchedule &schedule) { return schedule.id == id; });
    if (it == m_schedules.cend())
        return false;
    const QString setName = it->credentialSetName;
    m_schedules.erase(it);
    m_store.saveSchedules(m_schedules);
    audit(QStringLiteral("seasonScheduleDeleted"), QStringLiteral("Removed season '%1'").arg(setName));
    emit schedulesChanged();
    return true;
}

bool CredentialManager::setPipeline(const QString &setName, const QString &pipeline)
{
    const int index = indexOfSet(setName);
    if (index < 0 || !pipelines::isKnown(pipeline))
        return false;
    m_sets[index].selectedPipeline = pipeline;
    m_pipelineSelections.insert(setName, pipeline);
    m_selectedPipeline = pipeline;
    m_store.saveSets(m_sets);
    m_store.savePipelineSelections(m_pipelineSelections);
    m_store.saveSelectedPipeline(m_selectedPipeline);
    audit(QStringLiteral("credentialActiveSetChanged"),
          QStringLiteral("Pipeline for '%1' set to %2").arg(setName, pipelines::label(pipeline)));
    emit currentSetsChanged();
    emit selectedPipelineChanged();
    return true;
}

QCoro::Task<TestResult> CredentialManager::testConnection(QString account, QString location, QString setName)
{
    if (account.isEmpty() || location.isEmpty())
        co_return TestResult::failed(QStringLiteral("Account and location required"));
    if (!connectiontest::isUsableUrl(m_uploadTestUrl))
        co_return TestResult::failed(QStringLiteral("Invalid upload URL"));

    const QByteArray document = connectiontest::buildDocument(account, location, credentials::keyPassword());
    QPointer<CredentialManager> self(this);
    const HttpResult reply = co_await m_transport.send(connectiontest::buildRequest(m_uploadTestUrl, document));
    const TestResult result = connectiontest::classify(reply);
    if (!self)
        co_return result;
    const QString subject = setName.isEmpty() ? QStringLiteral("Tested account %1").arg(account)
                                              : QStringLiteral("Tested set '%1' account %2").arg(setName, account);
    const QString outcome = result.success ? QStringLiteral("passed")
                                           : QStringLiteral("failed: ") + result.error.value_or(QString());
    audit(QStringLiteral("credentialSetTested"), subject + QStringLiteral(" at ") + location + QStringLiteral(", ") + outcome);
    co_return result;
}

int CredentialManager::indexOfSet(const QString &name) const
{
    for (int i = 0; i < m_sets.size(); ++i) {
        if (m_sets[i].name == name)
            return i;
    }
    return -1;
}

bool CredentialManager::hasValidAccounts(const CredentialSet &set) const
{
    return accountOk(set.kr5Account) && accountOk(set.kr52Account) && accountOk(set.kr53Account);
}

void CredentialManager::log(const QString &line) const
{
    if (m_logger)
        m_logger(line);
    else
        qCInfo(lcCredentials).noquote() << line;
}

void CredentialManager::audit(const QString &event, const QString &text) const
{
    if (m_auditLogger)
        m_auditLogger(event, text);
    else
        qCInfo(lcCredentials).noquote() << event + QStringLiteral(": ") + text;
}

} // namespace vesk
