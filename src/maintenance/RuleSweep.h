#pragma once

#include "wire/policy/RetentionRule.h"

#include <QString>
#include <QStringList>

namespace vesk {

// One rule's work on the disk, done on a worker thread.
struct RuleSweepJob {
    QString folder; // resolved, validated
    RetentionRule rule;
    qint64 cutoffMs = 0;
    QStringList packageSuffixes;
};

struct RuleSweepOutcome {
    bool folderMissing = false;
    QString openError; // the folder could not be opened as a folder (a link swapped in, no access)
    int selected = 0;
    qint64 selectedBytes = 0;
    int removed = 0;
    qint64 freedBytes = 0;
    int failed = 0;
    QStringList failures; // "Retention could not remove <path>: <reason>"
    int emptyFoldersRemoved = 0;
};

// Lists the folder, selects what the rule removes and, unless it is a dry run, removes it.
RuleSweepOutcome sweepRuleFolder(const RuleSweepJob &job);

} // namespace vesk
