#include "maintenance/ShareAddress.h"

namespace vesk {

namespace {

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

std::optional<ShareAddress> ShareAddress::parse(const QString &address)
{
    QString text = address.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (!text.contains(QLatin1String("://")))
        text.prepend(QStringLiteral("smb://"));
    text.replace(QLatin1Char(' '), QLatin1String("%20"));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    ShareAddress parsed;
    parsed.url = url;
    parsed.scheme = url.scheme().toLower();
    parsed.host = url.host();
    const QString path = url.path(QUrl::FullyDecoded);
    if (path.size() >= 2)
        parsed.shareName = withoutTrailingSlashes(path).section(QLatin1Char('/'), -1);
    parsed.port = url.port() > 0 ? quint16(url.port()) : defaultPort(parsed.scheme);
    return parsed;
}

quint16 ShareAddress::defaultPort(const QString &scheme)
{
    if (scheme == QLatin1String("afp"))
        return 548;
    if (scheme == QLatin1String("nfs"))
        return 2049;
    return 445;
}

bool ShareAddress::matches(const MountTableEntry &entry) const
{
    if (scheme == QLatin1String("nfs")) {
        // "server:/export/path"
        const qsizetype colon = entry.source.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            return false;
        return entry.source.left(colon).compare(host, Qt::CaseInsensitive) == 0 &&
               withoutTrailingSlashes(entry.source.mid(colon + 1)) ==
                   withoutTrailingSlashes(url.path(QUrl::FullyDecoded));
    }
    // "//server/share[/folder]", the user name before an "@" on some systems
    if (!entry.source.startsWith(QLatin1String("//")))
        return false;
    const QString rest = entry.source.mid(2);
    QString server = rest.section(QLatin1Char('/'), 0, 0);
    server = server.section(QLatin1Char('@'), -1);
    const QString share = rest.section(QLatin1Char('/'), 1, 1);
    const QString wanted = withoutTrailingSlashes(url.path(QUrl::FullyDecoded)).section(QLatin1Char('/'), 1, 1);
    return server.compare(host, Qt::CaseInsensitive) == 0 && !share.isEmpty() &&
           share.compare(wanted, Qt::CaseInsensitive) == 0;
}

QString shareDisplayName(const MonitoredShare &share)
{
    const QString own = share.name.trimmed();
    if (!own.isEmpty())
        return own;
    const std::optional<ShareAddress> address = ShareAddress::parse(share.address);
    if (!address)
        return share.address.trimmed();
    if (address->shareName.isEmpty())
        return address->host;
    return address->shareName + QStringLiteral(" on ") + address->host;
}

} // namespace vesk
