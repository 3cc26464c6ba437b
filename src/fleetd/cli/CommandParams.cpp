#include "fleetd/cli/CommandParams.h"

namespace vesk::fleetd {

std::optional<QMap<QString, AnyCodable>> parseCommandParams(const QStringList &arguments, QString *error)
{
    QMap<QString, AnyCodable> params;
    for (const QString &argument : arguments) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            *error = QStringLiteral("--param needs KEY=VALUE, got \"%1\"").arg(argument);
            return std::nullopt;
        }
        params.insert(argument.left(equals), AnyCodable(argument.mid(equals + 1)));
    }
    return params;
}

} // namespace vesk::fleetd
