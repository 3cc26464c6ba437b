#pragma once

#include "platform/SystemInfoTypes.h"

#include <QList>
#include <QString>

#include <functional>

namespace vesk {

// One IPv4 entry of the interface-address list, in the order the kernel gives them.
struct InterfaceAddress {
    QString name;
    QString ipv4;
    bool up = false;
    bool running = false;
    bool loopback = false;
};

// What /sys/class/net/<name> says about a link.
struct LinkFacts {
    int arpType = 0;       // "type": 1 Ethernet, 512 PPP, 772 loopback, 65534 none (tun, WireGuard)
    bool wireless = false; // has "wireless" or "phy80211"
    bool bridge = false;   // has "bridge"
    bool tun = false;      // has "tun_flags"
    QString devType;       // DEVTYPE of its uevent ("wireguard", "vlan", ...)
};

// "Wi-Fi", "Bridge", "VPN", "Ethernet" or "Other"; empty for loopback, which is never listed.
QString interfaceType(const LinkFacts &facts);

// The listing: IPv4 entries only, the first address of each name wins, loopback left out,
// active = up and running. The primary interface's address becomes the primary address.
NetworkState listInterfaces(const QList<InterfaceAddress> &addresses, const QString &primaryInterface,
                            const std::function<QString(const QString &name)> &typeOf);

} // namespace vesk
