#pragma once

#include <QString>

#include <optional>

namespace vesk {

// The Wi-Fi network a wireless interface is joined to, asked of NetworkManager over the
// system bus (three short property reads, no tool run). None where NetworkManager does not
// answer within the time-out, or the interface is not associated. The calls block for up to
// the time-out each: callers run this on a worker (LinuxSystemInfoSource through WifiNameCache).
class WifiNetworkName {
public:
    std::optional<QString> forInterface(const QString &interfaceName) const;
};

} // namespace vesk
