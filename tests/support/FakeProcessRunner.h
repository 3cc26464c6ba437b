#pragma once

#include <utility>

#include "platform/ProcessRunner.h"

#include <vector>

namespace vesk::test {

// Records every tool run and answers with the outcome the test set (a started tool that
// printed nothing, by default). Nothing is spawned.
class FakeProcessRunner final : public ProcessRunner {
public:
    struct Run {
        ToolInvocation invocation;
        ToolOptions options;
    };

    void setOutcome(ToolOutcome outcome) { m_outcome = std::move(outcome); }
    void setOutput(const QByteArray &standardOutput)
    {
        m_outcome = ToolOutcome{};
        m_outcome.started = true;
        m_outcome.standardOutput = standardOutput;
    }
    const std::vector<Run> &runs() const { return m_runs; }

    QCoro::Task<ToolOutcome> run(ToolInvocation invocation, ToolOptions options = {}) override
    {
        m_runs.push_back(Run{std::move(invocation), options});
        // A const lvalue: QCoro moves from a non-const one, and the next run must see it too.
        co_return std::as_const(m_outcome);
    }

private:
    ToolOutcome m_outcome = [] {
        ToolOutcome outcome;
        outcome.started = true;
        return outcome;
    }();
    std::vector<Run> m_runs;
};

} // namespace vesk::test
