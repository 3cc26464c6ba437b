#include "maintenance/RetentionSelection.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cctype>

namespace vesk {

namespace {

constexpr std::array<std::string_view, 18> kImages{"jpg", "jpeg", "png", "heic", "heif", "gif", "bmp", "webp", "tif",
                                                   "tiff", "raw", "cr2", "cr3", "nef", "arw", "dng", "orf", "raf"};
constexpr std::array<std::string_view, 10> kVideos{"mov", "mp4", "m4v", "avi", "mts", "m2ts", "mxf", "mkv", "webm", "3gp"};

template <std::size_t N> bool listed(const std::array<std::string_view, N> &set, std::string_view extension)
{
    return std::find(set.begin(), set.end(), extension) != set.end();
}

} // namespace

bool retentionFilterAdmits(RetentionRule::FileFilter filter, std::string_view name)
{
    if (filter == RetentionRule::FileFilter::all)
        return true;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot - 1 > 8)
        return false;
    char lower[9] = {};
    const std::string_view raw = name.substr(dot + 1);
    for (std::size_t i = 0; i < raw.size(); ++i)
        lower[i] = char(std::tolower(static_cast<unsigned char>(raw[i])));
    const std::string_view extension(lower, raw.size());
    switch (filter) {
    case RetentionRule::FileFilter::images:
        return listed(kImages, extension);
    case RetentionRule::FileFilter::videos:
        return listed(kVideos, extension);
    case RetentionRule::FileFilter::media:
        return listed(kImages, extension) || listed(kVideos, extension);
    case RetentionRule::FileFilter::all:
        break;
    }
    return true;
}

std::vector<std::size_t> selectForRemoval(const std::vector<SweepFile> &files, qint64 cutoffMs, int keepNewest)
{
    std::vector<std::size_t> order(files.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Oldest first; the newest `keepNewest` are at the end and protected.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return files[a].modifiedMs < files[b].modifiedMs; });
    const std::size_t protectedCount = std::min(order.size(), std::size_t(std::max(keepNewest, 0)));
    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i + protectedCount < order.size(); ++i) {
        if (files[order[i]].modifiedMs >= cutoffMs)
            break;
        selected.push_back(order[i]);
    }
    return selected;
}

QString retentionAgeText(int hours)
{
    if (hours >= 24 && hours % 24 == 0) {
        const int days = hours / 24;
        return days == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(days);
    }
    return hours == 1 ? QStringLiteral("1 hour") : QStringLiteral("%1 hours").arg(hours);
}

QString retentionSizeText(qint64 bytes)
{
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    if (bytes == 1)
        return QStringLiteral("1 byte");
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    // Decimal units as a file manager shows them: whole kilobytes, one decimal for megabytes,
    // two above, without trailing zeros.
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB"};
    double value = double(bytes) / 1000.0;
    int unit = 0;
    while (value >= 999.95 && unit < 4) {
        value /= 1000.0;
        ++unit;
    }
    QString number = QLocale::c().toString(value, 'f', unit == 0 ? 0 : unit == 1 ? 1 : 2);
    if (number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

} // namespace vesk
