#include "updates/VersionRule.h"

#include "wire/policy/AvailableUpdate.h"

#include <QRegularExpression>

namespace vesk::VersionRule {

namespace {

// One digit run, without leading zeros, so that comparing lengths then text compares values.
QStringView significant(QStringView digits)
{
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits = digits.mid(1);
    return digits;
}

qsizetype digitRunEnd(const QString &text, qsizetype from)
{
    while (from < text.size() && text.at(from).isDigit())
        ++from;
    return from;
}

} // namespace

QString numericPart(const QString &version)
{
    static const QRegularExpression pattern(QStringLiteral("(\\d+(?:\\.\\d+)*)"));
    const QRegularExpressionMatch match = pattern.match(version);
    return match.hasMatch() ? match.captured(1) : version;
}

int compareNumeric(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            const qsizetype endA = digitRunEnd(a, i);
            const qsizetype endB = digitRunEnd(b, j);
            const QStringView runA = significant(QStringView(a).mid(i, endA - i));
            const QStringView runB = significant(QStringView(b).mid(j, endB - j));
            if (runA.size() != runB.size())
                return runA.size() < runB.size() ? -1 : 1;
            if (const int order = runA.compare(runB); order != 0)
                return order < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

std::optional<QString> buildNumber(const QString &build)
{
    static const QRegularExpression marked(QStringLiteral("(?:b|build)\\s*(\\d+)"));
    static const QRegularExpression trailing(QStringLiteral("(\\d+)$"));
    static const QRegularExpression anyRun(QStringLiteral("(\\d+)"));
    for (const QRegularExpression *pattern : {&marked, &trailing, &anyRun}) {
        const QRegularExpressionMatch match = pattern->match(build);
        if (match.hasMatch())
            return match.captured(1);
    }
    return std::nullopt;
}

bool isNewer(const AvailableUpdate &release, const QString &installedVersion,
             const std::optional<QString> &installedBuild)
{
    const int order = compareNumeric(numericPart(release.version), numericPart(installedVersion));
    if (order != 0)
        return order > 0;
    if (!release.build || !installedBuild)
        return false;
    const std::optional<QString> releaseBuild = buildNumber(*release.build);
    const std::optional<QString> installed = buildNumber(*installedBuild);
    if (!releaseBuild || !installed)
        return false;
    return compareNumeric(*releaseBuild, *installed) > 0;
}

} // namespace vesk::VersionRule
