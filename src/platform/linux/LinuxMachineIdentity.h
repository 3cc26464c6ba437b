#pragma once

#include "platform/MachineIdentity.h"

namespace vesk {

// DMI product serial when readable, else /etc/machine-id; an explicit serial
// (flag or environment) overrides both so several agents can share one machine.
class LinuxMachineIdentity final : public MachineIdentity {
public:
    explicit LinuxMachineIdentity(QString overrideSerial = {}, QString sysRoot = QStringLiteral("/"));
    QString hardwareSerial() const override;
    QString hostName() const override;

private:
    QString m_override;
    QString m_sysRoot;
};

// The first usable serial: DMI text unless blank or a vendor placeholder, else the machine id.
QString chooseSerial(const QString &dmiSerial, const QString &machineId);

} // namespace vesk
