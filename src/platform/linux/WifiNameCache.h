#pragma once

#include <QDateTime>
#include <QFuture>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vesk {

class Clock;

// The Wi-Fi network names of the wireless interfaces, for sampling passes that must not wait
// on the system bus. current() answers at once from what earlier look-ups found, and asks
// again for an interface whose last look-up began kRefreshSeconds ago or more; one look-up
// per interface is outstanding at a time, however slow it is. Answers arrive through the
// event loop of the thread that made the cache, the only thread that may use it.
class WifiNameCache {
public:
    static constexpr qint64 kRefreshSeconds = 45;
    // Starts finding the network an interface is joined to; none when it is not associated.
    using Lookup = std::function<QFuture<std::optional<QString>>(const QString &interfaceName)>;

    WifiNameCache(Lookup lookup, const Clock &clock);
    Q_DISABLE_COPY_MOVE(WifiNameCache)

    // The name known for the first of these interfaces that has one. Interfaces missing from
    // the list are forgotten, so one that comes back is asked about at once.
    std::optional<QString> current(const QStringList &interfaces);

private:
    struct Entry {
        std::optional<QString> name;
        std::optional<QDateTime> askedAt;
        bool pending = false;
        quint64 askId = 0; // the outstanding look-up's; an older answer is not taken
    };
    bool isDue(const Entry &entry) const;
    void ask(const QString &interfaceName, Entry &entry);

    Lookup m_lookup;
    const Clock &m_clock;
    QHash<QString, Entry> m_entries;
    quint64 m_lastAskId = 0;
    QObject m_answers; // last member: parents the watchers, so no answer outlives the cache
};

} // namespace vesk
