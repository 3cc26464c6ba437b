#pragma once

#include <QString>

#include <iosfwd>
#include <optional>
#include <utility>

class QDebug;

namespace vesk {

// Why packing or unpacking a payload archive failed. The message is the command result.
class ArchiveError {
public:
    enum class Code {
        dittoFailed,    // the archive could not be read or written, or holds something we refuse
        emptyArchive,
        escapedStaging, // an entry would land, or point, outside the staging folder
    };

    static ArchiveError dittoFailed(QString message) { return ArchiveError(Code::dittoFailed, std::move(message)); }
    static ArchiveError emptyArchive() { return ArchiveError(Code::emptyArchive, {}); }
    static ArchiveError escapedStaging() { return ArchiveError(Code::escapedStaging, {}); }

    Code code() const { return m_code; }
    QString message() const;
    // The detail of dittoFailed (what went wrong), empty otherwise.
    const QString &detail() const { return m_detail; }

    friend bool operator==(const ArchiveError &, const ArchiveError &) = default;

private:
    ArchiveError(Code code, QString detail) : m_code(code), m_detail(std::move(detail)) {}

    Code m_code;
    QString m_detail;
};

// A path (of an archive or a staging folder), or the error that stopped its making.
struct ArchiveResult {
    QString path;
    std::optional<ArchiveError> error;

    bool ok() const { return !error.has_value(); }
    static ArchiveResult success(QString path) { return ArchiveResult{std::move(path), std::nullopt}; }
    static ArchiveResult failure(ArchiveError error) { return ArchiveResult{{}, std::move(error)}; }
};

std::ostream &operator<<(std::ostream &out, const ArchiveError &error);
std::ostream &operator<<(std::ostream &out, const ArchiveResult &result);
QDebug operator<<(QDebug out, const ArchiveError &error);

} // namespace vesk
