#pragma once

#include <QHostAddress>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// Where serve listens, from "HOST:PORT" ("[::1]:8440" for IPv6). HOST is an IP
// address or "localhost"; PORT 0 asks the OS for a free port.
struct ListenAddress {
    static constexpr quint16 kDefaultPort = 8440;

    QString host;
    QHostAddress address;
    quint16 port = 0;

    static ListenAddress defaultAddress();
    // On failure returns nothing and sets `error`.
    static std::optional<ListenAddress> parse(const QString &text, QString *error);

    // "http://HOST:PORT/api" for the port actually bound.
    QString baseUrl(quint16 boundPort) const;
};

} // namespace vesk::fleetd
