#pragma once

#include <QString>

#include <optional>

namespace vesk {

struct AvailableUpdate;

// How release versions compare with installed ones: the numeric part first, digit runs
// compared as numbers (1.10 is above 1.9), then, for equal versions, the build numbers.
namespace VersionRule {

// The first run of dot-separated numbers ("v2.4.1-beta" → "2.4.1"), or the whole text.
QString numericPart(const QString &version);
// Negative, zero or positive as `a` sorts before, with or after `b`, digit runs as numbers.
int compareNumeric(const QString &a, const QString &b);
// The digits after "b" or "build", else the digits at the end, else the first digit run.
std::optional<QString> buildNumber(const QString &build);
// True when the release is newer than an installed copy of that version and build.
bool isNewer(const AvailableUpdate &release, const QString &installedVersion,
             const std::optional<QString> &installedBuild);

} // namespace VersionRule
} // namespace vesk
