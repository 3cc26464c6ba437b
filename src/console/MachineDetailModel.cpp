#include "console/MachineDetailModel.h"

#include "console/ConsoleFleet.h"
#include "console/ConsoleTexts.h"

#include <QPointer>

namespace vesk {

MachineDetailModel::MachineDetailModel(ConsoleFleet &fleet, QObject *parent) : QObject(parent), m_fleet(fleet) {}

QCoro::Task<> MachineDetailModel::show(QString serial, QString name, int hours)
{
    if (serial != m_serial) {
        m_status.reset();
        m_series = {};
        m_commandText.clear();
        m_networkEvents.clear();
    }
    m_serial = std::move(serial);
    m_name = std::move(name);
    m_hours = hours;
    co_await load();
}

QCoro::Task<> MachineDetailModel::setHours(int hours)
{
    m_hours = hours;
    co_await load();
}

QCoro::Task<> MachineDetailModel::load()
{
    const quint64 generation = ++m_generation;
    m_loading = true;
    m_error.clear();
    emit changed();
    QPointer<MachineDetailModel> self(this);
    const QString serial = m_serial;
    APIResult<FleetDeviceStatus> status = co_await m_fleet.deviceStatus(serial);
    if (!self || generation != m_generation)
        co_return;
    APIResult<DeviceTelemetryResponse> telemetry = co_await m_fleet.telemetryHistory(serial, m_hours);
    if (!self || generation != m_generation)
        co_return;
    m_loading = false;
    if (status)
        m_status = std::move(status).value();
    if (telemetry) {
        m_series = TelemetrySeries::from(telemetry->telemetry);
        m_networkEvents = vesk::networkEvents(telemetry->telemetry);
    } else {
        m_series = {};
        m_networkEvents.clear();
        m_error = ConsoleTexts::telemetryFailed + m_name + QStringLiteral(": ") + telemetry.errorMessage();
    }
    emit changed();
}

QString MachineDetailModel::telemetryText() const
{
    if (m_loading)
        return ConsoleTexts::loadingTelemetry;
    return m_error;
}

QString MachineDetailModel::chartsText() const
{
    if (m_loading || !m_error.isEmpty() || m_series.enoughPoints())
        return {};
    return ConsoleTexts::notEnoughPoints;
}

QStringList MachineDetailModel::statusLines() const
{
    QStringList lines;
    if (!m_status)
        return lines;
    for (const FleetAppStatus &app : m_status->apps) {
        QString line = app.app;
        if (app.appVersion)
            line += QStringLiteral(" ") + *app.appVersion;
        line += QStringLiteral(" · ") + app.status;
        lines.append(line);
    }
    return lines;
}

QString MachineDetailModel::restartConfirmTitle() const
{
    return ConsoleTexts::restartTitle;
}

QString MachineDetailModel::restartConfirmText() const
{
    return tr("This will send a restart command to %1. The machine will reboot shortly after receiving the command.")
        .arg(m_name);
}

QCoro::Task<> MachineDetailModel::restartComputer()
{
    co_await send(QStringLiteral("restart"), {}, tr("Restart command queued (ID: %1)"), ConsoleTexts::restartNotQueued);
}

QCoro::Task<> MachineDetailModel::queue(QString command, QMap<QString, AnyCodable> params)
{
    co_await send(std::move(command), std::move(params), tr("Queued (ID: %1)"), ConsoleTexts::notQueued);
}

QCoro::Task<> MachineDetailModel::send(QString command, QMap<QString, AnyCodable> params, QString okText,
                                       QString notQueued)
{
    QPointer<MachineDetailModel> self(this);
    APIResult<FleetCommandResponse> answer = co_await m_fleet.queueCommand(m_serial, command, std::move(params));
    if (!self)
        co_return;
    if (!answer)
        m_commandText = QStringLiteral("Error: ") + answer.errorMessage();
    else if (!answer->queued)
        m_commandText = notQueued;
    else
        m_commandText = okText.arg(answer->commandId);
    emit changed();
}

} // namespace vesk
