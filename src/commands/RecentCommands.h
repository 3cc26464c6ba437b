#pragma once

#include "commands/CommandResult.h"

#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// The fleet commands this machine ran lately, by id, each with its result once it has
// one: "recent_commands.json" in the storage folder, rewritten atomically after each
// change and read once. The fleet server hands a command out again when its result did
// not arrive, so the poller looks here first and runs an id at most once. Only the
// newest kMaxEntries ids are kept. An unreadable file counts as empty (logged).
class RecentCommands {
public:
    static constexpr qsizetype kMaxEntries = 200;

    struct Entry {
        qint64 id = 0;
        // None while the command runs, or when the agent stopped before it finished.
        std::optional<CommandResult> result;
    };

    // An empty folder keeps the list in memory only.
    explicit RecentCommands(QString storageDir);

    QString path() const { return m_path; }
    std::optional<Entry> find(qint64 id);
    // Before the command runs, so a crash mid-command does not make it run again.
    void started(qint64 id);
    void finished(qint64 id, const CommandResult &result);

private:
    void load();
    void save() const;
    void put(Entry entry);

    QString m_dir;
    QString m_path;
    bool m_loaded = false;
    // Oldest first.
    QList<Entry> m_entries;
};

} // namespace vesk
