#include "fleetd/http/QueryReader.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

QueryReader::QueryReader(const QHttpServerRequest &request) : m_query(request.query()) {}

QString QueryReader::optionalString(const QString &name)
{
    return m_query.queryItemValue(name, QUrl::FullyDecoded);
}

QString QueryReader::string(const QString &name)
{
    const QString value = optionalString(name);
    if (value.trimmed().isEmpty())
        fail(QStringLiteral("missing query item \"%1\"").arg(name));
    return value;
}

qint64 QueryReader::id(const QString &name)
{
    const QString text = string(name);
    if (!ok())
        return 0;
    bool valid = false;
    const qint64 value = text.toLongLong(&valid);
    if (!valid || value <= 0) {
        fail(QStringLiteral("query item \"%1\" must be a positive integer").arg(name));
        return 0;
    }
    return value;
}

int QueryReader::integer(const QString &name, int fallback, int min, int max)
{
    if (!m_query.hasQueryItem(name))
        return fallback;
    bool valid = false;
    const int value = optionalString(name).toInt(&valid);
    if (!valid || value < min || value > max) {
        fail(QStringLiteral("query item \"%1\" must be an integer from %2 to %3").arg(name).arg(min).arg(max));
        return fallback;
    }
    return value;
}

} // namespace vesk::fleetd
