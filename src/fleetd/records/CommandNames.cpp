#include "fleetd/records/CommandNames.h"

namespace vesk::fleetd {

const QStringList &knownCommandNames()
{
    static const QStringList names = {
        QStringLiteral("restart"),       QStringLiteral("quit_app"),        QStringLiteral("launch_app"),
        QStringLiteral("restart_app"),   QStringLiteral("update_app"),      QStringLiteral("schedule_update"),
        QStringLiteral("pin_version"),   QStringLiteral("unpin_version"),   QStringLiteral("collect_logs"),
        QStringLiteral("report_apps"),   QStringLiteral("show_message"),    QStringLiteral("clear_message"),
        QStringLiteral("deploy_payload"), QStringLiteral("restore_payload_backup"),
    };
    return names;
}

bool isKnownCommand(const QString &name)
{
    return knownCommandNames().contains(name);
}

} // namespace vesk::fleetd
