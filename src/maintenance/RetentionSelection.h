#pragma once

#include "platform/FolderSweep.h"
#include "wire/policy/RetentionRule.h"

#include <QString>

#include <string_view>
#include <vector>

namespace vesk {

// Whether a file name passes a rule's filter, by its last extension in any case.
bool retentionFilterAdmits(RetentionRule::FileFilter filter, std::string_view name);

// The files a rule removes: older than the cutoff and not among the newest `keepNewest`
// of all matching files. Indexes into `files`, oldest first.
std::vector<std::size_t> selectForRemoval(const std::vector<SweepFile> &files, qint64 cutoffMs, int keepNewest);

// "1 hour", "5 hours", "1 day", "3 days".
QString retentionAgeText(int hours);
// A byte count in the file style of the platform's formatter: "Zero KB", "532 bytes", "1.5 MB".
QString retentionSizeText(qint64 bytes);

} // namespace vesk
