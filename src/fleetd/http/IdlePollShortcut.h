#pragma once

#include "fleetd/http/FleetContext.h"
#include "fleetd/http/RequestFraming.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <memory>
#include <optional>

class QHttpServerRequest;

namespace vesk::fleetd {

class FleetAuth;

// A machine with nothing to do repeats its command poll byte for byte every few seconds.
// Once the poll handler has answered such a poll "nothing pending", this remembers the answer
// under what decided it (the fleet key, X-Device-Serial, Content-Type and the body) and gives
// it again to an identical poll straight from the connection front, before QHttpServer reads
// the request a byte at a time, routes it and runs the handler.
//
// An answer is given again only while nothing that decided it can have changed:
//   - FleetAuth's epoch is the one the handler saw: it moves whenever the key and owner caches
//     are dropped (a secret, an owner or a command changed through this server, or another
//     connection committed: SQLite's data_version, checked on every shortcut), so a revoke or
//     a queued command applies to the next poll;
//   - the clock has not reached the moment the machine's earliest delivered command without a
//     result is due to be handed out again.
// Anything else (another key, serial or body, a query string, pipelining behind a request the
// server still reads, "Connection: close") goes the normal way.
class IdlePollShortcut {
public:
    IdlePollShortcut(std::shared_ptr<FleetAuth> auth, FleetContext::Now now);

    // The poll handler answered `request` with `body` and nothing pending; `quietUntil` is when
    // a command handed out earlier becomes due again (invalid: none is outstanding).
    void remember(const QHttpServerRequest &request, const QByteArray &body, const QDateTime &quietUntil);

    // The whole HTTP answer for a repeat of a remembered poll, or nothing.
    std::optional<QByteArray> answer(const RequestFraming::Head &head, QByteArrayView body);

    // The bytes QHttpServer sends for a 200 with a JSON body, kept alive.
    static QByteArray httpAnswer(const QByteArray &body);

private:
    struct Entry {
        quint64 epoch = 0;
        qint64 quietUntilMs = 0; // 0: nothing outstanding
        QByteArray contentType;
        QByteArray body;
        QByteArray answer;
    };
    // Past this many machines the remembered answers are dropped and rebuilt as polls come.
    static constexpr qsizetype kMaxEntries = 20000;

    static QByteArray identity(QByteArrayView key, QByteArrayView serial, QByteArrayView body);

    std::shared_ptr<FleetAuth> m_auth;
    FleetContext::Now m_now;
    QHash<QByteArray, Entry> m_entries;
};

} // namespace vesk::fleetd
