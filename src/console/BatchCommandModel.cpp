#include "console/BatchCommandModel.h"

#include "console/ConsoleFleet.h"
#include "console/ConsoleTexts.h"

#include <QPointer>

namespace vesk {

BatchCommandModel::BatchCommandModel(ConsoleFleet &fleet, QObject *parent) : QObject(parent), m_fleet(fleet) {}

const QList<BatchCommand> &BatchCommandModel::commands()
{
    static const QList<BatchCommand> table{
        {QStringLiteral("restart"), QStringLiteral("Restart Computer"), QStringLiteral("restart.circle"), false},
        {QStringLiteral("restart_app"), QStringLiteral("Restart App"), QStringLiteral("arrow.clockwise"), true},
        {QStringLiteral("quit_app"), QStringLiteral("Quit App"), QStringLiteral("xmark.circle"), true},
        {QStringLiteral("launch_app"), QStringLiteral("Launch App"), QStringLiteral("play.circle"), true},
        {QStringLiteral("collect_logs"), QStringLiteral("Collect Logs"), QStringLiteral("doc.text.magnifyingglass"),
         true},
    };
    return table;
}

void BatchCommandModel::setPicked(const QString &serial, bool picked)
{
    const bool has = m_picked.contains(serial);
    if (picked == has)
        return;
    if (picked)
        m_picked.append(serial);
    else
        m_picked.removeAll(serial);
    emit changed();
}

void BatchCommandModel::setCommand(int index)
{
    if (index < 0 || index >= commands().size() || index == m_command)
        return;
    m_command = index;
    emit changed();
}

void BatchCommandModel::setBundleId(const QString &bundleId)
{
    setBundleIds({bundleId});
}

void BatchCommandModel::setBundleIds(const QStringList &bundleIds)
{
    QStringList trimmed;
    for (const QString &id : bundleIds) {
        if (!id.trimmed().isEmpty() && !trimmed.contains(id.trimmed()))
            trimmed.append(id.trimmed());
    }
    if (trimmed == m_bundleIds)
        return;
    m_bundleIds = trimmed;
    emit changed();
}

QString BatchCommandModel::blocker() const
{
    if (m_sending)
        return tr("Sending…");
    if (m_picked.isEmpty())
        return tr("Pick at least one machine.");
    if (command().needsApp && m_bundleIds.isEmpty())
        return tr("Choose an app or type its bundle ID.");
    return {};
}

QCoro::Task<> BatchCommandModel::send()
{
    if (!blocker().isEmpty())
        co_return;
    m_sending = true;
    m_outcomes.clear();
    emit changed();
    QPointer<BatchCommandModel> self(this);
    const BatchCommand chosen = command();
    const QStringList apps = chosen.needsApp ? m_bundleIds : QStringList{QString()};
    const QList<QString> targets = m_picked;
    for (const QString &serial : targets) {
        for (const QString &app : apps) {
            QMap<QString, AnyCodable> params;
            if (!app.isEmpty())
                params.insert(QStringLiteral("bundle_id"), app);
            APIResult<FleetCommandResponse> answer = co_await m_fleet.queueCommand(serial, chosen.command, params);
            if (!self)
                co_return;
            BatchOutcome outcome{serial, answer && answer->queued, {}};
            if (!answer)
                outcome.text = QStringLiteral("Error: ") + answer.errorMessage();
            else if (!answer->queued)
                outcome.text = ConsoleTexts::notQueued;
            else
                outcome.text = tr("%1 queued (ID: %2)").arg(chosen.label).arg(answer->commandId);
            // With several apps each outcome names its app.
            if (apps.size() > 1)
                outcome.text = app + QStringLiteral(": ") + outcome.text;
            m_outcomes.append(outcome);
            emit changed();
        }
    }
    m_sending = false;
    emit changed();
}

} // namespace vesk
