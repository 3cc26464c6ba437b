#pragma once

#include "fleetd/http/InputReader.h"
#include "fleetd/http/JsonRequest.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk::fleetd {

// A JSON request body decoded as the wire record `T` the agent and console send, after
// JsonRequest's checks. The decoder's first complaint becomes the 400 reason; the server's
// own checks on the decoded record go through require(), first failure wins.
template <class T> class WireBody : public InputReader {
public:
    explicit WireBody(const QHttpServerRequest &request, qsizetype maxBytes = JsonRequest::kMaxBodyBytes)
    {
        const JsonRequest::Result json = JsonRequest::readObject(request, maxBytes);
        if (!json.ok()) {
            fail(json.error);
            return;
        }
        m_sent = json.object;
        QString error;
        m_record = T::fromJson(json.object, &error);
        if (!m_record)
            fail(error);
    }

    // Refuses the body with `message` when `holds` is false (and nothing was refused yet).
    void require(bool holds, const QString &message)
    {
        if (ok() && !holds)
            fail(message);
    }

    // The decoded record; a default one when decoding failed.
    const T &record() const { return m_record ? *m_record : m_empty; }
    const T *operator->() const { return &record(); }
    // The body as it was sent.
    const QJsonObject &sent() const { return m_sent; }

private:
    QJsonObject m_sent;
    std::optional<T> m_record;
    T m_empty{};
};

// The path to the first member the decoder read as something other than what was sent
// (a lenient decoder turning an object into "", say), comparing the record's own encoding
// with the body; none when every encoded member matches.
std::optional<QStringList> coercedMember(const QJsonValue &sent, const QJsonValue &decoded);

// The rule most text members share: present and not blank.
inline bool isFilled(const QString &text) { return !text.trimmed().isEmpty(); }
inline QString mustNotBeEmpty(const char *key)
{
    return QStringLiteral("\"%1\" must not be empty").arg(QLatin1String(key));
}

} // namespace vesk::fleetd
