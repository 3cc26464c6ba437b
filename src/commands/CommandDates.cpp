#include "commands/CommandDates.h"

#include <QRegularExpression>

namespace vesk::CommandDates {

std::optional<QDateTime> parseInternetDateTime(const QString &text)
{
    // Qt's ISO parser alone accepts more (no zone, fractions, dates only); the fleet's
    // commands always carry the full form, and anything else is refused.
    static const QRegularExpression shape(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(Z|[+-]\d{2}:?\d{2})$)"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString formatForPeople(const QDateTime &date, const QTimeZone &zone, const QLocale &locale)
{
    const QDateTime local = date.toTimeZone(zone);
    return locale.toString(local.date(), QStringLiteral("MMM d, yyyy")) + QStringLiteral(" at ")
         + locale.toString(local.time(), QLocale::ShortFormat);
}

} // namespace vesk::CommandDates
