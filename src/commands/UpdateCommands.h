#pragma once

#include "commands/CommandResult.h"
#include "wire/policy/AvailableUpdate.h"

#include <QList>
#include <QMap>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

// What the command poller needs of the update service: the releases on offer, in the
// service's order, and installing one with a set of version pins. The install's result
// text is the service's own.
class UpdateCommands {
public:
    virtual ~UpdateCommands() = default;

    virtual QList<AvailableUpdate> availableUpdates() const = 0;
    virtual QCoro::Task<CommandResult> update(AvailableUpdate update, QMap<QString, QString> pins) = 0;
    // Asks the fleet again which releases exist, before an administrator's request is refused.
    virtual QCoro::Task<> refreshAvailable() { co_return; }
};

} // namespace vesk
