#include "platform/linux/WifiNameCache.h"

#include "platform/Clock.h"

#include <QFutureWatcher>

namespace vesk {

WifiNameCache::WifiNameCache(Lookup lookup, const Clock &clock) : m_lookup(std::move(lookup)), m_clock(clock) {}

std::optional<QString> WifiNameCache::current(const QStringList &interfaces)
{
    m_entries.removeIf([&](const auto &entry) { return !interfaces.contains(entry.key()); });
    std::optional<QString> found;
    for (const QString &name : interfaces) {
        Entry &entry = m_entries[name];
        if (isDue(entry))
            ask(name, entry);
        if (!found && entry.name)
            found = entry.name;
    }
    return found;
}

bool WifiNameCache::isDue(const Entry &entry) const
{
    if (entry.pending)
        return false;
    if (!entry.askedAt)
        return true;
    // A clock set back makes the age negative: ask rather than trust the old answer for longer.
    const qint64 age = entry.askedAt->secsTo(m_clock.now());
    return age < 0 || age >= kRefreshSeconds;
}

void WifiNameCache::ask(const QString &interfaceName, Entry &entry)
{
    entry.pending = true;
    entry.askedAt = m_clock.now();
    entry.askId = ++m_lastAskId;
    auto *watcher = new QFutureWatcher<std::optional<QString>>(&m_answers);
    QObject::connect(watcher, &QFutureWatcherBase::finished, &m_answers, [this, watcher, interfaceName, askId = entry.askId] {
        watcher->deleteLater();
        const auto it = m_entries.find(interfaceName);
        // Forgotten meanwhile: the interface went away, and this answer with it.
        if (it == m_entries.end() || !it->pending || it->askId != askId)
            return;
        it->pending = false;
        const QFuture<std::optional<QString>> future = watcher->future();
        it->name = future.isValid() && future.resultCount() > 0 ? future.result() : std::nullopt;
    });
    watcher->setFuture(m_lookup(interfaceName));
}

} // namespace vesk
