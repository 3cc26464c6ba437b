#include "fleetd/cli/ListenAddress.h"

#include <QUrl>

namespace vesk::fleetd {

ListenAddress ListenAddress::defaultAddress()
{
    return {QStringLiteral("127.0.0.1"), QHostAddress(QHostAddress::LocalHost), kDefaultPort};
}

std::optional<ListenAddress> ListenAddress::parse(const QString &text, QString *error)
{
    QString host;
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1String("]:"));
        if (close < 0) {
            *error = QStringLiteral("expected [ADDRESS]:PORT, got \"%1\"").arg(text);
            return std::nullopt;
        }
        host = text.mid(1, close - 1);
        portText = text.mid(close + 2);
    } else {
        const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
        if (colon < 0) {
            *error = QStringLiteral("expected HOST:PORT, got \"%1\"").arg(text);
            return std::nullopt;
        }
        host = text.left(colon);
        portText = text.mid(colon + 1);
        if (host.contains(QLatin1Char(':'))) {
            *error = QStringLiteral("write IPv6 addresses in brackets, as in [::1]:8440");
            return std::nullopt;
        }
    }

    ListenAddress result;
    result.host = host;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        result.address = QHostAddress(QHostAddress::LocalHost);
    else if (!result.address.setAddress(host)) {
        *error = QStringLiteral("\"%1\" is not an IP address or localhost").arg(host);
        return std::nullopt;
    }

    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535) {
        *error = QStringLiteral("\"%1\" is not a port number (0-65535)").arg(portText);
        return std::nullopt;
    }
    result.port = static_cast<quint16>(port);
    return result;
}

QString ListenAddress::baseUrl(quint16 boundPort) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPort(boundPort);
    url.setPath(QStringLiteral("/api"));
    return url.toString();
}

} // namespace vesk::fleetd
