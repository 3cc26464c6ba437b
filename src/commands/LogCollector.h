#pragma once

#include "commands/CommandResult.h"
#include "fleet/APIResult.h"
#include "platform/ProcessRunner.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

namespace vesk {

// Uploads one app's log text ("system" for the whole machine) to the fleet.
using AppLogUpload = std::function<QCoro::Task<APIStatus>(QString bundleId, QString logText)>;

// "collect_logs": the last five minutes of the system log, for one app or for the whole
// machine, uploaded to the fleet. Copies share their runner, and the coroutine keeps its
// own copy.
class LogCollector {
public:
    static constexpr qsizetype maxCharacters = 50000;

    LogCollector(ProcessRunner &runner, RecentLogQuery query, AppLogUpload upload)
        : m_runner(&runner), m_query(std::move(query)), m_upload(std::move(upload))
    {
    }

    // Letters, digits, ".", "_" and "-" only: anything else could change the log query.
    static bool isValidBundleId(const QString &bundleId);
    // The last `maxCharacters` characters of `text`; a surrogate pair is one character.
    static QString keepTail(const QString &text);
    // Characters (code points) in `text`.
    static qsizetype characterCount(const QString &text);

    // The log text (possibly a failure to run the tool, in words); empty when there is none.
    QCoro::Task<QString> collectLogs(std::optional<QString> bundleId) const;
    // Collects and uploads: "Collected <n> bytes of logs", "No logs found", "Invalid bundle_id".
    QCoro::Task<CommandResult> collectAndUpload(std::optional<QString> bundleId) const;

private:
    ProcessRunner *m_runner;
    RecentLogQuery m_query;
    AppLogUpload m_upload;
};

} // namespace vesk
