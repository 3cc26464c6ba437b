#pragma once

#include <utility>

#include "platform/MachineControl.h"

namespace vesk::test {

// Counts restart requests and answers each with the outcome the test set; never restarts.
class FakeMachineControl final : public MachineControl {
public:
    void setOutcome(RestartOutcome outcome) { m_outcome = std::move(outcome); }
    int restarts() const { return m_restarts; }

    QCoro::Task<RestartOutcome> restartComputer() override
    {
        ++m_restarts;
        // A const lvalue: QCoro moves from a non-const one, and the next call must see it too.
        co_return std::as_const(m_outcome);
    }

private:
    RestartOutcome m_outcome = RestartOutcome::initiated();
    int m_restarts = 0;
};

} // namespace vesk::test
