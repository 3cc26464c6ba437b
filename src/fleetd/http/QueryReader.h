#pragma once

#include <QString>
#include <QUrlQuery>

class QHttpServerRequest;

namespace vesk::fleetd {

// Typed reads of a request's query items, with the same first-error rule as BodyReader.
class QueryReader {
public:
    explicit QueryReader(const QHttpServerRequest &request);

    QString string(const QString &name);
    QString optionalString(const QString &name);
    // A positive id.
    qint64 id(const QString &name);
    // Absent gives `fallback`; present must be an integer within [min, max].
    int integer(const QString &name, int fallback, int min, int max);

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }

private:
    void fail(const QString &message);

    QUrlQuery m_query;
    QString m_error;
};

} // namespace vesk::fleetd
