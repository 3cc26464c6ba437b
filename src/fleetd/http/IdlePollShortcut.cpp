#include "fleetd/http/IdlePollShortcut.h"

#include "fleetd/http/FleetAuth.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

IdlePollShortcut::IdlePollShortcut(std::shared_ptr<FleetAuth> auth, FleetContext::Now now)
    : m_auth(std::move(auth)), m_now(std::move(now))
{
}

QByteArray IdlePollShortcut::identity(QByteArrayView key, QByteArrayView serial, QByteArrayView body)
{
    // A header value never holds a line feed, so the triple reads back one way only. The body
    // is part of it because agents leave the serial header off when the body names the machine:
    // the machines of one tenant share the key and differ only there.
    QByteArray text;
    text.reserve(key.size() + serial.size() + body.size() + 2);
    text.append(key).append('\n').append(serial).append('\n').append(body);
    return text;
}

QByteArray IdlePollShortcut::httpAnswer(const QByteArray &body)
{
    return QByteArrayLiteral("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: ") +
           QByteArray::number(body.size()) + QByteArrayLiteral("\r\n\r\n") + body;
}

void IdlePollShortcut::remember(const QHttpServerRequest &request, const QByteArray &body, const QDateTime &quietUntil)
{
    if (m_entries.size() >= kMaxEntries)
        m_entries.clear();
    Entry entry;
    entry.epoch = m_auth->epoch();
    entry.quietUntilMs = quietUntil.isValid() ? quietUntil.toMSecsSinceEpoch() : 0;
    entry.contentType = request.value(QByteArrayLiteral("Content-Type"));
    entry.body = request.body();
    entry.answer = httpAnswer(body);
    QByteArray key = identity(request.value(QByteArrayLiteral("X-Fleet-Key")),
                              request.value(QByteArrayLiteral("X-Device-Serial")).trimmed(), entry.body);
    m_entries.insert(std::move(key), std::move(entry));
}

std::optional<QByteArray> IdlePollShortcut::answer(const RequestFraming::Head &head, QByteArrayView body)
{
    if (m_entries.isEmpty() || head.fleetKey.isEmpty())
        return std::nullopt;
    const auto found = m_entries.constFind(identity(head.fleetKey, head.deviceSerial, body));
    if (found == m_entries.constEnd() || found->contentType != head.contentType || found->body != body)
        return std::nullopt;
    // The same check every authenticated request makes first: a change drops the entry.
    const std::optional<quint64> epoch = m_auth->freshEpoch();
    if (!epoch || *epoch != found->epoch || (found->quietUntilMs != 0 && m_now().toMSecsSinceEpoch() >= found->quietUntilMs)) {
        m_entries.erase(found);
        return std::nullopt;
    }
    return found->answer;
}

} // namespace vesk::fleetd
