#pragma once

#include <QString>

namespace vesk {

// Who this machine is: the hardware serial (empty when the platform has none to give)
// and the host name, for the heartbeat's fallback.
class MachineIdentity {
public:
    virtual ~MachineIdentity() = default;
    virtual QString hardwareSerial() const = 0;
    virtual QString hostName() const = 0;

    // The serial used in fleet requests and reports: "UNKNOWN" when there is none.
    QString serialOrUnknown() const
    {
        const QString s = hardwareSerial();
        return s.isEmpty() ? QStringLiteral("UNKNOWN") : s;
    }
};

} // namespace vesk
