#include "platform/linux/ShareMountTable.h"

#include <QUrl>

namespace vesk {

namespace {

// "smb-share:server=nas.local,share=photos,user=booth" -> "//nas.local/photos"
QString gvfsSource(const QString &name)
{
    static const QString prefix = QStringLiteral("smb-share:");
    if (!name.startsWith(prefix))
        return {};
    QString server;
    QString share;
    for (const QString &field : name.mid(prefix.size()).split(QLatin1Char(','))) {
        const QString key = field.section(QLatin1Char('='), 0, 0);
        const QString value = QUrl::fromPercentEncoding(field.section(QLatin1Char('='), 1).toUtf8());
        if (key == QLatin1String("server"))
            server = value;
        else if (key == QLatin1String("share"))
            share = value;
    }
    if (server.isEmpty() || share.isEmpty())
        return {};
    return QStringLiteral("//") + server + QLatin1Char('/') + share;
}

} // namespace

QString gvfsFuseRoot(const QList<MountEntry> &mounts)
{
    for (const MountEntry &mount : mounts) {
        if (mount.fsType == QLatin1String("fuse.gvfsd-fuse"))
            return mount.mountPoint;
    }
    return {};
}

QList<MountTableEntry> networkShareMounts(const QList<MountEntry> &mounts, const QString &gvfsRoot,
                                          const QStringList &gvfsNames)
{
    QList<MountTableEntry> shares;
    for (const MountEntry &mount : mounts) {
        if (isNetworkFileSystem(mount.fsType))
            shares.append({mount.mountPoint, mount.source, mount.fsType});
    }
    for (const QString &name : gvfsNames) {
        const QString source = gvfsSource(name);
        if (!source.isEmpty())
            shares.append({gvfsRoot + QLatin1Char('/') + name, source, QStringLiteral("gvfs-smb")});
    }
    return shares;
}

} // namespace vesk
