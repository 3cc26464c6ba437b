#include "fleetd/cli/MachinesCommand.h"

#include "fleetd/storage/FleetStore.h"

namespace vesk::fleetd {

namespace {

// Fields come from machines; a tab or line break inside one must not shift the columns.
QString field(const QString &text)
{
    QString cleaned = text;
    for (QChar &c : cleaned) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return cleaned;
}

} // namespace

int runMachinesCommand(const QString &dbPath, QTextStream &out, QTextStream &err)
{
    FleetStore store;
    const StoreStatus opened = store.open(dbPath, FleetStore::OpenMode::ExistingOnly);
    if (!opened.isOk()) {
        err << "vesk-fleetd: " << opened.message() << Qt::endl;
        return 1;
    }
    const StoreResult<QList<MachineRecord>> listed = store.machines();
    if (!listed.status.isOk()) {
        err << "vesk-fleetd: " << listed.status.message() << Qt::endl;
        return 1;
    }
    for (const MachineRecord &machine : listed.value) {
        out << field(machine.serial) << '\t' << field(machine.app) << '\t' << field(machine.version) << '\t'
            << field(machine.eventCode) << '\t' << field(machine.lastSeen) << '\n';
    }
    out.flush();
    return 0;
}

} // namespace vesk::fleetd
