#pragma once

#include "fleetd/http/InputReader.h"

#include <QString>
#include <QUrlQuery>

class QHttpServerRequest;

namespace vesk::fleetd {

// Typed reads of a request's query items, with the same first-error rule as WireBody.
class QueryReader : public InputReader {
public:
    explicit QueryReader(const QHttpServerRequest &request);

    QString string(const QString &name);
    QString optionalString(const QString &name);
    // A positive id.
    qint64 id(const QString &name);
    // Absent gives `fallback`; present must be an integer within [min, max].
    int integer(const QString &name, int fallback, int min, int max);

private:
    QUrlQuery m_query;
};

} // namespace vesk::fleetd
