#include "platform/linux/WifiNetworkName.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace vesk {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
constexpr int kTimeoutMs = 250;

std::optional<QVariant> property(const QDBusConnection &bus, const QString &path, const QString &interface,
                                 const QString &name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant();
}

} // namespace

std::optional<QString> WifiNetworkName::forInterface(const QString &interfaceName) const
{
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || interfaceName.isEmpty())
        return std::nullopt;

    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/NetworkManager"),
                                                       kService, QStringLiteral("GetDeviceByIpIface"));
    call << interfaceName;
    const QDBusMessage device = bus.call(call, QDBus::Block, kTimeoutMs);
    if (device.type() != QDBusMessage::ReplyMessage || device.arguments().isEmpty())
        return std::nullopt;
    const QString devicePath = device.arguments().first().value<QDBusObjectPath>().path();

    const auto accessPoint = property(bus, devicePath, QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless"),
                                      QStringLiteral("ActiveAccessPoint"));
    if (!accessPoint)
        return std::nullopt;
    const QString apPath = accessPoint->value<QDBusObjectPath>().path();
    if (apPath.isEmpty() || apPath == QLatin1String("/"))
        return std::nullopt;

    const auto ssid = property(bus, apPath, QStringLiteral("org.freedesktop.NetworkManager.AccessPoint"),
                               QStringLiteral("Ssid"));
    if (!ssid)
        return std::nullopt;
    const QByteArray bytes = ssid->toByteArray();
    if (bytes.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(bytes);
}

} // namespace vesk
