// A writer to be killed: writes one kind of agent file through the agent's own code, over
// and over, each generation's content derived from its number. On start it first reads the
// file as the agent would and reports the generation it holds:
//   found <n>     the file holds exactly generation n (0: no file yet)
//   found torn    the file exists but is not one whole generation
// then writes n+1, n+2, ... and reports "wrote <n>" after each write returns.
//   atomic_writer <kind> <folder>
#include "alerts/AlertOutbox.h"
#include "commands/RecentCommands.h"
#include "local/JsonListFile.h"
#include "platform/linux/FileKeychainStore.h"
#include "platform/linux/KeychainFileFormat.h"
#include "platform/linux/SettingsDefaultsStore.h"
#include "policy/PolicyFiles.h"
#include "updates/BackupManifest.h"
#include "wire/policy/MonitoredShare.h"
#include "wire/policy/RetentionRule.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTimeZone>

#include <cstdio>
#include <functional>
#include <map>

using namespace vesk;

namespace {

constexpr qint64 kNone = 0;
constexpr qint64 kTorn = -1;

// Large enough that a write takes several system calls; the size varies by generation.
QString contentOf(qint64 generation)
{
    return QStringLiteral("generation %1;").arg(generation).repeated(200 + int(generation % 7) * 150);
}

// The generation whose content `text` is exactly, else torn.
qint64 generationOf(const QString &text)
{
    const qint64 generation = text.section(QLatin1Char(' '), 1, 1).section(QLatin1Char(';'), 0, 0).toLongLong();
    return generation > 0 && text == contentOf(generation) ? generation : kTorn;
}

std::optional<QByteArray> fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// A JSON list file that is whole: it parses as an array (the readers skip what does not).
bool isWholeJsonArray(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    return error.error == QJsonParseError::NoError && document.isArray();
}

struct Kind {
    std::function<void(qint64)> write;
    std::function<qint64()> read;
};

DevicePolicy policyOf(qint64 generation, int index)
{
    DevicePolicy policy;
    const QString id = QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964%1").arg(index, 2, 10, QLatin1Char('0'));
    policy.id = QUuid::fromString(id);
    policy.name = contentOf(generation);
    return policy;
}

std::map<QString, Kind> kinds(const QString &dir)
{
    std::map<QString, Kind> all;

    const QString keychainPath = dir + QStringLiteral("/keychain/items.json");
    all["keychain"] = Kind{
        [keychainPath](qint64 n) {
            FileKeychainStore store(keychainPath);
            (void)QCoro::waitFor(store.write(QStringLiteral("vesk-warden"), QStringLiteral("fleet-secret"),
                                             contentOf(n).toUtf8()));
        },
        [keychainPath]() -> qint64 {
            const std::optional<QByteArray> bytes = fileBytes(keychainPath);
            if (!bytes)
                return kNone;
            const KeychainFileContents contents = parseKeychainFile(*bytes);
            const auto value =
                contents.items.constFind({QStringLiteral("vesk-warden"), QStringLiteral("fleet-secret")});
            if (!contents.error.isEmpty() || value == contents.items.constEnd())
                return kTorn;
            return generationOf(QString::fromUtf8(*value));
        }};

    const QString iniPath = dir + QStringLiteral("/settings.ini");
    all["settings"] = Kind{
        [iniPath](qint64 n) { SettingsDefaultsStore(iniPath).setValue(QStringLiteral("message"), contentOf(n)); },
        [iniPath]() -> qint64 {
            if (!QFile::exists(iniPath))
                return kNone;
            QSettings settings(iniPath, QSettings::IniFormat);
            if (settings.status() != QSettings::NoError)
                return kTorn;
            return generationOf(settings.value(QStringLiteral("message")).toString());
        }};

    all["policy_library"] = Kind{
        [dir](qint64 n) { PolicyFiles(dir).saveLibrary({policyOf(n, 1), policyOf(n, 2), policyOf(n, 3)}); },
        [dir]() -> qint64 {
            const PolicyFiles files(dir);
            if (!QFile::exists(files.libraryPath()))
                return kNone;
            const std::optional<QList<DevicePolicy>> library = files.readLibrary();
            if (!library || library->size() != 3)
                return kTorn;
            const qint64 n = generationOf(library->front().name);
            return *library == QList<DevicePolicy>{policyOf(n, 1), policyOf(n, 2), policyOf(n, 3)} ? n : kTorn;
        }};

    all["policy_cache"] = Kind{
        [dir](qint64 n) { PolicyFiles(dir).writeCache(policyOf(n, 4)); },
        [dir]() -> qint64 {
            const PolicyFiles files(dir);
            if (!QFile::exists(files.cachePath()))
                return kNone;
            const std::optional<DevicePolicy> cached = files.readCache();
            if (!cached)
                return kTorn;
            const qint64 n = generationOf(cached->name);
            return *cached == policyOf(n, 4) ? n : kTorn;
        }};

    all["backups_manifest"] = Kind{
        [dir](qint64 n) {
            const AppBackup backup{QStringLiteral("com.lumora.print"), contentOf(n),
                                   QString::number(n), QStringLiteral("1"),
                                   QStringLiteral("Print_b1.app"), QStringLiteral("/opt/Print.app"),
                                   QDateTime::fromSecsSinceEpoch(n, QTimeZone::utc())};
            BackupManifest(dir).put(backup.bundleId, backup);
        },
        [dir]() -> qint64 {
            const BackupManifest manifest(dir);
            const std::optional<QByteArray> bytes = fileBytes(manifest.path());
            if (!bytes)
                return kNone;
            const QList<AppBackup> backups = manifest.load();
            if (!isWholeJsonArray(*bytes) || backups.size() != 1)
                return kTorn;
            const qint64 n = generationOf(backups.front().name);
            return backups.front().previousVersion == QString::number(n) ? n : kTorn;
        }};

    const JsonListFile<RetentionRule> rulesFile(dir, QStringLiteral("retention_rules.json"));
    all["retention_rules"] = Kind{
        [rulesFile](qint64 n) {
            QList<RetentionRule> rules(3);
            for (RetentionRule &rule : rules) {
                rule.name = contentOf(n);
                rule.folderPath = QStringLiteral("~/Pictures/Drop");
            }
            rulesFile.write(rules);
        },
        [rulesFile]() -> qint64 {
            if (!QFile::exists(rulesFile.path()))
                return kNone;
            const QList<RetentionRule> rules = rulesFile.items();
            if (rules.size() != 3)
                return kTorn;
            const qint64 n = generationOf(rules.at(2).name);
            return rules.at(0).name == contentOf(n) ? n : kTorn;
        }};

    const JsonListFile<MonitoredShare> sharesFile(dir, QStringLiteral("monitored_shares.json"));
    all["shares"] = Kind{
        [sharesFile](qint64 n) {
            MonitoredShare share;
            share.id = QUuid::fromString(QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc96405"));
            share.name = contentOf(n);
            share.address = QStringLiteral("smb://nas/captures");
            sharesFile.write({share});
        },
        [sharesFile]() -> qint64 {
            if (!QFile::exists(sharesFile.path()))
                return kNone;
            const QList<MonitoredShare> shares = sharesFile.items();
            return shares.size() == 1 ? generationOf(shares.front().name) : kTorn;
        }};

    all["recent_commands"] = Kind{
        [dir](qint64 n) { RecentCommands(dir).started(n); },
        [dir]() -> qint64 {
            RecentCommands recent(dir);
            const std::optional<QByteArray> bytes = fileBytes(recent.path());
            if (!bytes)
                return kNone;
            if (!isWholeJsonArray(*bytes))
                return kTorn;
            const QJsonArray entries = QJsonDocument::fromJson(*bytes).array();
            const qint64 n =
                entries.isEmpty() ? kTorn : entries.last().toObject().value(QStringLiteral("id")).toInteger();
            return n > 0 && recent.find(n) && !recent.find(n + 1) ? n : kTorn;
        }};
    // The outbox keeps every report not yet delivered: each generation adds one, the oldest
    // falling out at its capacity, so the file grows to a few hundred reports.
    const QString outboxPath = dir + QStringLiteral("/alert_outbox.json");
    all["alert_outbox"] = Kind{
        [outboxPath](qint64 n) {
            AlertOutbox(outboxPath).append(AlertReport{QStringLiteral("C02CRASH1"), QStringLiteral("critical"),
                                                       QStringLiteral("disk"), QStringLiteral("Disk Almost Full"),
                                                       QStringLiteral("generation %1;").arg(n), std::nullopt,
                                                       std::nullopt, std::nullopt});
        },
        [outboxPath]() -> qint64 {
            const std::optional<QByteArray> bytes = fileBytes(outboxPath);
            if (!bytes)
                return kNone;
            if (!isWholeJsonArray(*bytes))
                return kTorn;
            const QJsonArray reports = QJsonDocument::fromJson(*bytes).array();
            if (reports.isEmpty() || AlertOutbox(outboxPath).size() != reports.size())
                return kTorn;
            const QString last = reports.last().toObject().value(QStringLiteral("message")).toString();
            const qint64 n = last.section(QLatin1Char(' '), 1, 1).section(QLatin1Char(';'), 0, 0).toLongLong();
            return n > 0 && last == QStringLiteral("generation %1;").arg(n) ? n : kTorn;
        }};
    return all;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: atomic_writer <kind> <folder>\n");
        return 2;
    }
    std::map<QString, Kind> all = kinds(args.at(2));
    const auto kind = all.find(args.at(1));
    if (kind == all.end()) {
        std::fprintf(stderr, "unknown kind\n");
        return 2;
    }
    const qint64 found = kind->second.read();
    if (found == kTorn)
        std::printf("found torn\n");
    else
        std::printf("found %lld\n", static_cast<long long>(found));
    std::fflush(stdout);
    for (qint64 n = std::max<qint64>(found, 0) + 1;; ++n) {
        kind->second.write(n);
        std::printf("wrote %lld\n", static_cast<long long>(n));
        std::fflush(stdout);
    }
}
