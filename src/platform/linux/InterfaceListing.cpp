#include "platform/linux/InterfaceListing.h"

#include <QSet>

namespace vesk {

namespace {
constexpr int kArpEther = 1;
constexpr int kArpPpp = 512;
constexpr int kArpTunnel = 768;  // ipip
constexpr int kArpTunnel6 = 769;
constexpr int kArpLoopback = 772;
constexpr int kArpNone = 65534; // tun devices, WireGuard
} // namespace

QString interfaceType(const LinkFacts &facts)
{
    if (facts.arpType == kArpLoopback)
        return {};
    if (facts.wireless)
        return QStringLiteral("Wi-Fi");
    if (facts.bridge)
        return QStringLiteral("Bridge");
    if (facts.tun || facts.devType == QLatin1String("wireguard") || facts.arpType == kArpPpp
        || facts.arpType == kArpNone || facts.arpType == kArpTunnel || facts.arpType == kArpTunnel6)
        return QStringLiteral("VPN");
    if (facts.arpType == kArpEther)
        return QStringLiteral("Ethernet");
    return QStringLiteral("Other");
}

NetworkState listInterfaces(const QList<InterfaceAddress> &addresses, const QString &primaryInterface,
                            const std::function<QString(const QString &name)> &typeOf)
{
    NetworkState state;
    state.primaryInterface = primaryInterface;
    QSet<QString> seen;
    for (const InterfaceAddress &entry : addresses) {
        if (seen.contains(entry.name))
            continue;
        seen.insert(entry.name);
        if (entry.loopback)
            continue;
        const QString type = typeOf(entry.name);
        if (type.isEmpty())
            continue;
        state.interfaces.append(NetworkInterface{entry.name, type, entry.ipv4, entry.up && entry.running});
        if (!primaryInterface.isEmpty() && entry.name == primaryInterface)
            state.primaryAddress = entry.ipv4;
    }
    return state;
}

} // namespace vesk
