#include "platform/linux/BundleLayout.h"

#include "platform/LogCategories.h"
#include "platform/linux/PropertyList.h"

#include <QDir>
#include <QFile>

namespace vesk {

namespace {

// Info.plist files are a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxInfoPlistBytes = 4 * 1024 * 1024;

std::optional<QString> stringValue(const QVariantMap &map, const char *key)
{
    const auto it = map.constFind(QLatin1String(key));
    if (it == map.constEnd() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    return it->toString();
}

} // namespace

QString infoPlistPath(const QString &bundlePath)
{
    return bundlePath + QStringLiteral("/Contents/Info.plist");
}

QString executablesDir(const QString &bundlePath)
{
    return bundlePath + QStringLiteral("/Contents/MacOS");
}

QString bundleContaining(const QString &file)
{
    const QString path = QDir::cleanPath(file);
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    static const QString marker = QStringLiteral("/Contents/MacOS/");
    const qsizetype at = path.lastIndexOf(marker);
    if (at <= 0 || path.size() == at + marker.size())
        return {};
    const QString bundle = path.left(at);
    const qsizetype slash = bundle.lastIndexOf(QLatin1Char('/'));
    const QString folderName = bundle.mid(slash + 1);
    if (!folderName.endsWith(QLatin1String(".app")) || folderName.size() <= 4)
        return {};
    return bundle;
}

BundleInfo bundleInfoFromPlist(const QString &bundlePath, const QVariant &plist)
{
    BundleInfo info;
    info.path = bundlePath;
    const QVariantMap map = plist.toMap();
    info.bundleIdentifier = stringValue(map, "CFBundleIdentifier");
    info.name = stringValue(map, "CFBundleName");
    info.displayName = stringValue(map, "CFBundleDisplayName");
    info.shortVersion = stringValue(map, "CFBundleShortVersionString");
    info.buildVersion = stringValue(map, "CFBundleVersion");
    info.executable = stringValue(map, "CFBundleExecutable");
    if (info.executable) {
        const QString &exe = *info.executable;
        if (exe.isEmpty() || exe.contains(QLatin1Char('/')) || exe == QLatin1String(".") || exe == QLatin1String(".."))
            info.executable.reset();
    }
    return info;
}

std::optional<BundleInfo> readBundleInfo(const QString &bundlePath)
{
    QFile file(infoPlistPath(bundlePath));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(kMaxInfoPlistBytes + 1);
    if (bytes.size() > kMaxInfoPlistBytes) {
        qCDebug(lcPlatform) << "Info.plist too large in" << bundlePath;
        return std::nullopt;
    }
    const PlistResult plist = parsePropertyList(bytes);
    if (!plist.ok() || plist.value.typeId() != QMetaType::QVariantMap) {
        qCDebug(lcPlatform) << "Unreadable Info.plist in" << bundlePath << plist.error;
        return std::nullopt;
    }
    return bundleInfoFromPlist(bundlePath, plist.value);
}

} // namespace vesk
