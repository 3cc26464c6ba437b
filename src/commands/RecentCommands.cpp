#include "commands/RecentCommands.h"

#include "platform/AtomicFile.h"
#include "platform/LogCategories.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vesk {

namespace {

// Far more than kMaxEntries entries ever take; anything larger is not our file.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

} // namespace

RecentCommands::RecentCommands(QString storageDir)
    : m_dir(std::move(storageDir)),
      m_path(m_dir.isEmpty() ? QString() : QDir(m_dir).filePath(QStringLiteral("recent_commands.json")))
{
}

void RecentCommands::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    QFile file(m_path);
    if (m_path.isEmpty() || !file.exists())
        return;
    if (file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly)) {
        qCWarning(lcFleet).noquote() << QStringLiteral("Recent commands unreadable: ") + m_path;
        return;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isArray()) {
        qCWarning(lcFleet).noquote() << QStringLiteral("Recent commands unreadable: ") + m_path;
        return;
    }
    for (const QJsonValue &value : document.array()) {
        const QJsonObject object = value.toObject();
        Entry entry{object.value(QStringLiteral("id")).toInteger(), std::nullopt};
        if (entry.id <= 0)
            continue;
        if (object.contains(QStringLiteral("success"))) {
            CommandResult result;
            result.success = object.value(QStringLiteral("success")).toBool();
            if (object.value(QStringLiteral("message")).isString())
                result.message = object.value(QStringLiteral("message")).toString();
            entry.result = result;
        }
        m_entries.append(entry);
    }
    while (m_entries.size() > kMaxEntries)
        m_entries.removeFirst();
}

void RecentCommands::save() const
{
    if (m_path.isEmpty())
        return;
    QJsonArray entries;
    for (const Entry &entry : m_entries) {
        QJsonObject object{{QStringLiteral("id"), entry.id}};
        if (entry.result) {
            object.insert(QStringLiteral("success"), entry.result->success);
            if (entry.result->message)
                object.insert(QStringLiteral("message"), *entry.result->message);
        }
        entries.append(object);
    }
    QDir().mkpath(m_dir);
    if (const std::optional<QString> error =
            AtomicFile::write(m_path, QJsonDocument(entries).toJson(QJsonDocument::Compact)))
        qCWarning(lcFleet).noquote() << QStringLiteral("Recent commands not saved: ") + *error;
}

std::optional<RecentCommands::Entry> RecentCommands::find(qint64 id)
{
    load();
    for (const Entry &entry : m_entries) {
        if (entry.id == id)
            return entry;
    }
    return std::nullopt;
}

void RecentCommands::put(Entry entry)
{
    load();
    m_entries.removeIf([&entry](const Entry &old) { return old.id == entry.id; });
    m_entries.append(std::move(entry));
    while (m_entries.size() > kMaxEntries)
        m_entries.removeFirst();
    save();
}

void RecentCommands::started(qint64 id)
{
    put({id, std::nullopt});
}

void RecentCommands::finished(qint64 id, const CommandResult &result)
{
    // The quit flag is about this run only; a re-sent result never quits the agent again.
    put({id, CommandResult{result.success, result.message, false}});
}

} // namespace vesk
