#include "fleetd/http/IdlePollAnswers.h"

#include "wire/FleetCommand.h"

#include <QJsonDocument>

namespace vesk::fleetd {

QHttpServerResponse IdlePollAnswers::answer(const QString &serial)
{
    auto found = m_bodies.constFind(serial);
    if (found == m_bodies.constEnd()) {
        if (m_bodies.size() >= kMaxSerials)
            m_bodies.clear();
        const QJsonObject idle = FleetPendingCommands{serial, {}}.toJson();
        found = m_bodies.insert(serial, QJsonDocument(idle).toJson(QJsonDocument::Compact));
    }
    return QHttpServerResponse(QByteArrayLiteral("application/json"), *found);
}

} // namespace vesk::fleetd
