#pragma once

#include <QString>

#include <chrono>

#include <QDBusConnection>

namespace vesk {

// The well-known bus name of a freedesktop Secret Service (GNOME Keyring, KeePassXC, ...).
inline const QString kSecretServiceName = QStringLiteral("org.freedesktop.secrets");

// True when `bus` is connected and a Secret Service owns its name there or can be
// started on demand. Each bus query waits at most `timeout`; no answer means no.
bool secretServiceAnswers(QDBusConnection bus, std::chrono::milliseconds timeout);

} // namespace vesk
