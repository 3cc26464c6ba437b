#pragma once

#include "console/ConsoleFleet.h"

#include <QFuture>
#include <QPromise>

#include <qcoro/qcorofuture.h>

#include <functional>

namespace vesk::test {

// The console's fleet calls answered from fields the test sets. With `hold` set, every call
// waits until release(), so a test can look at a screen while its load is under way.
class ScriptedConsoleFleet final : public ConsoleFleet {
public:
    struct Queued {
        QString serial;
        QString command;
        QMap<QString, AnyCodable> params;
    };

    APIResult<FleetMachineList> machinesAnswer = FleetMachineList{};
    APIResult<FleetDeviceStatus> statusAnswer = FleetDeviceStatus{};
    std::function<APIResult<DeviceTelemetryResponse>(const QString &serial, int hours)> telemetryAnswer =
        [](const QString &, int) { return DeviceTelemetryResponse{}; };
    std::function<APIResult<FleetCommandResponse>(const QString &serial)> commandAnswer = [](const QString &serial) {
        return FleetCommandResponse{true, 7, serial, QString()};
    };
    APIResult<QList<FleetAlert>> alertsAnswer = QList<FleetAlert>{};
    APIResult<QList<DevicePolicy>> policiesAnswer = QList<DevicePolicy>{};
    APIStatus saveAnswer;
    APIStatus deleteAnswer;
    QList<DevicePolicy> saved;
    QList<QUuid> deleted;
    QList<Queued> queued;
    APIStatus acknowledgeAnswer;
    QList<qint64> acknowledged;
    bool hold = false;
    APIResult<MachineNotesResponse> notesAnswer = MachineNotesResponse{};
    APIStatus addNoteAnswer;
    APIStatus deleteNoteAnswer;
    QList<MachineNote> addedNotes;
    QList<qint64> deletedNotes;

    ScriptedConsoleFleet()
    {
        m_gate.start();
        m_released = m_gate.future();
    }
    void release() { m_gate.finish(); }

    QCoro::Task<APIResult<FleetMachineList>> machines() override
    {
        co_await waitIfHeld();
        co_return machinesAnswer;
    }
    QCoro::Task<APIResult<FleetDeviceStatus>> deviceStatus(QString) override
    {
        co_await waitIfHeld();
        co_return statusAnswer;
    }
    QCoro::Task<APIResult<DeviceTelemetryResponse>> telemetryHistory(QString serial, int hours) override
    {
        co_await waitIfHeld();
        co_return telemetryAnswer(serial, hours);
    }
    QCoro::Task<APIResult<FleetCommandResponse>> queueCommand(QString serial, QString command,
                                                              QMap<QString, AnyCodable> params) override
    {
        co_await waitIfHeld();
        queued.append({serial, command, params});
        co_return commandAnswer(serial);
    }
    QCoro::Task<APIResult<QList<FleetAlert>>> fleetAlerts(int) override
    {
        co_await waitIfHeld();
        // A copy: QCoro would move from the member, and a second load would see nothing.
        co_return APIResult<QList<FleetAlert>>(alertsAnswer);
    }

    QCoro::Task<APIResult<QList<DevicePolicy>>> policies() override
    {
        co_await waitIfHeld();
        co_return APIResult<QList<DevicePolicy>>(policiesAnswer);
    }
    QCoro::Task<APIStatus> savePolicy(DevicePolicy policy) override
    {
        co_await waitIfHeld();
        saved.append(std::move(policy));
        co_return saveAnswer;
    }
    QCoro::Task<APIStatus> deletePolicy(QUuid id) override
    {
        co_await waitIfHeld();
        deleted.append(id);
        co_return deleteAnswer;
    }
    QCoro::Task<APIResult<MachineNotesResponse>> machineNotes(QString) override
    {
        co_await waitIfHeld();
        co_return notesAnswer;
    }
    QCoro::Task<APIStatus> addNote(QString serial, QString author, QString note) override
    {
        co_await waitIfHeld();
        addedNotes.append(MachineNote{0, serial, author, note, {}});
        co_return addNoteAnswer;
    }
    QCoro::Task<APIStatus> deleteNote(qint64 id) override
    {
        co_await waitIfHeld();
        deletedNotes.append(id);
        co_return deleteNoteAnswer;
    }
    QCoro::Task<APIStatus> acknowledgeAlert(qint64 alertId) override
    {
        co_await waitIfHeld();
        acknowledged.append(alertId);
        co_return acknowledgeAnswer;
    }

    APIResult<RemoteInstalledAppsResponse> installedAppsAnswer = RemoteInstalledAppsResponse{};
    APIResult<AppUpdatesResponse> releasesAnswer = AppUpdatesResponse{};
    QCoro::Task<APIResult<RemoteInstalledAppsResponse>> installedApps(QString) override
    {
        co_await waitIfHeld();
        // Copies: the task's promise moves from what it is given.
        co_return APIResult<RemoteInstalledAppsResponse>(installedAppsAnswer);
    }
    QCoro::Task<APIResult<AppUpdatesResponse>> appReleases() override
    {
        co_await waitIfHeld();
        co_return APIResult<AppUpdatesResponse>(releasesAnswer);
    }

private:
    QCoro::Task<> waitIfHeld()
    {
        if (!hold)
            co_return;
        co_await m_released;
    }

    QPromise<void> m_gate;
    QFuture<void> m_released;
};

// A directory entry as the fleet lists it.
inline FleetMachine machine(const QString &serial, const QString &name, const QString &lastSeen = QString())
{
    return FleetMachine{serial, serial, name, QStringLiteral("Booth"), QStringLiteral("1.0"), QString(),
                        QString(), lastSeen, QStringLiteral("online")};
}

} // namespace vesk::test
