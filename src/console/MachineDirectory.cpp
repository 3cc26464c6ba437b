#include "console/MachineDirectory.h"

#include "console/ConsoleFleet.h"
#include "console/ConsoleTexts.h"

namespace vesk {

MachineDirectory::MachineDirectory(ConsoleFleet &fleet, QString thisSerial, QObject *parent)
    : QObject(parent), m_fleet(fleet), m_list(std::move(thisSerial)), m_filtered(m_list)
{
}

QCoro::Task<> MachineDirectory::refresh()
{
    if (m_loading)
        co_return;
    m_loading = true;
    emit changed();
    QPointer<MachineDirectory> self(this);
    APIResult<FleetMachineList> answer = co_await m_fleet.machines();
    // The window may have closed while the server took its time.
    if (!self)
        co_return;
    m_loading = false;
    if (answer) {
        m_error.clear();
        m_list.setMachines(answer->devices);
    } else {
        m_error = ConsoleTexts::machinesFailed + answer.errorMessage();
    }
    emit changed();
}

void MachineDirectory::select(const QString &serial)
{
    if (serial == m_selected)
        return;
    m_selected = serial;
    emit changed();
}

std::optional<MachineEntry> MachineDirectory::selectedMachine() const
{
    const int row = m_list.rowOf(m_selected);
    if (m_selected.isEmpty() || row < 0)
        return std::nullopt;
    return m_list.machines().at(row);
}

bool MachineDirectory::selectionMissing() const
{
    return !m_selected.isEmpty() && m_list.rowOf(m_selected) < 0;
}

} // namespace vesk
