#include "fleetd/http/WireBody.h"

#include <QJsonArray>

namespace vesk::fleetd {

std::optional<QStringList> coercedMember(const QJsonValue &sent, const QJsonValue &decoded)
{
    if (decoded.isObject()) {
        if (!sent.isObject())
            return QStringList();
        const QJsonObject sentObject = sent.toObject();
        const QJsonObject decodedObject = decoded.toObject();
        for (auto it = decodedObject.begin(); it != decodedObject.end(); ++it) {
            if (std::optional<QStringList> inner = coercedMember(sentObject.value(it.key()), it.value())) {
                inner->prepend(it.key());
                return inner;
            }
        }
        return std::nullopt;
    }
    if (decoded.isArray()) {
        if (!sent.isArray() || sent.toArray().size() != decoded.toArray().size())
            return QStringList();
        for (qsizetype i = 0; i < decoded.toArray().size(); ++i) {
            if (std::optional<QStringList> inner = coercedMember(sent.toArray().at(i), decoded.toArray().at(i))) {
                inner->prepend(QString::number(i));
                return inner;
            }
        }
        return std::nullopt;
    }
    // 3 and 3.0 are the same number however each side stores it.
    if (decoded.isDouble() && sent.isDouble())
        return decoded.toDouble() == sent.toDouble() ? std::nullopt : std::optional<QStringList>(QStringList());
    return decoded == sent ? std::nullopt : std::optional<QStringList>(QStringList());
}

} // namespace vesk::fleetd
