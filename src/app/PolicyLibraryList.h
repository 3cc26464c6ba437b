#pragma once

#include "local/LocalList.h"
#include "policy/PolicyFiles.h"

namespace vesk {

class PolicyEngine;

// The local policy library as a settings import replaces it: through the running engine,
// which then chooses the policy in force again, or straight into its file when no engine
// runs in this process (the one-shot commands; the agent reads it at its next start).
class PolicyLibraryList final : public LocalList<DevicePolicy> {
public:
    PolicyLibraryList(QString storageDir, PolicyEngine *engine = nullptr);

    // The library as stored; empty when it is missing or undecodable.
    QList<DevicePolicy> items() const override;
    void replace(const QList<DevicePolicy> &items) override;

private:
    PolicyFiles m_files;
    PolicyEngine *m_engine;
};

} // namespace vesk
