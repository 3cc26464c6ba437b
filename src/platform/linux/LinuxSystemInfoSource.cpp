#include "platform/linux/LinuxSystemInfoSource.h"

#include "platform/linux/InterfaceListing.h"
#include "platform/linux/ProcFile.h"
#include "platform/linux/ProcParsers.h"
#include "platform/linux/SystemInfoParsers.h"
#include "platform/linux/WifiNetworkName.h"
#include "platform/linux/X11WindowPing.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <charconv>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/magic.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vesk {

namespace {

QString firstLine(const std::string &text)
{
    const size_t end = text.find('\n');
    return QString::fromUtf8(text.data(), qsizetype(end == std::string::npos ? text.size() : end)).trimmed();
}

bool exists(const QString &path) { return QFileInfo::exists(path); }

} // namespace

LinuxSystemInfoSource::LinuxSystemInfoSource(QString procRoot, QString sysRoot, QStringList osReleasePaths)
    : m_proc(std::move(procRoot)),
      m_sys(std::move(sysRoot)),
      m_meminfo(m_proc + QStringLiteral("/meminfo")),
      m_stat(m_proc + QStringLiteral("/stat")),
      m_uptime(m_proc + QStringLiteral("/uptime")),
      m_route(m_proc + QStringLiteral("/net/route")),
      m_mountInfo(m_proc + QStringLiteral("/self/mountinfo")),
      m_encodedProc(QFile::encodeName(m_proc).toStdString()),
      m_sensors(m_sys),
      m_hangWatch(m_proc, m_clock),
      m_windowPingTimeout(defaultWindowPingTimeout),
      m_wifiNames(
          [this](const QString &interfaceName) {
              return QtConcurrent::run(&m_wifiPool,
                                       [interfaceName] { return WifiNetworkName().forInterface(interfaceName); });
          },
          m_clock)
{
    m_wifiPool.setMaxThreadCount(1);
    m_osVersion = QStringLiteral("0.0.0");
    for (const QString &path : osReleasePaths) {
        if (readProcFile(path, m_buffer)) {
            m_osVersion = parseOsReleaseVersion(m_buffer);
            break;
        }
    }
    // DMI on PCs; the device tree names the board on ARM machines.
    if (readProcFile(m_sys + QStringLiteral("/class/dmi/id/product_name"), m_buffer))
        m_model = firstLine(m_buffer);
    else if (readProcFile(m_proc + QStringLiteral("/device-tree/model"), m_buffer))
        m_model = QString::fromUtf8(m_buffer.c_str()).trimmed(); // NUL-terminated
    if (m_stat.read(m_buffer))
        m_bootTime = parseBootTime(QByteArray(m_buffer.data(), qsizetype(m_buffer.size())));
    if (const long hz = ::sysconf(_SC_CLK_TCK); hz > 0)
        m_ticksPerSecond = hz;
    if (const long page = ::sysconf(_SC_PAGESIZE); page > 0)
        m_pageSize = page;
}

std::optional<DiskSpace> LinuxSystemInfoSource::rootDiskSpace()
{
    // statvfs() itself, as QStorageInfo would call it, without QStorageInfo's walk of the mount
    // table on every refresh (the root folder's volume is the one mounted on "/").
    struct statvfs vfs {};
    int result;
    do {
        result = ::statvfs("/", &vfs);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return std::nullopt;
    // Free is what users can still write (the root reserve excluded), as the file manager shows it.
    return DiskSpace{qint64(vfs.f_blocks) * qint64(vfs.f_frsize), qint64(vfs.f_bavail) * qint64(vfs.f_frsize)};
}

std::optional<MemoryFigures> LinuxSystemInfoSource::memory()
{
    if (!m_meminfo.read(m_buffer))
        return std::nullopt;
    return parseMemInfo(m_buffer);
}

std::optional<CpuTicks> LinuxSystemInfoSource::cpuTicks()
{
    if (!m_stat.read(m_buffer))
        return std::nullopt;
    return parseCpuTicks(m_buffer);
}

int LinuxSystemInfoSource::activeProcessorCount()
{
    const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? int(count) : 1;
}

double LinuxSystemInfoSource::uptimeSeconds()
{
    if (!m_uptime.read(m_buffer))
        return 0;
    return parseUptime(m_buffer).value_or(0);
}

int LinuxSystemInfoSource::thermalState() { return m_sensors.thermalState(); }

std::optional<BatteryStatus> LinuxSystemInfoSource::battery() { return m_sensors.battery(); }

QString LinuxSystemInfoSource::osVersion() { return m_osVersion; }

QString LinuxSystemInfoSource::modelName() { return m_model; }

std::optional<FrontmostApp> LinuxSystemInfoSource::frontmostApplication() { return std::nullopt; }

QString LinuxSystemInfoSource::linkType(const QString &name)
{
    if (const auto it = m_linkTypes.constFind(name); it != m_linkTypes.cend())
        return *it;
    const QString dir = m_sys + QStringLiteral("/class/net/") + name;
    LinkFacts facts;
    if (readProcFile(dir + QStringLiteral("/type"), m_buffer))
        facts.arpType = firstLine(m_buffer).toInt();
    facts.wireless = exists(dir + QStringLiteral("/wireless")) || exists(dir + QStringLiteral("/phy80211"));
    facts.bridge = exists(dir + QStringLiteral("/bridge"));
    facts.tun = exists(dir + QStringLiteral("/tun_flags"));
    if (readProcFile(dir + QStringLiteral("/uevent"), m_buffer))
        facts.devType = ueventValue(m_buffer, "DEVTYPE");
    const QString type = interfaceType(facts);
    m_linkTypes.insert(name, type);
    return type;
}

NetworkState LinuxSystemInfoSource::networkState()
{
    QString primary;
    if (m_route.read(m_buffer))
        primary = parseDefaultRouteInterface(m_buffer);

    QList<InterfaceAddress> addresses;
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return NetworkState{{}, primary, {}};
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_name)
            continue;
        char host[INET_ADDRSTRLEN] = {};
        const auto *in = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr);
        if (!::inet_ntop(AF_INET, &in->sin_addr, host, sizeof host))
            continue;
        addresses.append(InterfaceAddress{QString::fromLocal8Bit(entry->ifa_name), QString::fromLatin1(host),
                                          (entry->ifa_flags & IFF_UP) != 0, (entry->ifa_flags & IFF_RUNNING) != 0,
                                          (entry->ifa_flags & IFF_LOOPBACK) != 0});
    }
    ::freeifaddrs(list);
    return listInterfaces(addresses, primary, [this](const QString &name) { return linkType(name); });
}

std::optional<QString> LinuxSystemInfoSource::wifiNetworkName()
{
    const QString base = m_sys + QStringLiteral("/class/net");
    QStringList wireless;
    for (const QString &name : kernelFolderEntries(base)) {
        if (exists(base + QLatin1Char('/') + name + QStringLiteral("/wireless")))
            wireless.append(name);
    }
    return m_wifiNames.current(wireless);
}

bool LinuxSystemInfoSource::mountTableChanged() const
{
    // The kernel marks an open mountinfo with a priority event after every mount and unmount
    // (proc(5)); the poll itself takes the mark down.
    pollfd entry{m_mountInfo.descriptor(), POLLPRI, 0};
    if (entry.fd < 0 || ::poll(&entry, 1, 0) < 0)
        return true;
    return (entry.revents & (POLLPRI | POLLERR | POLLNVAL)) != 0;
}

QStringList LinuxSystemInfoSource::networkMounts()
{
    if (m_mountsRead && m_mountsSignalChanges && !mountTableChanged())
        return m_networkMounts;
    m_mountsRead = m_mountInfo.read(m_buffer);
    if (!m_mountsRead)
        return {};
    m_networkMounts = networkMountNames(parseMountInfo(m_buffer));
    struct statfs fs {};
    m_mountsSignalChanges = ::fstatfs(m_mountInfo.descriptor(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
    return m_networkMounts;
}

std::optional<ProcessFigures> LinuxSystemInfoSource::processFigures(qint32 pid)
{
    if (!readProcFile(pidPath(pid, "stat").c_str(), m_buffer))
        return std::nullopt;
    const auto stat = parseProcessStatFields(m_buffer);
    if (!stat || !readProcFile(pidPath(pid, "statm").c_str(), m_buffer))
        return std::nullopt;
    const auto pages = parseStatmResidentPages(m_buffer);
    if (!pages)
        return std::nullopt;
    ProcessFigures figures;
    figures.cpuSeconds = double(stat->userTicks + stat->systemTicks) / double(m_ticksPerSecond);
    figures.residentBytes = *pages * quint64(m_pageSize);
    if (m_bootTime)
        figures.startTime = processStartTime(*m_bootTime, stat->startTicks, m_ticksPerSecond);
    return figures;
}

bool LinuxSystemInfoSource::processResponds(qint32 pid) const
{
    // Called from the probe's worker thread: the watch keeps its own state under its lock.
    return m_hangWatch.responds(pid);
}

QHash<qint32, bool> LinuxSystemInfoSource::processesRespond(const QList<qint32> &pids) const
{
    QHash<qint32, bool> verdicts;
    QList<qint32> running;
    for (const qint32 pid : pids) {
        const bool responds = processResponds(pid);
        verdicts.insert(pid, responds);
        if (responds)
            running.append(pid);
    }
    if (running.isEmpty())
        return verdicts;
    if (const auto pings = pingX11Windows(running, m_windowPingTimeout)) {
        for (auto it = pings->cbegin(); it != pings->cend(); ++it) {
            if (!it.value())
                verdicts.insert(it.key(), false);
        }
    }
    return verdicts;
}

std::string LinuxSystemInfoSource::pidPath(qint32 pid, const char *leaf) const
{
    return procPidPath(m_encodedProc, pid, leaf);
}

} // namespace vesk
