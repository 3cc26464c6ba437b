#pragma once

#include "local/LocalList.h"
#include "wire/policy/MonitoredShare.h"
#include "wire/policy/RetentionRule.h"

namespace vesk {

class FolderRetentionService;
class NetworkShareMonitor;

// This machine's own cleanup rules as a settings import replaces them: through the running
// service, so the next sweep already follows the imported rules.
class RunningRetentionRules final : public LocalList<RetentionRule> {
public:
    explicit RunningRetentionRules(FolderRetentionService &service) : m_service(service) {}
    QList<RetentionRule> items() const override;
    void replace(const QList<RetentionRule> &items) override;

private:
    FolderRetentionService &m_service;
};

// This machine's own network shares, likewise through the running monitor: a share no longer
// listed is removed with its alert, a listed one is updated in place, a new one added.
class RunningShares final : public LocalList<MonitoredShare> {
public:
    explicit RunningShares(NetworkShareMonitor &monitor) : m_monitor(monitor) {}
    QList<MonitoredShare> items() const override;
    void replace(const QList<MonitoredShare> &items) override;

private:
    NetworkShareMonitor &m_monitor;
};

} // namespace vesk
