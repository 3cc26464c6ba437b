#include "platform/linux/SystemInfoParsers.h"

#include <QSet>

#include <array>
#include <charconv>
#include <limits>

namespace vesk {

namespace {

// Calls `line` for each line until it returns false.
template <class F> void forEachLine(std::string_view text, F &&line)
{
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view current = text.substr(0, end);
        if (!line(current))
            return;
        if (end == std::string_view::npos)
            return;
        text.remove_prefix(end + 1);
    }
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next whitespace-separated field of `text`, consumed from it.
std::string_view nextField(std::string_view &text)
{
    size_t start = 0;
    while (start < text.size() && isSpace(text[start]))
        ++start;
    size_t end = start;
    while (end < text.size() && !isSpace(text[end]))
        ++end;
    const std::string_view field = text.substr(start, end - start);
    text.remove_prefix(end);
    return field;
}

template <class T> std::optional<T> toNumber(std::string_view field, int base = 10)
{
    T value{};
    const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value, base);
    if (ec != std::errc() || ptr != field.data() + field.size() || field.empty())
        return std::nullopt;
    return value;
}

QString decodeMountPath(std::string_view raw)
{
    QByteArray out;
    out.reserve(qsizetype(raw.size()));
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 3 < raw.size()) {
            const auto code = toNumber<int>(raw.substr(i + 1, 3), 8);
            if (code && *code < 256) {
                out.append(char(*code));
                i += 3;
                continue;
            }
        }
        out.append(raw[i]);
    }
    return QString::fromUtf8(out);
}

} // namespace

std::optional<MemoryFigures> parseMemInfo(std::string_view text)
{
    std::optional<quint64> total, available, memFree, buffers, cached;
    forEachLine(text, [&](std::string_view line) {
        std::string_view rest = line;
        const std::string_view key = nextField(rest);
        const auto kib = toNumber<quint64>(nextField(rest));
        if (key == "MemTotal:")
            total = kib;
        else if (key == "MemAvailable:")
            available = kib;
        else if (key == "MemFree:")
            memFree = kib;
        else if (key == "Buffers:")
            buffers = kib;
        else if (key == "Cached:")
            cached = kib;
        return true;
    });
    if (!total)
        return std::nullopt;
    if (!available && memFree)
        available = *memFree + buffers.value_or(0) + cached.value_or(0);
    if (!available)
        return std::nullopt;
    const quint64 usedKib = *available < *total ? *total - *available : 0;
    return MemoryFigures{*total * 1024, usedKib * 1024};
}

std::optional<CpuTicks> parseCpuTicks(std::string_view text)
{
    std::optional<CpuTicks> ticks;
    forEachLine(text, [&](std::string_view line) {
        std::string_view rest = line;
        if (nextField(rest) != "cpu")
            return true;
        // user nice system idle iowait irq softirq steal ...; the first four are always there.
        std::array<quint64, 7> v{};
        for (size_t i = 0; i < v.size(); ++i) {
            const std::string_view field = nextField(rest);
            if (field.empty()) {
                if (i < 4)
                    return false;
                break;
            }
            const auto n = toNumber<quint64>(field);
            if (!n)
                return false;
            v[i] = *n;
        }
        ticks = CpuTicks{v[0], v[2] + v[5] + v[6], v[3] + v[4], v[1]};
        return false;
    });
    return ticks;
}

std::optional<double> parseUptime(std::string_view text)
{
    const std::string_view field = nextField(text);
    double seconds = 0;
    const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), seconds);
    if (field.empty() || ec != std::errc() || ptr != field.data() + field.size() || seconds < 0)
        return std::nullopt;
    return seconds;
}

QString parseOsReleaseVersion(std::string_view text)
{
    std::string_view value;
    forEachLine(text, [&](std::string_view line) {
        constexpr std::string_view key = "VERSION_ID=";
        if (line.substr(0, key.size()) != key)
            return true;
        value = line.substr(key.size());
        while (!value.empty() && isSpace(value.back()))
            value.remove_suffix(1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return false;
    });

    std::array<int, 3> parts{0, 0, 0};
    for (size_t i = 0; i < parts.size() && !value.empty(); ++i) {
        const size_t dot = value.find('.');
        const std::string_view part = value.substr(0, dot);
        // "12.1a" or "rolling": only the leading digits count.
        size_t digits = 0;
        while (digits < part.size() && part[digits] >= '0' && part[digits] <= '9')
            ++digits;
        parts[i] = toNumber<int>(part.substr(0, digits)).value_or(0);
        if (dot == std::string_view::npos || digits < part.size())
            break;
        value.remove_prefix(dot + 1);
    }
    return QStringLiteral("%1.%2.%3").arg(parts[0]).arg(parts[1]).arg(parts[2]);
}

QString parseDefaultRouteInterface(std::string_view text)
{
    constexpr unsigned kRouteUp = 0x1;
    QString best;
    quint64 bestMetric = std::numeric_limits<quint64>::max();
    bool header = true;
    forEachLine(text, [&](std::string_view line) {
        if (header) {
            header = false;
            return true;
        }
        std::string_view rest = line;
        const std::string_view iface = nextField(rest);
        const std::string_view destination = nextField(rest);
        nextField(rest); // gateway
        const auto flags = toNumber<unsigned>(nextField(rest), 16);
        nextField(rest); // refcnt
        nextField(rest); // use
        const auto metric = toNumber<quint64>(nextField(rest));
        const std::string_view mask = nextField(rest);
        if (iface.empty() || !flags || !metric || !(*flags & kRouteUp))
            return true;
        if (toNumber<quint64>(destination, 16) != 0u || toNumber<quint64>(mask, 16) != 0u)
            return true;
        if (*metric < bestMetric) {
            bestMetric = *metric;
            best = QString::fromUtf8(iface.data(), qsizetype(iface.size()));
        }
        return true;
    });
    return best;
}

QList<MountEntry> parseMountInfo(std::string_view text)
{
    QList<MountEntry> mounts;
    forEachLine(text, [&](std::string_view line) {
        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        std::string_view rest = line;
        for (int i = 0; i < 4; ++i)
            nextField(rest);
        const std::string_view mountPoint = nextField(rest);
        const size_t separator = rest.find(" - ");
        if (mountPoint.empty() || separator == std::string_view::npos)
            return true;
        rest.remove_prefix(separator + 3);
        const std::string_view type = nextField(rest);
        const std::string_view source = nextField(rest);
        mounts.append(MountEntry{decodeMountPath(mountPoint), QString::fromUtf8(type.data(), qsizetype(type.size())),
                                 decodeMountPath(source)});
        return true;
    });
    return mounts;
}

bool isNetworkFileSystem(const QString &fsType)
{
    static const QSet<QString> types{
        QStringLiteral("cifs"),       QStringLiteral("smb3"),        QStringLiteral("smbfs"),
        QStringLiteral("nfs"),        QStringLiteral("nfs4"),        QStringLiteral("afpfs"),
        QStringLiteral("fuse.afpfs"), QStringLiteral("sshfs"),       QStringLiteral("fuse.sshfs"),
        QStringLiteral("davfs"),      QStringLiteral("fuse.davfs2"), QStringLiteral("webdav"),
        QStringLiteral("ncpfs"),      QStringLiteral("ceph"),        QStringLiteral("fuse.glusterfs"),
        QStringLiteral("fuse.rclone"),
    };
    return types.contains(fsType);
}

QStringList networkMountNames(const QList<MountEntry> &mounts)
{
    QStringList names;
    for (const MountEntry &mount : mounts) {
        if (!isNetworkFileSystem(mount.fsType))
            continue;
        QString path = mount.mountPoint;
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        const QString name = path.section(QLatin1Char('/'), -1);
        names.append(name.isEmpty() ? path : name);
    }
    return names;
}

std::optional<ProcessStatFields> parseProcessStatFields(std::string_view text)
{
    // The command name may hold spaces and parentheses; the fields resume after the last ')'.
    const size_t close = text.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = text.substr(close + 1);
    ProcessStatFields fields;
    const std::string_view state = nextField(rest);
    if (state.size() != 1)
        return std::nullopt;
    fields.state = state.front();
    // After the state (field 3): utime is field 14, stime 15, starttime 22.
    for (int field = 4; field <= 22; ++field) {
        const std::string_view value = nextField(rest);
        if (field != 14 && field != 15 && field != 22)
            continue;
        const auto n = toNumber<quint64>(value);
        if (!n)
            return std::nullopt;
        (field == 14 ? fields.userTicks : field == 15 ? fields.systemTicks : fields.startTicks) = *n;
    }
    return fields;
}

std::optional<quint64> parseContextSwitches(std::string_view text)
{
    std::optional<quint64> voluntary;
    std::optional<quint64> involuntary;
    forEachLine(text, [&](std::string_view line) {
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return true;
        const std::string_view key = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        if (key == "voluntary_ctxt_switches")
            voluntary = toNumber<quint64>(nextField(value));
        else if (key == "nonvoluntary_ctxt_switches")
            involuntary = toNumber<quint64>(nextField(value));
        return !(voluntary && involuntary);
    });
    if (!voluntary || !involuntary)
        return std::nullopt;
    return *voluntary + *involuntary;
}

std::optional<quint64> parseStatmResidentPages(std::string_view text)
{
    nextField(text);
    return toNumber<quint64>(nextField(text));
}

QString ueventValue(std::string_view text, std::string_view key)
{
    QString value;
    forEachLine(text, [&](std::string_view line) {
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=') {
            std::string_view v = line.substr(key.size() + 1);
            while (!v.empty() && isSpace(v.back()))
                v.remove_suffix(1);
            value = QString::fromUtf8(v.data(), qsizetype(v.size()));
            return false;
        }
        return true;
    });
    return value;
}

} // namespace vesk
