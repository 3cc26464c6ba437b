#include "console/MachineListModel.h"

namespace vesk {

MachineListModel::MachineListModel(QString thisSerial, QObject *parent)
    : QAbstractListModel(parent), m_thisSerial(std::move(thisSerial))
{
}

void MachineListModel::setMachines(const QList<FleetMachine> &machines)
{
    QList<MachineEntry> rows;
    rows.reserve(machines.size());
    for (const FleetMachine &machine : machines) {
        const QString name = machine.name.isEmpty() ? machine.serial : machine.name;
        rows.append(MachineEntry{machine.id, name, machine.serial, machine.lastSeen, machine.status,
                                 machine.serial == m_thisSerial,
                                 (name + QLatin1Char('\n') + machine.serial).toCaseFolded()});
    }
    // Unchanged answers (every refresh, mostly) keep the view's selection and scroll position.
    if (rows == m_rows)
        return;
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int MachineListModel::rowOf(const QString &serial) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row].serial == serial)
            return row;
    }
    return -1;
}

int MachineListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant MachineListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const MachineEntry &row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return row.isThisMac ? row.name + tr(" (This Mac)") : row.name;
    case Qt::ToolTipRole:
    case SerialRole:
        return row.serial;
    case ThisMacRole:
        return row.isThisMac;
    case SearchKeyRole:
        return row.searchKey;
    case LastSeenRole:
        return row.lastSeen;
    default:
        return {};
    }
}

} // namespace vesk
