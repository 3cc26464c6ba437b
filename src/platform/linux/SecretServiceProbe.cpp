#include "platform/linux/SecretServiceProbe.h"

#include <QDBusMessage>

namespace vesk {

namespace {

// One call to the bus daemon itself; an error or no reply in time yields no arguments.
QVariantList askBus(QDBusConnection &bus, const QString &method, const QVariantList &arguments,
                    std::chrono::milliseconds timeout)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    return reply.arguments();
}

} // namespace

bool secretServiceAnswers(QDBusConnection bus, std::chrono::milliseconds timeout)
{
    if (!bus.isConnected())
        return false;
    const QVariantList owned = askBus(bus, QStringLiteral("NameHasOwner"), {kSecretServiceName}, timeout);
    if (!owned.isEmpty() && owned.first().toBool())
        return true;
    const QVariantList activatable = askBus(bus, QStringLiteral("ListActivatableNames"), {}, timeout);
    return !activatable.isEmpty() && activatable.first().toStringList().contains(kSecretServiceName);
}

} // namespace vesk
