#pragma once

#include "platform/ProcessRunner.h"

namespace vesk {

// Runs tools with QProcess. Standard input is closed; QProcess drains the output pipes
// into memory as the tool writes, so the tool never blocks on a full pipe.
class QtProcessRunner final : public ProcessRunner {
public:
    QCoro::Task<ToolOutcome> run(ToolInvocation invocation, ToolOptions options = {}) override;
};

} // namespace vesk
