#pragma once

#include "wire/FleetMachine.h"

#include <QAbstractListModel>
#include <QList>

namespace vesk {

// One row of the sidebar's machine list.
struct MachineEntry {
    QString id;
    QString name;
    QString serial;
    QString lastSeen; // ISO 8601 as the server stored it; empty when unknown
    QString status;
    bool isThisMac = false;
    QString searchKey; // name and serial, case-folded once so filtering stays cheap

    bool operator==(const MachineEntry &) const = default;
};

// The tenant's machines, as last loaded from the fleet's directory, with this Mac marked.
class MachineListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { SerialRole = Qt::UserRole + 1, ThisMacRole, SearchKeyRole, LastSeenRole };

    explicit MachineListModel(QString thisSerial, QObject *parent = nullptr);

    void setMachines(const QList<FleetMachine> &machines);
    const QList<MachineEntry> &machines() const { return m_rows; }
    // The row of `serial`, or -1.
    int rowOf(const QString &serial) const;
    const QString &thisSerial() const { return m_thisSerial; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QString m_thisSerial;
    QList<MachineEntry> m_rows;
};

} // namespace vesk
