#include "fleetd/cli/CommandParams.h"

#include <QRegularExpression>

namespace vesk::fleetd {

std::optional<QJsonObject> parseCommandParams(const QStringList &arguments, QString *error)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?\\d{1,15}$"));
    QJsonObject params;
    for (const QString &argument : arguments) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            *error = QStringLiteral("--param needs KEY=VALUE, got \"%1\"").arg(argument);
            return std::nullopt;
        }
        const QString key = argument.left(equals);
        const QString value = argument.mid(equals + 1);
        if (integer.match(value).hasMatch())
            params.insert(key, value.toLongLong());
        else if (value == QLatin1String("true") || value == QLatin1String("false"))
            params.insert(key, value == QLatin1String("true"));
        else
            params.insert(key, value);
    }
    return params;
}

} // namespace vesk::fleetd
