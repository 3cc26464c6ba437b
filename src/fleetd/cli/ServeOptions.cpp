#include "fleetd/cli/ServeOptions.h"

#include <QCommandLineParser>

#include <cmath>

namespace vesk::fleetd {

namespace {

// Seconds as given on the command line, fractions allowed, up to a day.
bool readSeconds(const QCommandLineParser &parser, const QString &name, std::chrono::milliseconds *out,
                 QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double seconds = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0.01 || seconds > 86400) {
        *error = QStringLiteral("--%1 needs a number of seconds from 0.01 to 86400").arg(name);
        return false;
    }
    *out = std::chrono::milliseconds(std::llround(seconds * 1000));
    return true;
}

} // namespace

QStringList ServeOptions::optionNames()
{
    return {QStringLiteral("tls-cert"), QStringLiteral("tls-key"), QStringLiteral("header-timeout"),
            QStringLiteral("body-timeout"), QStringLiteral("idle-timeout"), QStringLiteral("retention-days"),
            QStringLiteral("redeliver-after")};
}

void ServeOptions::addTo(QCommandLineParser &parser)
{
    parser.addOptions({{QStringLiteral("tls-cert"), QString(), QStringLiteral("FILE")},
                       {QStringLiteral("tls-key"), QString(), QStringLiteral("FILE")},
                       {QStringLiteral("header-timeout"), QString(), QStringLiteral("SECONDS")},
                       {QStringLiteral("body-timeout"), QString(), QStringLiteral("SECONDS")},
                       {QStringLiteral("idle-timeout"), QString(), QStringLiteral("SECONDS")},
                       {QStringLiteral("retention-days"), QString(), QStringLiteral("DAYS")},
                       {QStringLiteral("redeliver-after"), QString(), QStringLiteral("SECONDS")}});
}

bool ServeOptions::read(const QCommandLineParser &parser, QString *error)
{
    tlsCert = parser.value(QStringLiteral("tls-cert"));
    tlsKey = parser.value(QStringLiteral("tls-key"));
    if (tlsCert.isEmpty() != tlsKey.isEmpty()) {
        *error = QStringLiteral("--tls-cert and --tls-key go together");
        return false;
    }
    if (parser.isSet(QStringLiteral("retention-days"))) {
        bool ok = false;
        retentionDays = parser.value(QStringLiteral("retention-days")).toInt(&ok);
        if (!ok || retentionDays < 1 || retentionDays > 36500) {
            *error = QStringLiteral("--retention-days: a number of days from 1 to 36500");
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("redeliver-after"))) {
        bool ok = false;
        const qint64 seconds = parser.value(QStringLiteral("redeliver-after")).toLongLong(&ok);
        if (!ok || seconds < 1 || seconds > 7 * 24 * 3600) {
            *error = QStringLiteral("--redeliver-after takes whole seconds from 1 to 604800");
            return false;
        }
        redeliverAfter = std::chrono::seconds(seconds);
    }
    return readSeconds(parser, QStringLiteral("header-timeout"), &limits.headerTimeout, error) &&
           readSeconds(parser, QStringLiteral("body-timeout"), &limits.bodyTimeout, error) &&
           readSeconds(parser, QStringLiteral("idle-timeout"), &limits.idleTimeout, error);
}

} // namespace vesk::fleetd
