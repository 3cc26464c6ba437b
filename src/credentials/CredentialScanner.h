#pragma once

#include "credentials/CredentialSet.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vesk {

// The file-system half of a scan: lists candidate files in a folder and reads one file
// into a set. Reads are bounded, so a hostile or mistaken file cannot stall the agent.
class CredentialScanner {
public:
    using Log = std::function<void(const QString &line)>;

    // A recursive listing stops after this many files, so a huge folder cannot stall a scan.
    static constexpr int maxListedFiles = 50000;

    explicit CredentialScanner(Log log);

    // Candidate files in `folder` (and below it when `recursive`), sorted by path. A folder
    // that cannot be listed is logged and yields nothing.
    QStringList candidates(const QString &folder, bool recursive) const;

    // The set in the file at `path`, or nullopt when it is not a regular file of at most
    // credentialfiles::maxFileBytes of UTF-8 text holding "<credentials>".
    std::optional<CredentialSet> read(const QString &path, const QDateTime &readAt) const;

private:
    QStringList listRecursively(const QString &folder) const;

    Log m_log;
};

} // namespace vesk
