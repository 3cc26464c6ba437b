#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

// What asking the machine to restart came to.
struct RestartOutcome {
    enum class Status {
        initiated,      // the machine accepted the request and is going down
        notCreated,     // there was no restart request to make (nothing configured)
        failed,         // the request was made and refused
    };
    Status status = Status::failed;
    int errorNumber = 0;  // the refusal's number, 0 when it has none
    QString errorMessage; // the refusal's own words, empty when it gave none

    static RestartOutcome initiated() { return {Status::initiated, 0, {}}; }
};

// Restarting the computer. The agent never restarts the machine any other way.
class MachineControl {
public:
    virtual ~MachineControl() = default;
    virtual QCoro::Task<RestartOutcome> restartComputer() = 0;
};

} // namespace vesk
