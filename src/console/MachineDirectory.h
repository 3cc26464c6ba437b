#pragma once

#include "console/MachineFilterModel.h"
#include "console/MachineListModel.h"

#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class ConsoleFleet;

// The sidebar's machines: loads the fleet's directory, keeps the last good list while a load
// fails (the failure shows inline), and follows the selected machine, which may vanish from
// the fleet while it is shown.
class MachineDirectory : public QObject {
    Q_OBJECT
public:
    MachineDirectory(ConsoleFleet &fleet, QString thisSerial, QObject *parent = nullptr);

    MachineListModel &list() { return m_list; }
    MachineFilterModel &filtered() { return m_filtered; }

    // Loads the directory once; a load already under way is not started twice.
    QCoro::Task<> refresh();
    bool isLoading() const { return m_loading; }
    // Empty unless the last load failed.
    const QString &errorText() const { return m_error; }

    void select(const QString &serial);
    void clearSelection() { select(QString()); }
    const QString &selectedSerial() const { return m_selected; }
    // The selected machine, while the directory still lists it.
    std::optional<MachineEntry> selectedMachine() const;
    // A machine is selected that the last directory no longer lists.
    bool selectionMissing() const;

signals:
    void changed();

private:
    ConsoleFleet &m_fleet;
    MachineListModel m_list;
    MachineFilterModel m_filtered;
    QString m_selected;
    QString m_error;
    bool m_loading = false;
};

} // namespace vesk
