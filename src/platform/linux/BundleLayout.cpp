#include "platform/linux/BundleLayout.h"

#include "platform/LogCategories.h"
#include "platform/linux/PropertyList.h"

#include <QDir>
#include <QFile>

#include <ctime>

#include <sys/stat.h>

namespace vesk {

namespace {

// Info.plist files are a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxInfoPlistBytes = 4 * 1024 * 1024;

// How long after its last change an Info.plist is still read every time.
constexpr time_t kRecentSeconds = 2;

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

std::optional<BundleInfo> BundleInfoCache::read(const QString &bundlePath)
{
    struct stat st;
    if (::stat(QFile::encodeName(infoPlistPath(bundlePath)).constData(), &st) != 0) {
        m_entries.remove(bundlePath);
        return std::nullopt;
    }
    const Stamp stamp{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                      qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                      qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
    const auto it = m_entries.constFind(bundlePath);
    if (it != m_entries.cend() && it->settled && it->stamp == stamp)
        return it->info;
    // Stamped before reading: a file rewritten in between is read again next time.
    std::optional<BundleInfo> info = readBundleInfo(bundlePath);
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const bool settled = now.tv_sec - st.st_ctim.tv_sec > kRecentSeconds;
    m_entries.insert(bundlePath, Entry{stamp, info, settled});
    return info;
}

void BundleInfoCache::retain(const QSet<QString> &kept)
{
    m_entries.removeIf([&](const auto &entry) { return !kept.contains(entry.key()); });
}

} // namespace vesk
